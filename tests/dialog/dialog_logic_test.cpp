// The dialog's logic without a toolkit: start refusals, settings from the controls, the file
// list, the progress shown and the relay of the engine's reports.
#include "ui/dialog/file_list.h"
#include "ui/dialog/report_relay.h"
#include "ui/dialog/start_checks.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace trelvane;

namespace {

// Controls as plain values: every check box and radio button clear, every edit empty, unless set.
class FakeControls final : public IDialogControls
{
public:
    bool IsChecked(int id) const override { return checked.count(id) != 0; }
    std::u16string Text(int id) const override
    {
        const auto found = texts.find(id);
        return found == texts.end() ? u"" : found->second;
    }
    void Enable(int id, bool enable) override { switched.emplace_back(id, enable); }

    std::set<int> checked;
    std::map<int, std::u16string> texts;
    std::vector<std::pair<int, bool>> switched;
};

FakeControls StartState()
{
    FakeControls controls;
    controls.checked = {IDC_SORT_ASC, IDC_SUFFIX_NONE, IDC_MERGE_OUTPUT};
    controls.texts[IDC_OUTPUT_PATH] = u"out.txt";
    return controls;
}

TEST(StartChecks, RefusalsInOrderWithTheirFocus)
{
    struct Row
    {
        const char* name;
        std::size_t inputs;
        std::set<int> checked;
        std::map<int, std::u16string> texts;
        std::u16string text;
        int focus;
    };
    const Row rows[] = {
        {"no input before a blank output",
         0,
         {},
         {{IDC_OUTPUT_PATH, u" "}},
         u"请先添加待处理文件！",
         IDC_ADD_FILES},
        {"blank output of white space",
         1,
         {},
         {{IDC_OUTPUT_PATH, u" \t\u3000"}},
         u"输出文件不能为空！",
         IDC_OUTPUT_PATH},
        {"test interval below one",
         1,
         {IDC_USE_TEST, IDC_SPLIT_OUTPUT},
         {{IDC_OUTPUT_PATH, u"o"}, {IDC_TEST_INTERVAL, u"0"}},
         u"间隔行数必须大于0！",
         IDC_TEST_INTERVAL},
        {"empty lines per volume",
         1,
         {IDC_SPLIT_OUTPUT, IDC_USE_EXCLUSION},
         {{IDC_OUTPUT_PATH, u"o"}},
         u"每卷最大行数必须大于0！",
         IDC_MAX_LINES},
        {"blank exclusion path",
         1,
         {IDC_MERGE_OUTPUT, IDC_USE_EXCLUSION},
         {{IDC_OUTPUT_PATH, u"o"}},
         u"排除文件不能为空！",
         IDC_EXCLUSION_PATH},
        {"unreadable exclusion file",
         1,
         {IDC_MERGE_OUTPUT, IDC_USE_EXCLUSION},
         {{IDC_OUTPUT_PATH, u"o"}, {IDC_EXCLUSION_PATH, u"no/such/file.txt"}},
         u"打开排除文件失败！",
         IDC_EXCLUSION_PATH},
    };
    for (const Row& row : rows) {
        FakeControls controls;
        controls.checked = row.checked;
        controls.texts = row.texts;
        JobSettings job;
        OutputSettings output;
        const std::optional<Refusal> refusal = StartFromControls(controls, row.inputs, job, output);
        ASSERT_TRUE(refusal) << row.name;
        EXPECT_EQ(refusal->text, row.text) << row.name;
        EXPECT_EQ(refusal->focusId, row.focus) << row.name;
        EXPECT_TRUE(controls.switched.empty()) << row.name;
        EXPECT_TRUE(output.outputPath.empty()) << row.name;
    }
}

TEST(StartChecks, SettingsFromTheControls)
{
    FakeControls controls = StartState();
    controls.checked = {IDC_SORT_DESC, IDC_SUFFIX_DELETE, IDC_USE_TEST, IDC_SPLIT_OUTPUT};
    controls.texts = {{IDC_OUTPUT_PATH, u" out.txt "},
                      {IDC_TEST_INTERVAL, u"99999999999"},
                      {IDC_TEST_ADDRESS, u",a@x.com,,b@x.com ，c@x.com,"},
                      {IDC_DELETE_SUFFIXES, u"|QQ.com||163.COM|"},
                      {IDC_KEEP_SUFFIXES, u"kept.com"},
                      {IDC_MAX_LINES, u"12"}};
    JobSettings job;
    job.keepSuffixList = {u"earlier"};
    job.exclusionPath = u"earlier.txt";
    OutputSettings output;
    CollectSettings(controls, job, output);

    EXPECT_EQ(job.sortOrder, sortDescending);
    EXPECT_TRUE(job.useTestAddresses);
    EXPECT_EQ(job.testInterval, 0);
    EXPECT_EQ(job.testAddresses, (std::vector<std::u16string>{u"a@x.com", u"b@x.com ，c@x.com"}));
    EXPECT_TRUE(job.deleteSuffixes);
    EXPECT_EQ(job.deleteSuffixList, (std::vector<std::u16string>{u"qq.com", u"163.com"}));
    EXPECT_FALSE(job.keepOnlySuffixes);
    EXPECT_EQ(job.keepSuffixList, std::vector<std::u16string>{u"earlier"});
    EXPECT_FALSE(job.useExclusionFile);
    EXPECT_EQ(job.exclusionPath, u"earlier.txt");
    EXPECT_FALSE(output.mergeOutput);
    EXPECT_EQ(output.maxLinesPerVolume, 12);
    EXPECT_EQ(output.outputPath, u" out.txt ");

    // With one merged file the line count is not read again.
    controls.checked = {IDC_SORT_ASC, IDC_MERGE_OUTPUT};
    controls.texts[IDC_MAX_LINES] = u"5";
    CollectSettings(controls, job, output);
    EXPECT_EQ(job.sortOrder, sortAscending);
    EXPECT_TRUE(output.mergeOutput);
    EXPECT_EQ(output.maxLinesPerVolume, 12);
}

TEST(StartChecks, EnableControlsSwitchesTheInputControlsInOrder)
{
    FakeControls controls;
    EnableControls(controls, false);
    const int expected[] = {1004, 1005, 1027, 1023, 1014, 1024, 1016, 1009, 1007, 1008, 1010,
                            1011, 1012, 1018, 1019, 1020, 1025, 1026, 1000, 1002, 1};
    ASSERT_EQ(controls.switched.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i)
        EXPECT_EQ(controls.switched[i], std::make_pair(expected[i], false)) << i;
}

// Rows of text with a selection, as a list view holds them.
class FakeRows final : public IFileRows
{
public:
    void AppendRow(const std::u16string& text) override { rows.push_back({text, false}); }
    int FirstSelectedRow() const override
    {
        for (std::size_t row = 0; row < rows.size(); ++row) {
            if (rows[row].second)
                return static_cast<int>(row);
        }
        return -1;
    }
    std::u16string RowText(int row) const override { return rows.at(std::size_t(row)).first; }
    void DeleteRow(int row) override { rows.erase(rows.begin() + row); }

