// The window platform's message box, for the dialog's thread and for worker threads.
#include "ui/qt/message_box.h"

#include "engine/notice.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace trelvane {
namespace {

// One worker waiting for the user to close its box.
struct WorkerRequest
{
    QPointer<QMessageBox> box;
    bool done = false;
};

// The workers that wait on a box, shared by them and the dialog's thread.
struct WaitingWorkers
{
    std::mutex mutex;
    std::condition_variable woken;
    std::vector<std::shared_ptr<WorkerRequest>> requests;
    bool released = false;
};

WaitingWorkers& Waiting()
{
    static WaitingWorkers waiting;
    return waiting;
}

bool OnDialogThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

QMessageBox* CreateBox(const QString& text, QWidget* owner)
{
    return new QMessageBox(QMessageBox::Warning, ApplicationName(), text, QMessageBox::Ok, owner);
}

void Finish(const std::shared_ptr<WorkerRequest>& request)
{
    WaitingWorkers& waiting = Waiting();
    {
        const std::lock_guard lock(waiting.mutex);
        request->done = true;
        std::erase(waiting.requests, request);
    }
    waiting.woken.notify_all();
}

// Runs on the dialog's thread; the box has no owner, so the dialog stays usable.
void OpenWorkerBox(const std::shared_ptr<WorkerRequest>& request, const QString& text)
{
    WaitingWorkers& waiting = Waiting();
    QMessageBox* box = nullptr;
    {
        const std::lock_guard lock(waiting.mutex);
        if (request->done)
            return;
        box = CreateBox(text, nullptr);
        request->box = box;
    }
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    QObject::connect(box, &QDialog::finished, box, [request] { Finish(request); });
    box->show();
}

void ShowFromWorker(const QString& text)
{
    WaitingWorkers& waiting = Waiting();
    auto request = std::make_shared<WorkerRequest>();
    {
        const std::lock_guard lock(waiting.mutex);
        if (waiting.released)
            return;
        waiting.requests.push_back(request);
        // Posted under the lock, which the dialog's thread takes before it reads the request:
        // the copy made here is ordered before that read by this lock, not only by Qt's queue.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [request, text] { OpenWorkerBox(request, text); },
            Qt::QueuedConnection);
    }
    std::unique_lock lock(waiting.mutex);
    waiting.woken.wait(lock, [&request] { return request->done; });
}

} // namespace

QString ApplicationName()
{
    if (!QCoreApplication::instance())
        return {};
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

void ShowMessage(const QString& text)
{
    if (!QCoreApplication::instance())
        return;
    if (!OnDialogThread()) {
        ShowFromWorker(text);
        return;
    }
    QWidget* owner = QApplication::activeModalWidget();
    std::unique_ptr<QMessageBox> box(CreateBox(text, owner ? owner : QApplication::activeWindow()));
    box->exec();
}

void ReleaseWaitingWorkers()
{
    WaitingWorkers& waiting = Waiting();
    std::vector<QPointer<QMessageBox>> boxes;
    {
        const std::lock_guard lock(waiting.mutex);
        waiting.released = true;
        for (const std::shared_ptr<WorkerRequest>& request : waiting.requests) {
            request->done = true;
            boxes.push_back(request->box);
        }
        waiting.requests.clear();
    }
    waiting.woken.notify_all();
    for (const QPointer<QMessageBox>& box : boxes) {
        if (box)
            box->close();
    }
}

void AllowWorkerMessages()
{
    WaitingWorkers& waiting = Waiting();
    const std::lock_guard lock(waiting.mutex);
    waiting.released = false;
}

void InstallNoticeHandler()
{
    SetNoticeHandler([](std::u16string_view text) {
        ShowMessage(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
    });
}

} // namespace trelvane
