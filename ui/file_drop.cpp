// Taking dropped files for the input list.
#include "ui/file_drop.h"

#include <QAbstractScrollArea>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace trelvane {

QStringList DroppedFiles(const QMimeData* data)
{
    QStringList files;
    if (data == nullptr || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (!QFileInfo(path).isDir())
            files << path;
    }
    return files;
}

FileDropTarget::FileDropTarget(QAbstractScrollArea* view, std::function<bool()> accepting,
                               std::function<void(const QStringList&)> add)
    : QObject(view), m_accepting(std::move(accepting)), m_add(std::move(add))
{
    view->viewport()->setAcceptDrops(true);
    view->viewport()->installEventFilter(this);
}

// The view's own drag handling (moving its items) never sees these events.
bool FileDropTarget::eventFilter(QObject*, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList files = m_accepting() ? DroppedFiles(drop->mimeData()) : QStringList();
        if (files.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (event->type() == QEvent::Drop)
            m_add(files);
        return true;
    }
    case QEvent::DragLeave:
        return true;
    default:
        return false;
    }
}

} // namespace trelvane
