// The start button: its refusals, the settings it collects, the controls it locks, the browse
// buttons, and a job run from the dialog to its output files.
#include "ui/qt/main_dialog.h"

#include "engine/job_runner.h"
#include "tests/ui/message_box_answerer.h"
#include "tests/ui/scripted_file_dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <atomic>
#include <memory>
#include <thread>
#include <utility>

using namespace trelvane;

namespace {

// The dialog with its output stage optional: most tests end a job after processing, so that it
// writes nothing and no worker waits on the dialog.
class TestDialog final : public CQuillanDlg
{
public:
    using CQuillanDlg::CQuillanDlg;
    void OnProcessingFinished() override
    {
        if (runOutput)
            CQuillanDlg::OnProcessingFinished();
    }
    std::atomic<bool> runOutput{false};
};

const QStringList lockedControls = {
    "IDC_SORT_ASC",         "IDC_SORT_DESC",       "IDC_SUFFIX_NONE",
    "IDC_SUFFIX_DELETE",    "IDC_DELETE_SUFFIXES", "IDC_SUFFIX_KEEP",
    "IDC_KEEP_SUFFIXES",    "IDC_USE_TEST",        "IDC_TEST_INTERVAL",
    "IDC_TEST_ADDRESS",     "IDC_USE_EXCLUSION",   "IDC_EXCLUSION_PATH",
    "IDC_BROWSE_EXCLUSION", "IDC_MERGE_OUTPUT",    "IDC_SPLIT_OUTPUT",
    "IDC_MAX_LINES",        "IDC_OUTPUT_PATH",     "IDC_BROWSE_OUTPUT",
    "IDC_ADD_FILES",        "IDC_REMOVE_SELECTED", "IDOK"};

QStringList QStrings(const std::vector<std::u16string>& strings)
{
    QStringList list;
    for (const std::u16string& text : strings)
        list << QString::fromStdU16String(text);
    return list;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class StartSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void refusedStartChangesNothing_data();
    void refusedStartChangesNothing();
    void acceptedStart_data();
    void acceptedStart();
    void testAddressesSplitAtCommasUntrimmed_data();
    void testAddressesSplitAtCommasUntrimmed();
    void suffixTextsLowerCasedAndSplitAtBars_data();
    void suffixTextsLowerCasedAndSplitAtBars();
    void radioButtonsAndNumbers();
    void optionsThatAreOffKeepEarlierValues();
    void laterStartReplacesListsWhole();
    void startHandsTheSettingsToTheJob();
    void validStartLocksExactlyTheInputControls();
    void enableControlsRestoresAllFromAnyThread();
    void browseFillsOrLeavesTheEdit_data();
    void browseFillsOrLeavesTheEdit();
    void jobFromTheDialogWritesWhatTheControlsShow();

private:
    QString TempPath(const QString& name) const { return m_temp.filePath(name); }
    QString WriteFile(const QString& name, const QByteArray& bytes) const;
    QString Expanded(QString text) const { return text.replace("@dir", m_temp.path()); }
    void AddInputFiles(const QStringList& paths);
    void SetEdit(int id, const QString& text) { m_dialog->Edit(id)->setText(text); }
    void Check(int id, bool checked = true) { m_dialog->Button(id)->setChecked(checked); }
    void PrepareValidStart();
    void Start();
    void StartAndEnd();
    QStringList DisabledControls() const;
    void AddSettingColumns();
    void ApplySettingRow();

    QTemporaryDir m_temp;
    std::unique_ptr<TestDialog> m_dialog;
    test::ScriptedFileDialogs* m_fileDialogs = nullptr;
    std::unique_ptr<test::MessageBoxAnswerer> m_answerer;
    std::vector<std::u16string> m_savedPaths;
    IProcessReport* m_savedReport = nullptr;
};

void StartSettingsTest::init()
{
    QVERIFY(m_temp.isValid());
    m_savedPaths = std::exchange(AddressJob.inputPaths, {});
    m_savedReport = AddressJob.report;
    auto fileDialogs = std::make_unique<test::ScriptedFileDialogs>();
    m_fileDialogs = fileDialogs.get();
    m_dialog = std::make_unique<TestDialog>(std::move(fileDialogs));
    m_dialog->show();
    QApplication::setActiveWindow(m_dialog.get());
    QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
    m_answerer = std::make_unique<test::MessageBoxAnswerer>();
}

void StartSettingsTest::cleanup()
{
    WaitForWorkers();
    m_dialog.reset();
    m_answerer.reset();
    AddressJob.inputPaths = std::move(m_savedPaths);
    AddressJob.report = m_savedReport;
    QVERIFY(m_temp.remove());
    m_temp = QTemporaryDir();
}

QString StartSettingsTest::WriteFile(const QString& name, const QByteArray& bytes) const
{
    QFile file(TempPath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

void StartSettingsTest::AddInputFiles(const QStringList& paths)
{
    m_fileDialogs->QueueOpenFiles(paths);
    m_dialog->Button(IDC_ADD_FILES)->click();
}

void StartSettingsTest::PrepareValidStart()
{
    AddInputFiles({WriteFile("in.txt", "a@x.com\r\n")});
    SetEdit(IDC_OUTPUT_PATH, TempPath("out.txt"));
}

void StartSettingsTest::Start()
{
    m_dialog->Button(IDOK)->click();
}

// A start, the end of its job, and the controls unlocked again as the end of a job does.
void StartSettingsTest::StartAndEnd()
{
    Start();
    WaitForWorkers();
    m_dialog->EnableControls(true);
}

QStringList StartSettingsTest::DisabledControls() const
{
    QStringList disabled;
    for (const QWidget* child : m_dialog->findChildren<QWidget*>()) {
        const QString name = child->objectName();
        if ((name.startsWith("IDC_") || name == "IDOK") && !child->isEnabled())
            disabled << name;
    }
    disabled.sort();
    return disabled;
}

// Rows name the state of the options that the start checks; "@dir" stands for the test's
// temporary folder, which holds in.txt (an input), exclusion.txt and empty.txt.
void StartSettingsTest::AddSettingColumns()
{
    QTest::addColumn<bool>("withInput");
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("useTest");
    QTest::addColumn<QString>("interval");
    QTest::addColumn<bool>("volumes");
    QTest::addColumn<QString>("maxLines");
    QTest::addColumn<bool>("useExclusion");
    QTest::addColumn<QString>("exclusion");
}

void StartSettingsTest::ApplySettingRow()
{
    QFETCH(bool, withInput);
    QFETCH(QString, output);
    QFETCH(bool, useTest);
    QFETCH(QString, interval);
    QFETCH(bool, volumes);
    QFETCH(QString, maxLines);
    QFETCH(bool, useExclusion);
    QFETCH(QString, exclusion);
    WriteFile("exclusion.txt", "b@x.com\n");
    WriteFile("empty.txt", "");
    if (withInput)
        AddInputFiles({WriteFile("in.txt", "a@x.com\r\n")});
    SetEdit(IDC_OUTPUT_PATH, Expanded(output));
    Check(IDC_USE_TEST, useTest);
    SetEdit(IDC_TEST_INTERVAL, interval);
    Check(volumes ? IDC_SPLIT_OUTPUT : IDC_MERGE_OUTPUT);
    SetEdit(IDC_MAX_LINES, maxLines);
    Check(IDC_USE_EXCLUSION, useExclusion);
    SetEdit(IDC_EXCLUSION_PATH, Expanded(exclusion));
}

void StartSettingsTest::refusedStartChangesNothing_data()
{
    AddSettingColumns();
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    const QString out = "@dir/out.txt";
    const auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };
    const QString noFile = QString::fromUtf8("请先添加待处理文件！");
    const QString noOutput = QString::fromUtf8("输出文件不能为空！");
    const QString badInterval = QString::fromUtf8("间隔行数必须大于0！");
    const QString badMaxLines = QString::fromUtf8("每卷最大行数必须大于0！");
    const QString noExclusion = QString::fromUtf8("排除文件不能为空！");
    const QString badExclusion = QString::fromUtf8("打开排除文件失败！");
    row("no input, no output") << false << "" << false << "" << false << "" << false << "" << noFile
                               << "IDC_ADD_FILES";
    row("no input, interval 0") << false << out << true << "0" << false << "" << false << ""
                                << noFile << "IDC_ADD_FILES";
    row("empty output") << true << "" << false << "" << false << "" << false << "" << noOutput
                        << "IDC_OUTPUT_PATH";
    row("output of blanks and tabs") << true << " \t  \t" << false << "" << false << "" << false
                                     << "" << noOutput << "IDC_OUTPUT_PATH";
    row("output of ideographic and no-break spaces")
        << true << QString::fromUtf8("\u3000\u00a0\r\n") << false << "" << false << "" << false
        << "" << noOutput << "IDC_OUTPUT_PATH";
    row("blank output before interval 0") << true << " " << true << "0" << false << "" << false
                                          << "" << noOutput << "IDC_OUTPUT_PATH";
    row("interval 0") << true << out << true << "0" << false << "" << false << "" << badInterval
                      << "IDC_TEST_INTERVAL";
    row("interval empty") << true << out << true << "" << false << "" << false << "" << badInterval
                          << "IDC_TEST_INTERVAL";
    row("interval of eleven nines") << true << out << true << "99999999999" << false << "" << false
                                    << "" << badInterval << "IDC_TEST_INTERVAL";
    row("interval 0 before max lines 0") << true << out << true << "0" << true << "0" << false << ""
                                         << badInterval << "IDC_TEST_INTERVAL";
    row("max lines 0") << true << out << false << "" << true << "0" << false << "" << badMaxLines
                       << "IDC_MAX_LINES";
    row("max lines empty") << true << out << false << "" << true << "" << false << "" << badMaxLines
                           << "IDC_MAX_LINES";
    row("max lines 0 before a blank exclusion path")
        << true << out << false << "" << true << "0" << true << "" << badMaxLines
        << "IDC_MAX_LINES";
    row("exclusion path empty") << true << out << false << "" << false << "" << true << ""
                                << noExclusion << "IDC_EXCLUSION_PATH";
    row("exclusion path of blanks") << true << out << false << "" << false << "" << true << " \t "
                                    << noExclusion << "IDC_EXCLUSION_PATH";
    row("exclusion file missing") << true << out << false << "" << false << "" << true
                                  << "@dir/missing.txt" << badExclusion << "IDC_EXCLUSION_PATH";
    row("exclusion path a folder") << true << out << false << "" << false << "" << true << "@dir"
                                   << badExclusion << "IDC_EXCLUSION_PATH";
    row("exclusion path with a blank after the name")
        << true << out << false << "" << false << "" << true << "@dir/exclusion.txt "
        << badExclusion << "IDC_EXCLUSION_PATH";
}

void StartSettingsTest::refusedStartChangesNothing()
{
    QFETCH(QString, message);
    QFETCH(QString, focus);
    ApplySettingRow();
    Check(IDC_SORT_DESC);
    m_dialog->Edit(IDC_TEST_ADDRESS)->setFocus();
    Start();
    QCoreApplication::processEvents();
    QCOMPARE(m_answerer->texts, QStringList{message});
    QCOMPARE(m_answerer->owners.front().data(), m_dialog.get());
    QCOMPARE(m_dialog->focusWidget()->objectName(), focus);
    QCOMPARE(DisabledControls(), QStringList{"IDC_DEDUP"});
    // Nothing was collected: the descending order and the output path did not reach the block.
    QCOMPARE(m_dialog->CollectedJobSettings().sortOrder, sortAscending);
    QVERIFY(m_dialog->CollectedOutputSettings().outputPath.empty());
}

void StartSettingsTest::acceptedStart_data()
{
    AddSettingColumns();
    const QString out = "@dir/out.txt";
    QTest::newRow("plain") << true << out << false << "" << false << "" << false << "";
    QTest::newRow("blanks around the output name")
        << true << "  @dir/out.txt \t" << false << "" << false << "" << false << "";
    QTest::newRow("interval 0 while test addresses are off")
        << true << out << false << "0" << false << "" << false << "";
    QTest::newRow("interval 1") << true << out << true << "1" << false << "" << false << "";
    QTest::newRow("max lines 0 while merged")
        << true << out << false << "" << false << "0" << false << "";
    QTest::newRow("max lines 1") << true << out << false << "" << true << "1" << false << "";
    QTest::newRow("blank exclusion path while off")
        << true << out << false << "" << false << "" << false << " ";
    QTest::newRow("exclusion file")
        << true << out << false << "" << false << "" << true << "@dir/exclusion.txt";
    QTest::newRow("empty exclusion file")
        << true << out << false << "" << false << "" << true << "@dir/empty.txt";
}

void StartSettingsTest::acceptedStart()
{
    QFETCH(QString, output);
    ApplySettingRow();
    Start();
    QCOMPARE(m_answerer->texts, QStringList{});
    QCOMPARE(DisabledControls().size(), lockedControls.size() + 1);
    QCOMPARE(QString::fromStdU16String(m_dialog->CollectedOutputSettings().outputPath),
             Expanded(output));
}

void StartSettingsTest::testAddressesSplitAtCommasUntrimmed_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("addresses");
    QTest::newRow("commas only") << ",,," << QStringList{};
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("blanks kept") << " a@x.com , b@y.com" << QStringList{" a@x.com ", " b@y.com"};
    QTest::newRow("runs of commas") << ",a@x.com,,b@y.com," << QStringList{"a@x.com", "b@y.com"};
    QTest::newRow("capitals kept") << "A@X.COM" << QStringList{"A@X.COM"};
    QTest::newRow("full-width comma does not split")
        << QString::fromUtf8("a@x.com，b@y.com")
        << QStringList{QString::fromUtf8("a@x.com，b@y.com")};
    QTest::newRow("bar does not split") << "a@x.com|b@y.com" << QStringList{"a@x.com|b@y.com"};
}

void StartSettingsTest::testAddressesSplitAtCommasUntrimmed()
{
    QFETCH(QString, text);
    QFETCH(QStringList, addresses);
    PrepareValidStart();
    Check(IDC_USE_TEST);
    SetEdit(IDC_TEST_INTERVAL, "3");
    SetEdit(IDC_TEST_ADDRESS, text);
    Start();
    const JobSettings& settings = m_dialog->CollectedJobSettings();
    QVERIFY(settings.useTestAddresses);
    QCOMPARE(settings.testInterval, 3);
    QCOMPARE(QStrings(settings.testAddresses), addresses);
}

void StartSettingsTest::suffixTextsLowerCasedAndSplitAtBars_data()
{
    QTest::addColumn<bool>("keep");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("suffixes");
    for (const bool keep : {false, true}) {
        const QByteArray box = keep ? "keep: " : "delete: ";
        QTest::newRow(box + "capitals")
            << keep << "QQ.COM|163.Com" << QStringList{"qq.com", "163.com"};
        QTest::newRow(box + "only ASCII lowered")
            << keep << QString::fromUtf8("ÄRZTE.DE|ΑΒ.GR")
            << QStringList{QString::fromUtf8("Ärzte.de"), QString::fromUtf8("ΑΒ.gr")};
        QTest::newRow(box + "bars at the ends and in a row")
            << keep << "|qq.com||163.com|" << QStringList{"qq.com", "163.com"};
        QTest::newRow(box + "blanks kept, comma does not split")
            << keep << " qq.com ,163.com" << QStringList{" qq.com ,163.com"};
        QTest::newRow(box + "bars only") << keep << "|||" << QStringList{};
        QTest::newRow(box + "duplicates kept")
            << keep << "qq.com|QQ.com" << QStringList{"qq.com", "qq.com"};
    }
}

void StartSettingsTest::suffixTextsLowerCasedAndSplitAtBars()
{
    QFETCH(bool, keep);
    QFETCH(QString, text);
    QFETCH(QStringList, suffixes);
    PrepareValidStart();
    Check(keep ? IDC_SUFFIX_KEEP : IDC_SUFFIX_DELETE);
    SetEdit(keep ? IDC_KEEP_SUFFIXES : IDC_DELETE_SUFFIXES, text);
    SetEdit(keep ? IDC_DELETE_SUFFIXES : IDC_KEEP_SUFFIXES, "OTHER.COM");
    Start();
    const JobSettings& settings = m_dialog->CollectedJobSettings();
    QCOMPARE(settings.keepOnlySuffixes, keep);
    QCOMPARE(settings.deleteSuffixes, !keep);
    QCOMPARE(QStrings(keep ? settings.keepSuffixList : settings.deleteSuffixList), suffixes);
    QCOMPARE(QStrings(keep ? settings.deleteSuffixList : settings.keepSuffixList), QStringList{});
}

void StartSettingsTest::radioButtonsAndNumbers()
{
    PrepareValidStart();
    Check(IDC_SORT_DESC);
    Check(IDC_SPLIT_OUTPUT);
    SetEdit(IDC_MAX_LINES, "2147483647");
    Check(IDC_USE_TEST);
    SetEdit(IDC_TEST_INTERVAL, "007");
    Start();
    const JobSettings& job = m_dialog->CollectedJobSettings();
    const OutputSettings& output = m_dialog->CollectedOutputSettings();
    QCOMPARE(job.sortOrder, sortDescending);
    QCOMPARE(job.testInterval, 7);
    QVERIFY(!job.deleteSuffixes && !job.keepOnlySuffixes && !job.useExclusionFile);
    QVERIFY(!output.mergeOutput);
    QCOMPARE(output.maxLinesPerVolume, 2147483647);
}

void StartSettingsTest::optionsThatAreOffKeepEarlierValues()
{
    PrepareValidStart();
    const QString exclusion = WriteFile("exclusion.txt", "b@x.com\n");
    Check(IDC_USE_TEST);
    SetEdit(IDC_TEST_INTERVAL, "5");
    SetEdit(IDC_TEST_ADDRESS, "t@t.com");
    Check(IDC_USE_EXCLUSION);
    SetEdit(IDC_EXCLUSION_PATH, exclusion);
    Check(IDC_SUFFIX_DELETE);
    SetEdit(IDC_DELETE_SUFFIXES, "QQ.COM");
    Check(IDC_SPLIT_OUTPUT);
    SetEdit(IDC_MAX_LINES, "100");
    StartAndEnd();

    Check(IDC_USE_TEST, false);
    Check(IDC_USE_EXCLUSION, false);
    Check(IDC_SUFFIX_KEEP);
    Check(IDC_MERGE_OUTPUT);
    for (int id : {IDC_TEST_INTERVAL, IDC_TEST_ADDRESS, IDC_EXCLUSION_PATH, IDC_DELETE_SUFFIXES,
                   IDC_MAX_LINES})
        SetEdit(id, "9");
    SetEdit(IDC_KEEP_SUFFIXES, "A.ORG");
    Start();
    const JobSettings& job = m_dialog->CollectedJobSettings();
    const OutputSettings& output = m_dialog->CollectedOutputSettings();
    QVERIFY(!job.useTestAddresses && !job.useExclusionFile && !job.deleteSuffixes);
    QCOMPARE(job.testInterval, 5);
    QCOMPARE(QStrings(job.testAddresses), QStringList{"t@t.com"});
    QCOMPARE(QString::fromStdU16String(job.exclusionPath), exclusion);
    QCOMPARE(QStrings(job.deleteSuffixList), QStringList{"qq.com"});
    QVERIFY(job.keepOnlySuffixes);
    QCOMPARE(QStrings(job.keepSuffixList), QStringList{"a.org"});
    QVERIFY(output.mergeOutput);
    QCOMPARE(output.maxLinesPerVolume, 100);
}

void StartSettingsTest::laterStartReplacesListsWhole()
{
    PrepareValidStart();
    Check(IDC_USE_TEST);
    SetEdit(IDC_TEST_INTERVAL, "2");
    SetEdit(IDC_TEST_ADDRESS, "a@t.com,b@t.com");
    Check(IDC_SUFFIX_DELETE);
    SetEdit(IDC_DELETE_SUFFIXES, "one.com|two.com");
    StartAndEnd();
    SetEdit(IDC_TEST_ADDRESS, "c@t.com");
    SetEdit(IDC_DELETE_SUFFIXES, "three.com");
    Start();
    const JobSettings& job = m_dialog->CollectedJobSettings();
    QCOMPARE(QStrings(job.testAddresses), QStringList{"c@t.com"});
    QCOMPARE(QStrings(job.deleteSuffixList), QStringList{"three.com"});
}

void StartSettingsTest::startHandsTheSettingsToTheJob()
{
    PrepareValidStart();
    Check(IDC_SORT_DESC);
    Check(IDC_USE_TEST);
    SetEdit(IDC_TEST_INTERVAL, "4");
    SetEdit(IDC_TEST_ADDRESS, "t@t.com");
    Check(IDC_SUFFIX_KEEP);
    SetEdit(IDC_KEEP_SUFFIXES, "X.COM");
    Start();
    WaitForWorkers();
    QCOMPARE(AddressJob.sortOrder, sortDescending);
    QVERIFY(AddressJob.useTestAddresses && AddressJob.keepOnlySuffixes);
    QVERIFY(!AddressJob.deleteSuffixes && !AddressJob.useExclusionFile);
    QCOMPARE(AddressJob.testInterval, 4);
    QCOMPARE(QStrings(AddressJob.testAddresses), QStringList{"t@t.com"});
    QCOMPARE(QStrings(AddressJob.keepSuffixList), QStringList{"x.com"});
    // The job read the input file into the descending set.
    QCOMPARE(AddressJob.descendingSet.Size(), std::size_t(1));
}

void StartSettingsTest::validStartLocksExactlyTheInputControls()
{
    const QString input = WriteFile("in.txt", "a@x.com\n");
    AddInputFiles(QStringList(60, input));
    SetEdit(IDC_OUTPUT_PATH, TempPath("out.txt"));
    Start();
    QStringList expected = lockedControls;
    expected << "IDC_DEDUP";
    expected.sort();
    QCOMPARE(DisabledControls(), expected);

    auto* list = m_dialog->findChild<QTreeWidget*>("IDC_FILE_LIST");
    QScrollBar* scroll = list->verticalScrollBar();
    QVERIFY(scroll->maximum() > 0);
    QCOMPARE(scroll->value(), 0);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_End);
    QCOMPARE(scroll->value(), scroll->maximum());
    QTreeWidgetItem* row = list->topLevelItem(58);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(row).center());
    QCOMPARE(list->selectedItems(), QList<QTreeWidgetItem*>{row});
}

