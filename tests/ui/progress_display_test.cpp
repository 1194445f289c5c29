// The dialog's display of a job: status texts per file, progress of each phase, the completion
// texts and box, and the dialog's state when a job ends, fails or its output cannot start.
#include "engine/job_runner.h"
#include "engine/job_runner_test_hook.h"
#include "tests/ui/report_test_support.h"
#include "ui/message_box.h"

#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

using namespace trelvane;
using namespace trelvane::test;

namespace {

const int inputControls[] = {IDC_SORT_ASC,         IDC_SORT_DESC,       IDC_SUFFIX_NONE,
                             IDC_SUFFIX_DELETE,    IDC_DELETE_SUFFIXES, IDC_SUFFIX_KEEP,
                             IDC_KEEP_SUFFIXES,    IDC_USE_TEST,        IDC_TEST_INTERVAL,
                             IDC_TEST_ADDRESS,     IDC_USE_EXCLUSION,   IDC_EXCLUSION_PATH,
                             IDC_BROWSE_EXCLUSION, IDC_MERGE_OUTPUT,    IDC_SPLIT_OUTPUT,
                             IDC_MAX_LINES,        IDC_OUTPUT_PATH,     IDC_BROWSE_OUTPUT,
                             IDC_ADD_FILES,        IDC_REMOVE_SELECTED, IDOK};

QStringList DisabledControls(const CQuillanDlg& dialog)
{
    QStringList disabled;
    for (int id : inputControls) {
        if (!dialog.Control(id)->isEnabled())
            disabled << dialog.Control(id)->objectName();
    }
    return disabled;
}

// A dialog whose job runs out of memory at the first line that reaches the set.
class OutOfMemoryDialog : public CQuillanDlg
{
public:
    void OnLineProcessed(const std::u16string&, int, int) override { throw std::bad_alloc(); }
};

} // namespace

class ProgressDisplayTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void statusTextsOfAJob_data();
    void statusTextsOfAJob();
    void progressOfEachPhaseEndsExact();
    void dialogIsUsableWhileTheCompletionBoxIsOpen();
    void failureBoxStillEndsWithTheCompletionTexts();
    void outputThatCannotStartLeavesTheDialogRunning();
    void outOfMemoryIsToldAndTheDialogIsReadyAgain();

private:
    QString PathOf(const QString& name) const { return m_dir->filePath(name); }
    QString Output() const { return PathOf(QStringLiteral("out.txt")); }
    // Replaces each "<name>" by the path of that file.
    QString WithPaths(QString text) const;
    void Start(const QStringList& names);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<CQuillanDlg> m_dialog;
    std::unique_ptr<StatusHistory> m_history;
};

void ProgressDisplayTest::initTestCase()
{
    InstallNoticeHandler();
}

void ProgressDisplayTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(WriteFile(PathOf("a.txt"), AddressLines("a", 3)));
    QVERIFY(WriteFile(PathOf("b.txt"), AddressLines("b", 5)));
    QVERIFY(WriteFile(PathOf("empty.txt"), {}));
    m_dialog = std::make_unique<CQuillanDlg>();
    m_dialog->show();
    m_history = std::make_unique<StatusHistory>(*m_dialog);
}

void ProgressDisplayTest::cleanup()
{
    m_history.reset();
    m_dialog.reset();
    QVERIFY(VisibleBoxes().empty());
    QCOMPARE(AddressJob.report, nullptr);
    AddressJob.inputPaths.clear();
    WaitForWorkers();
    m_dir.reset();
}

QString ProgressDisplayTest::WithPaths(QString text) const
{
    for (const char* name : {"a.txt", "b.txt", "empty.txt"})
        text.replace(QStringLiteral("<%1>").arg(name), PathOf(name));
    return text;
}

void ProgressDisplayTest::Start(const QStringList& names)
{
    QStringList paths;
    for (const QString& name : names)
        paths << PathOf(name);
    StartFromDialog(*m_dialog, paths, Output());
}

void ProgressDisplayTest::statusTextsOfAJob_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("box");

    QTest::newRow("two files of 3 and 5 lines")
        << QStringList{"a.txt", "b.txt"}
        << QStringList{ProcessingStatus("<a.txt>", 3), ProcessingStatus("<b.txt>", 5),
                       processingFinishedText, CompletionStatus(0, 8)}
        << CompletionBox(0, 8);
    QTest::newRow("the same path twice shows once")
        << QStringList{"a.txt", "a.txt"}
        << QStringList{ProcessingStatus("<a.txt>", 3), processingFinishedText,
                       CompletionStatus(3, 3)}
        << CompletionBox(3, 3);
    QTest::newRow("a path again after another")
        << QStringList{"a.txt", "b.txt", "a.txt"}
        << QStringList{ProcessingStatus("<a.txt>", 3), ProcessingStatus("<b.txt>", 5),
                       ProcessingStatus("<a.txt>", 3), processingFinishedText,
                       CompletionStatus(3, 8)}
        << CompletionBox(3, 8);
    QTest::newRow("nothing written or filtered")
        << QStringList{"empty.txt"} << QStringList{processingFinishedText, CompletionStatus(0, 0)}
        << CompletionBox(0, 0);
}

