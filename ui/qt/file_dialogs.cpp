// The toolkit's file dialogs, configured as the main dialog needs them.
#include "ui/qt/file_dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>

#include <optional>

namespace trelvane {
namespace {

// The text in the last parentheses is the pattern; HideNameFilterDetails shows only what
// precedes it. On Linux "*.*" would hide files without a dot, so "All Files(*.*)" matches "*".
const QStringList nameFilters = {QStringLiteral("txt(*.txt) (*.txt)"),
                                 QStringLiteral("All Files(*.*) (*)")};

// QFileDialog's destructor always writes its folder history and view state into the
// toolkit's shared settings file. The program stores nothing, so this puts that file back as
// it was once the dialog is gone: removed with the folders made for it, or given its old bytes.
class ToolkitSettingsKeeper
{
public:
    ToolkitSettingsKeeper()
        : m_path(QSettings(QSettings::UserScope, QStringLiteral("QtProject")).fileName())
    {
        QFile file(m_path);
        if (file.open(QIODevice::ReadOnly))
            m_before = file.readAll();
        for (QDir folder = QFileInfo(m_path).absoluteDir(); !folder.exists();
             folder.setPath(QFileInfo(folder.absolutePath()).absolutePath()))
            m_madeFolders.append(folder.absolutePath());
    }
    ToolkitSettingsKeeper(const ToolkitSettingsKeeper&) = delete;
    ToolkitSettingsKeeper& operator=(const ToolkitSettingsKeeper&) = delete;

    ~ToolkitSettingsKeeper()
    {
        if (m_before)
            PutBack(*m_before);
        else
            RemoveNewFile();
    }

private:
    void PutBack(const QByteArray& bytes) const
    {
        QFile current(m_path);
        if (current.open(QIODevice::ReadOnly) && current.readAll() == bytes)
            return;
        QSaveFile file(m_path);
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
            file.commit();
    }

    void RemoveNewFile() const
    {
        QFile::remove(m_path);
        for (const QString& folder : m_madeFolders)
            QDir().rmdir(folder); // only if empty: something else may have put files there
    }

    QString m_path;
    std::optional<QByteArray> m_before;
    QStringList m_madeFolders; // deepest first
};

void Configure(QFileDialog& dialog, QFileDialog::AcceptMode acceptMode,
               QFileDialog::FileMode fileMode)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(nameFilters);
    dialog.selectNameFilter(nameFilters.front());
    dialog.setAcceptMode(acceptMode);
    dialog.setFileMode(fileMode);
}

QStringList Run(QWidget* parent, QFileDialog::AcceptMode acceptMode, QFileDialog::FileMode fileMode)
{
    const ToolkitSettingsKeeper keeper;
    QFileDialog dialog(parent);
    Configure(dialog, acceptMode, fileMode);
    if (acceptMode == QFileDialog::AcceptSave)
        dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QString FirstOf(const QStringList& paths)
{
    return paths.isEmpty() ? QString() : paths.front();
}

} // namespace

QStringList QtFileDialogs::OpenFiles(QWidget* parent)
{
    return Run(parent, QFileDialog::AcceptOpen, QFileDialog::ExistingFiles);
}

QString QtFileDialogs::OpenFile(QWidget* parent)
{
    return FirstOf(Run(parent, QFileDialog::AcceptOpen, QFileDialog::ExistingFile));
}

QString QtFileDialogs::SaveFile(QWidget* parent)
{
    return FirstOf(Run(parent, QFileDialog::AcceptSave, QFileDialog::AnyFile));
}

} // namespace trelvane