    std::vector<std::pair<std::u16string, bool>> rows;
};

TEST(FileList, FileNames)
{
    EXPECT_EQ(FileNameOf(u"C:\\lists\\a.txt"), u"a.txt");
    EXPECT_EQ(FileNameOf(u"/home/x/b"), u"b");
    EXPECT_EQ(FileNameOf(u"D:c.txt"), u"c.txt");
    EXPECT_EQ(FileNameOf(u"dir\\"), u"");
    EXPECT_EQ(FileNameOf(u"plain"), u"plain");
}

TEST(FileList, RemovingSelectedRowsOfTheSameName)
{
    FakeRows rows;
    std::vector<std::u16string> paths;
    AddInputFiles(rows, paths, {u"A/list.txt", u"B/other.txt", u"C/list.txt"});
    ASSERT_EQ(rows.rows.size(), 3u);
    EXPECT_EQ(rows.rows[2].first, u"list.txt");

    rows.rows[2].second = true; // the second row named list.txt
    RemoveSelectedFiles(rows, paths);
    EXPECT_EQ(paths, (std::vector<std::u16string>{u"B/other.txt", u"C/list.txt"}));
    ASSERT_EQ(rows.rows.size(), 2u);

    // A selected row that no path has any more is still deleted, so the removal ends.
    rows.rows.push_back({u"gone.txt", true});
    rows.rows[0].second = true;
    RemoveSelectedFiles(rows, paths);
    EXPECT_EQ(paths, std::vector<std::u16string>{u"B/other.txt"});
    EXPECT_EQ(rows.rows.size(), 1u);
}

TEST(Progress, ALastLineWithoutLineFeedStillEndsFull)
{
    const ProgressValue rows[][2] = {
        {{3, 2}, {3, 2}}, {{3, 3}, {3, 3}}, {{2, 3}, {3, 3}}, {{0, 1}, {1, 1}}};
    for (const auto& row : rows) {
        const ProgressValue shown = DisplayedProgress(row[0]);
        EXPECT_EQ(shown.range, row[1].range);
        EXPECT_EQ(shown.position, row[1].position);
    }
}

// A view that records what it is asked to show; waking runs the relay at once, as the dialog's
// thread would.
class FakeView final : public IReportView
{
public:
    void SetStatusText(const std::u16string& text) override { events.push_back(u"text " + text); }
    void ShowProgress(ProgressValue value) override
    {
        events.push_back(u"bar " + std::u16string(1, char16_t(u'0' + value.range)) + u"/" +
                         std::u16string(1, char16_t(u'0' + value.position)));
    }
    void EnableControls(bool enable) override { events.push_back(enable ? u"enable" : u"disable"); }
    void WakeDialogThread() override { relay->Serve(); }
    void ShowWorkerMessage(const std::u16string& text) override
    {
        events.push_back(u"box " + text);
    }
    void ReleaseWaitingWorkers() override { events.push_back(u"release"); }

