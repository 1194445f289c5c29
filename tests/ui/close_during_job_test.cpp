// Closing the dialog while a job runs: the job stops, its workers end before the window goes,
// no report arrives afterwards, and a half-written output does not stay behind: the output of an
// earlier run keeps its content and no temporary file is left.
#include "engine/job_runner.h"
#include "tests/ui/report_test_support.h"
#include "ui/message_box.h"

#include <QDir>
#include <QTemporaryDir>

#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

using namespace trelvane;
using namespace trelvane::test;

namespace {

const QByteArray earlierOutput = "kept@example.com\r\n";

// Where a job is when the dialog is closed.
enum class Moment
{
    Processing,
    WaitingForDialog,
    Output,
    FailureBox,
    CompletionBox,
};

// How the user closes the dialog.
enum class CloseBy
{
    Escape,
    CloseBox,
};

// Stands between the engine and the dialog: slows the chosen phase down, so that a close
// lands inside it, and records which threads report and whether any report comes late.
class ForwardingReport final : public IProcessReport
{
public:
    ForwardingReport(IProcessReport& target, Moment moment) : m_target(target), m_moment(moment) {}

    void OnLineProcessed(const std::u16string& filePath, int totalLines, int lineNumber) override
    {
        Enter(m_moment == Moment::Processing);
        ++lineReports;
        m_target.OnLineProcessed(filePath, totalLines, lineNumber);
    }
    void OnProcessingFinished() override
    {
        Enter(false);
        processingFinishedEntered = true;
        m_target.OnProcessingFinished();
    }
    void OnOutputProgress(int total, int current) override
    {
        Enter(m_moment == Moment::Output);
        ++outputReports;
        m_target.OnOutputProgress(total, current);
    }
    void OnOutputFinished(int filteredCount, int writtenCount) override
    {
        Enter(false);
        m_target.OnOutputFinished(filteredCount, writtenCount);
    }

    // The system ids of the threads that reported.
    std::set<pid_t> Threads() const
    {
        const std::lock_guard lock(m_mutex);
        return m_threads;
    }

    std::atomic<int> lineReports{0};
    std::atomic<int> outputReports{0};
    std::atomic<bool> processingFinishedEntered{false};
    std::atomic<bool> closed{false};
    std::atomic<int> reportsAfterClose{0};

private:
    void Enter(bool slow)
    {
        if (closed)
            ++reportsAfterClose;
        {
            const std::lock_guard lock(m_mutex);
            m_threads.insert(gettid());
        }
        if (slow)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    }

    IProcessReport& m_target;
    Moment m_moment;
    mutable std::mutex m_mutex;
    std::set<pid_t> m_threads;
};

bool ThreadRuns(pid_t id)
{
    return QDir(QStringLiteral("/proc/self/task/%1").arg(id)).exists();
}

} // namespace

Q_DECLARE_METATYPE(Moment)
Q_DECLARE_METATYPE(CloseBy)

class CloseDuringJobTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void closeEndsTheJobCleanly_data();
    void closeEndsTheJobCleanly();

private:
    QString PathOf(const QString& name) const { return m_dir->filePath(name); }
    // Waits until the job has reached moment; false after the timeout.
    bool ReachMoment(Moment moment);
    // The hidden files a job writes before it renames them over out.txt.
    QStringList Temporaries() const
    {
        return QDir(m_dir->path())
            .entryList({QStringLiteral(".out.txt.*")}, QDir::Hidden | QDir::Files);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<CQuillanDlg> m_dialog;
    std::unique_ptr<ForwardingReport> m_report;
    std::unique_ptr<StatusHistory> m_history;
};

void CloseDuringJobTest::initTestCase()
{
    InstallNoticeHandler();
}

void CloseDuringJobTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(WriteFile(PathOf("long.txt"), AddressLines("long", 20000)));
    QVERIFY(WriteFile(PathOf("short.txt"), AddressLines("short", 3)));
    QVERIFY(WriteFile(PathOf("out.txt"), earlierOutput));
    m_dialog = std::make_unique<CQuillanDlg>();
    m_dialog->show();
    m_history = std::make_unique<StatusHistory>(*m_dialog);
}

void CloseDuringJobTest::cleanup()
{
    m_history.reset();
    m_dialog.reset();
    AddressJob.report = nullptr;
    m_report.reset();
    AddressJob.inputPaths.clear();
    WaitForWorkers();
    m_dir.reset();
}

bool CloseDuringJobTest::ReachMoment(Moment moment)
{
    switch (moment) {
    case Moment::Processing:
        return QTest::qWaitFor([this] { return m_report->lineReports > 100; });
    case Moment::WaitingForDialog: {
        // The dialog's thread must not serve the worker: wait without running events.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!m_report->processingFinishedEntered) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return true;
    }
    case Moment::Output:
        return QTest::qWaitFor(
            [this] { return m_report->outputReports > 100 && !Temporaries().isEmpty(); });
    case Moment::FailureBox:
    case Moment::CompletionBox:
        return WaitForBoxCount(1);
    }
    return false;
}

void CloseDuringJobTest::closeEndsTheJobCleanly_data()
{
    QTest::addColumn<Moment>("moment");
    QTest::addColumn<CloseBy>("closeBy");
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<bool>("outputKept");

    const QStringList longInput{"long.txt"};
    const QStringList shortInput{"short.txt"};
    QTest::newRow("processing, Esc") << Moment::Processing << CloseBy::Escape << longInput << false;
    QTest::newRow("processing, close box")
        << Moment::Processing << CloseBy::CloseBox << longInput << false;
    QTest::newRow("worker waiting for the dialog's thread")
        << Moment::WaitingForDialog << CloseBy::CloseBox << shortInput << false;
    QTest::newRow("writing the output") << Moment::Output << CloseBy::Escape << longInput << false;
    QTest::newRow("worker in a failure box") << Moment::FailureBox << CloseBy::Escape
                                             << QStringList{"short.txt", "missing.txt"} << false;
    QTest::newRow("completion box open")
        << Moment::CompletionBox << CloseBy::CloseBox << shortInput << true;
}

void CloseDuringJobTest::closeEndsTheJobCleanly()
{
    QFETCH(Moment, moment);
    QFETCH(CloseBy, closeBy);
    QFETCH(QStringList, inputs);
    QFETCH(bool, outputKept);
    m_report = std::make_unique<ForwardingReport>(*m_dialog, moment);
    AddressJob.report = m_report.get();
    QStringList paths;
    for (const QString& name : inputs)
        paths << PathOf(name);
    StartFromDialog(*m_dialog, paths, PathOf("out.txt"));
    QVERIFY(ReachMoment(moment));

    if (closeBy == CloseBy::Escape)
        QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
    else
        m_dialog->close();
    m_report->closed = true;

    QVERIFY(!m_dialog->isVisible());
    QVERIFY(VisibleBoxes().empty());
    const std::set<pid_t> workers = m_report->Threads();
    QVERIFY(!workers.empty());
    for (pid_t worker : workers)
        QVERIFY2(!ThreadRuns(worker), "a worker outlived the close");
    const std::size_t textsAtClose = m_history->shown.size();
    QTest::qWait(50);
    QCOMPARE(m_report->reportsAfterClose.load(), 0);
    QCOMPARE(m_history->shown.size(), textsAtClose);
    QCOMPARE(m_history->Texts().contains(CompletionStatus(0, 3)), outputKept);
    QFile output(PathOf("out.txt"));
    QVERIFY(output.open(QIODevice::ReadOnly));
    QCOMPARE(output.readAll(), outputKept ? AddressLines("short", 3) : earlierOutput);
    QCOMPARE(Temporaries(), QStringList());
}

QTEST_MAIN(CloseDuringJobTest)
#include "close_during_job_test.moc"