void StartSettingsTest::enableControlsRestoresAllFromAnyThread()
{
    PrepareValidStart();
    Check(IDC_USE_TEST);
    SetEdit(IDC_TEST_INTERVAL, "1");
    Start();
    QCOMPARE(DisabledControls().size(), lockedControls.size() + 1);
    std::thread worker([this] { m_dialog->EnableControls(true); });
    worker.join();
    // The worker's request is carried out on the dialog's thread, not on the worker.
    QCOMPARE(DisabledControls().size(), lockedControls.size() + 1);
    QTRY_COMPARE(DisabledControls(), QStringList{"IDC_DEDUP"});
    QVERIFY(m_dialog->Button(IDC_USE_TEST)->isChecked());
    m_dialog->EnableControls(false);
    QCOMPARE(DisabledControls().size(), lockedControls.size() + 1);
}

void StartSettingsTest::browseFillsOrLeavesTheEdit_data()
{
    QTest::addColumn<bool>("output");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("text");
    QTest::newRow("exclusion chosen") << false << "/lists/skip.txt"
                                      << "/lists/skip.txt";
    QTest::newRow("exclusion cancelled") << false << ""
                                         << "typed before";
    QTest::newRow("output chosen") << true << "/lists/out.txt"
                                   << "/lists/out.txt";
    QTest::newRow("output cancelled") << true << ""
                                      << "typed before";
}