void ProgressDisplayTest::statusTextsOfAJob()
{
    QFETCH(QStringList, inputs);
    QFETCH(QStringList, texts);
    QFETCH(QString, box);

    Start(inputs);

    QVERIFY(WaitForBoxCount(1));
    QMessageBox* shownBox = VisibleBoxes().front();
    QCOMPARE(shownBox->text(), box);
    QCOMPARE(shownBox->icon(), QMessageBox::Warning);
    for (QString& text : texts)
        text = WithPaths(text);
    QCOMPARE(m_history->Texts(), texts);
    CloseBoxes();
}

void ProgressDisplayTest::progressOfEachPhaseEndsExact()
{
    Start({"a.txt", "b.txt"});

    QVERIFY(WaitForBoxCount(1));
    const std::vector<ShownText>& shown = m_history->shown;
    QCOMPARE(shown.size(), std::size_t{4});
    // Before the first line the bar keeps its start state; each later text follows the
    // final progress of the phase or file before it.
    const int expected[][2] = {{100, 0}, {3, 3}, {5, 5}, {8, 8}};
    for (std::size_t i = 0; i < shown.size(); ++i) {
        QCOMPARE(shown[i].range, expected[i][0]);
        QCOMPARE(shown[i].position, expected[i][1]);
    }
    CloseBoxes();
}

void ProgressDisplayTest::dialogIsUsableWhileTheCompletionBoxIsOpen()
{
    Start({"a.txt"});
    QVERIFY(WaitForBoxCount(1));
    QCOMPARE(DisabledControls(*m_dialog), QStringList());
    // The controls stay locked from the start until the completion text.
    for (const ShownText& entry : m_history->shown)
        QCOMPARE(entry.startEnabled, entry.text == CompletionStatus(0, 3));

    // The same file again: a new job shows its first file even if the last job ended on it.
    Start({"a.txt"});

    QVERIFY(WaitForBoxCount(2));
    for (QMessageBox* box : VisibleBoxes())
        QCOMPARE(box->text(), CompletionBox(0, 3));
    QCOMPARE(m_history->Texts().mid(3),
             QStringList({WithPaths(ProcessingStatus("<a.txt>", 3)), processingFinishedText,
                          CompletionStatus(0, 3)}));
    CloseBoxes();
}

void ProgressDisplayTest::failureBoxStillEndsWithTheCompletionTexts()
{
    StartFromDialog(*m_dialog, {PathOf("a.txt")}, PathOf("missing/out.txt"));

    QVERIFY(WaitForBoxCount(1));
    QCOMPARE(VisibleBoxes().front()->text(), QStringLiteral("打开输出文件失败！") +
                                                 PathOf("missing/out.txt") + QStringLiteral(": ") +
                                                 QString::fromLocal8Bit(std::strerror(ENOENT)));
    QVERIFY(!m_history->Texts().contains(CompletionStatus(0, 0)));
    CloseBoxes();

    QVERIFY(QTest::qWaitFor([] { return BoxWithText(CompletionBox(0, 0)) != nullptr; }));
    QCOMPARE(m_history->Texts().back(), CompletionStatus(0, 0));
    QCOMPARE(DisabledControls(*m_dialog), QStringList());
    CloseBoxes();
}

void ProgressDisplayTest::outputThatCannotStartLeavesTheDialogRunning()
{
    auto* bar = m_dialog->findChild<StatusBar*>(QStringLiteral("statusBar"));
    connect(bar, &StatusBar::PartTextSet, this, [](int, const QString& text) {
        // The processing thread waits for this text before it starts the output thread.
        if (text == processingFinishedText)
            test_hook::FailNextThreadStart();
    });
    Start({"a.txt"});

    QVERIFY(WaitForBoxCount(1));
    QCOMPARE(VisibleBoxes().front()->text(), QStringLiteral("创建输出线程失败！"));
    CloseBoxes();
    QTest::qWait(100);

    QCOMPARE(m_history->Texts().back(), processingFinishedText);
    QCOMPARE(DisabledControls(*m_dialog).size(), qsizetype(std::size(inputControls)));
    QVERIFY(VisibleBoxes().empty());
    QVERIFY(!QFile::exists(Output()));
    m_dialog->reject();
    QVERIFY(!m_dialog->isVisible());
}

void ProgressDisplayTest::outOfMemoryIsToldAndTheDialogIsReadyAgain()
{
    m_history.reset();
    m_dialog.reset();
    m_dialog = std::make_unique<OutOfMemoryDialog>();
    m_dialog->show();
    Start({"a.txt"});

    QVERIFY(WaitForBoxCount(1));
    QCOMPARE(VisibleBoxes().front()->text(), QStringLiteral("内存不足，作业已停止！"));
    CloseBoxes();
    QVERIFY(QTest::qWaitFor([this] { return DisabledControls(*m_dialog).empty(); }));
    QVERIFY(!QFile::exists(Output()));
    QVERIFY(AddressJob.ascendingSet.Empty());
}

QTEST_MAIN(ProgressDisplayTest)
#include "progress_display_test.moc"
