// The file dialogs the main dialog opens, behind an interface so tests can answer them.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace trelvane {

/// Asks the user for files; every operation blocks until the user confirms or cancels.
class IFileDialogs
{
public:
    virtual ~IFileDialogs() = default;

    /// Existing files, several at once, as full paths in the dialog's order; empty on cancel.
    virtual QStringList OpenFiles(QWidget* parent) = 0;
    /// One existing file as a full path; empty on cancel.
    virtual QString OpenFile(QWidget* parent) = 0;
    /// A file to write, as a full path with "txt" added to a name without extension; the user
    /// confirms overwriting an existing file. Empty on cancel.
    virtual QString SaveFile(QWidget* parent) = 0;
};

/// The toolkit's own (non-native) file dialogs with the filters "txt(*.txt)" and
/// "All Files(*.*)"; they leave no history behind on disk.
class QtFileDialogs final : public IFileDialogs
{
public:
    QStringList OpenFiles(QWidget* parent) override;
    QString OpenFile(QWidget* parent) override;
    QString SaveFile(QWidget* parent) override;
};

} // namespace trelvane