    ReportRelay* relay = nullptr;
    std::vector<std::u16string> events;
};

TEST(ReportRelay, LinesAreCoalescedAndEveryFileTextIsShown)
{
    FakeView view;
    ReportRelay relay(view);
    view.relay = &relay;
    const std::u16string a = u"a.txt", b = u"b.txt";
    for (int line = 1; line <= 3; ++line)
        relay.OnLineProcessed(a, 3, line);
    for (int line = 1; line <= 2; ++line)
        relay.OnLineProcessed(b, 1, line); // the last line of b has no LF
    relay.Serve();
    relay.OnOutputProgress(4, 1);
    relay.OnOutputProgress(4, 4);
    relay.OnOutputFinished(1, 4);

    const std::vector<std::u16string> expected = {
        u"text 正在处理文件 a.txt  行数 3",
        u"bar 3/3",
        u"text 正在处理文件 b.txt  行数 1",
        u"bar 2/2",
        u"bar 4/4",
        u"enable",
        u"text 输出完成！过滤数量：1条 处理后数量：4条",
        u"box 输出完成！\n过滤数量：1条\n处理后数量：4条"};
    EXPECT_EQ(view.events, expected);
}

TEST(ReportRelay, AnAbortedJobEnablesTheControlsAndAClosedDialogHearsNothing)
{
    FakeView view;
    ReportRelay relay(view);
    view.relay = &relay;
    const std::u16string a = u"a.txt";
    relay.OnLineProcessed(a, 2, 1);
    relay.OnJobAborted();
    EXPECT_EQ(view.events, (std::vector<std::u16string>{u"text 正在处理文件 a.txt  行数 2",
                                                        u"bar 2/1", u"enable"}));

    view.events.clear();
    relay.StopJobForClose();
    relay.OnLineProcessed(a, 2, 2);
    relay.OnOutputFinished(0, 0);
    relay.Serve();
    EXPECT_EQ(view.events, std::vector<std::u16string>{u"release"});
}

} // namespace
