// The message box on the dialog's thread and on worker threads, and releasing waiting workers.
#include "ui/qt/message_box.h"

#include "engine/notice.h"
#include "ui/qt/main_dialog.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using namespace trelvane;

namespace {

// A worker thread that shows one message and records when the call has returned.
class MessageWorker
{
public:
    explicit MessageWorker(QString text)
        : m_thread([this, text = std::move(text)] {
              ShowMessage(text);
              m_returned = true;
          })
    {
    }
    // A failed check must not leave the worker waiting for a box nobody closes.
    ~MessageWorker()
    {
        if (!m_returned)
            ReleaseWaitingWorkers();
        m_thread.join();
    }
    MessageWorker(const MessageWorker&) = delete;
    MessageWorker& operator=(const MessageWorker&) = delete;

    bool Returned() const { return m_returned; }

private:
    std::atomic<bool> m_returned{false};
    std::thread m_thread;
};

std::vector<QMessageBox*> VisibleBoxes()
{
    std::vector<QMessageBox*> boxes;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible())
            boxes.push_back(box);
    }
    return boxes;
}

QMessageBox* WaitForOneBox()
{
    if (!QTest::qWaitFor([] { return VisibleBoxes().size() == 1; }))
        return nullptr;
    return VisibleBoxes().front();
}

// Clicks the middle of widget as the window system would, so that modal blocking applies.
void ClickThroughWindow(QWidget* widget)
{
    QWidget* window = widget->window();
    const QPoint centre = widget->mapTo(window, widget->rect().center());
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, centre);
}

} // namespace

class MessageBoxTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void captionIsTheExecutableName();
    void boxOnTheDialogThreadIsModalToTheDialog();
    void workerBoxBlocksOnlyTheWorker();
    void workerBoxAnswersWhileTheDialogRunsModally();
    void releaseWakesEveryWaitingWorker();
    void noticesBecomeMessageBoxes();

private:
    std::unique_ptr<CQuillanDlg> m_dialog;
};

void MessageBoxTest::init()
{
    m_dialog = std::make_unique<CQuillanDlg>();
    m_dialog->show();
    QApplication::setActiveWindow(m_dialog.get());
    QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
}

void MessageBoxTest::cleanup()
{
    m_dialog.reset();
    AllowWorkerMessages();
    SetNoticeHandler(nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (const QWidget* window : QApplication::topLevelWidgets())
        QVERIFY2(!window->isVisible(), qPrintable(window->metaObject()->className()));
}

void MessageBoxTest::captionIsTheExecutableName()
{
    QCOMPARE(ApplicationName(), QString("ui_message_box_test"));
}

void MessageBoxTest::boxOnTheDialogThreadIsModalToTheDialog()
{
    QMessageBox* seen = nullptr;
    bool modal = false;
    QTimer::singleShot(0, this, [&] {
        seen = WaitForOneBox();
        if (!seen)
            return;
        modal = QApplication::activeModalWidget() == seen && seen->parentWidget() == m_dialog.get();
        QTest::mouseClick(seen->button(QMessageBox::Ok), Qt::LeftButton);
    });
    ShowMessage(QString::fromUtf8("请先添加待处理文件！"));
    QVERIFY(seen);
    QVERIFY(modal);
}

void MessageBoxTest::workerBoxBlocksOnlyTheWorker()
{
    MessageWorker worker(QString::fromUtf8("输出完成！\n过滤数量：0条\n处理后数量：0条"));
    QMessageBox* box = WaitForOneBox();
    QVERIFY(box);
    QCOMPARE(box->text(), QString::fromUtf8("输出完成！\n过滤数量：0条\n处理后数量：0条"));
    QCOMPARE(box->windowTitle(), ApplicationName());
    QCOMPARE(box->icon(), QMessageBox::Warning);
    QCOMPARE(box->buttons().size(), 1);
    QVERIFY(box->button(QMessageBox::Ok));
    QCOMPARE(box->parentWidget(), nullptr);
    QCOMPARE(box->windowModality(), Qt::NonModal);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);

    // The dialog still takes input while the worker waits.
    auto* descending = m_dialog->findChild<QRadioButton*>("IDC_SORT_DESC");
    descending->click();
    QVERIFY(descending->isChecked());
    QTest::qWait(20);
    QVERIFY(!worker.Returned());

    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    QTRY_VERIFY(worker.Returned());
}

// The program runs the dialog modally; an unowned worker box must still take the user's click.
void MessageBoxTest::workerBoxAnswersWhileTheDialogRunsModally()
{
    m_dialog->hide();
    bool answered = false;
    bool dialogTookClick = false;
    QTimer::singleShot(0, this, [&] {
        {
            MessageWorker worker(QStringLiteral("from a worker"));
            if (QMessageBox* box = WaitForOneBox())
                ClickThroughWindow(box->button(QMessageBox::Ok));
            answered = QTest::qWaitFor([&worker] { return worker.Returned(); }, 1000);
            auto* descending = m_dialog->findChild<QRadioButton*>("IDC_SORT_DESC");
            ClickThroughWindow(descending);
            dialogTookClick = descending->isChecked();
        }
        m_dialog->reject();
    });
    m_dialog->RunModal();
    QVERIFY(answered);
    QVERIFY(dialogTookClick);
}

void MessageBoxTest::releaseWakesEveryWaitingWorker()
{
    {
        MessageWorker first(QStringLiteral("first"));
        MessageWorker second(QStringLiteral("second"));
        QTRY_COMPARE(VisibleBoxes().size(), std::size_t(2));
        ReleaseWaitingWorkers();
        QTRY_VERIFY(first.Returned() && second.Returned());
        QVERIFY(VisibleBoxes().empty());
    }
    MessageWorker late(QStringLiteral("after release"));
    QTRY_VERIFY(late.Returned());
    QVERIFY(VisibleBoxes().empty());
}

void MessageBoxTest::noticesBecomeMessageBoxes()
{
    InstallNoticeHandler();
    std::atomic<bool> returned{false};
    std::thread worker([&returned] {
        ShowNotice(u"创建输出线程失败！");
        returned = true;
    });
    QMessageBox* box = WaitForOneBox();
    const QString text = box ? box->text() : QString();
    if (box)
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    else
        ReleaseWaitingWorkers();
    worker.join();
    QCOMPARE(text, QString::fromUtf8("创建输出线程失败！"));
    QVERIFY(returned);
}

QTEST_MAIN(MessageBoxTest)
#include "message_box_test.moc"