void StartSettingsTest::browseFillsOrLeavesTheEdit()
{
    QFETCH(bool, output);
    QFETCH(QString, answer);
    QFETCH(QString, text);
    const int edit = output ? IDC_OUTPUT_PATH : IDC_EXCLUSION_PATH;
    SetEdit(IDC_OUTPUT_PATH, "typed before");
    SetEdit(IDC_EXCLUSION_PATH, "typed before");
    if (output)
        m_fileDialogs->QueueSaveFile(answer);
    else
        m_fileDialogs->QueueOpenFile(answer);
    m_dialog->Button(output ? IDC_BROWSE_OUTPUT : IDC_BROWSE_EXCLUSION)->click();
    QCOMPARE(m_fileDialogs->saveFileCalls, output ? 1 : 0);
    QCOMPARE(m_fileDialogs->openFileCalls, output ? 0 : 1);
    QCOMPARE(m_fileDialogs->lastParent, m_dialog.get());
    QCOMPARE(m_dialog->Edit(edit)->text(), text);
    QCOMPARE(m_dialog->Edit(output ? IDC_EXCLUSION_PATH : IDC_OUTPUT_PATH)->text(),
             QString("typed before"));
    QVERIFY(!m_dialog->Button(IDC_USE_EXCLUSION)->isChecked());
}

