// Files dropped from a file manager onto a list.
#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QAbstractScrollArea;
class QMimeData;

namespace trelvane {

/// The local files among the URLs of dropped data, in their order, as full paths; folders and
/// URLs of other schemes are left out.
QStringList DroppedFiles(const QMimeData* data);

/// Lets files be dropped on a view: watches its viewport, and while accepting() holds and the
/// drag carries at least one local file, takes the drop and hands those files to add.
class FileDropTarget final : public QObject
{
public:
    FileDropTarget(QAbstractScrollArea* view, std::function<bool()> accepting,
                   std::function<void(const QStringList&)> add);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<bool()> m_accepting;
    std::function<void(const QStringList&)> m_add;
};

} // namespace trelvane