// Two inputs, an exclusion file, a delete suffix typed in capitals, test addresses and volumes
// of two lines, in descending order: the job ends with the files these controls describe.
void StartSettingsTest::jobFromTheDialogWritesWhatTheControlsShow()
{
    m_dialog->runOutput = true;
    AddInputFiles({WriteFile("a.txt", "b@x.com\r\nA@Y.COM\r\nd@w.com\n"),
                   WriteFile("b.txt", "c@z.com\nb@x.com\ne@v.com\n")});
    Check(IDC_SORT_DESC);
    Check(IDC_SUFFIX_DELETE);
    SetEdit(IDC_DELETE_SUFFIXES, "Y.COM");
    Check(IDC_USE_TEST);
    SetEdit(IDC_TEST_INTERVAL, "2");
    SetEdit(IDC_TEST_ADDRESS, "t1@t.com,t2@t.com");
    Check(IDC_USE_EXCLUSION);
    SetEdit(IDC_EXCLUSION_PATH, WriteFile("exclusion.txt", "e@v.com\r\n"));
    Check(IDC_SPLIT_OUTPUT);
    SetEdit(IDC_MAX_LINES, "2");
    SetEdit(IDC_OUTPUT_PATH, TempPath("out.txt"));
    Start();
    // The output thread ends once its completion box is closed.
    QTRY_COMPARE_WITH_TIMEOUT(m_answerer->texts.size(), 1, 10000);
    QVERIFY(m_answerer->texts.front().contains(QString::fromUtf8("过滤数量：3条")));
    WaitForWorkers();
    QCOMPARE(ReadAll(TempPath("out.txt")),
             QByteArray("d@w.com\r\nc@z.com\r\nt1@t.com\r\nt2@t.com\r\n"));
    QCOMPARE(ReadAll(TempPath("out.txt.part1.txt")), QByteArray("b@x.com\r\n"));
    QCOMPARE(AddressJob.filteredCount, 3);
    QCOMPARE(DisabledControls(), QStringList{"IDC_DEDUP"});
}

QTEST_MAIN(StartSettingsTest)
#include "start_settings_test.moc"
