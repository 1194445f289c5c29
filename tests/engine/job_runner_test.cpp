// Tests of the job runner: whole jobs on their two threads, failures, a second job, stopping.
#include "engine/job_runner.h"

#include "engine/code_page.h"
#include "engine/job_runner_test_hook.h"
#include "engine/notice.h"
#include "engine/os/file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace trelvane {
namespace {

using test::Utf8;
using Calls = std::vector<std::string>;

// Starts the output stage from OnProcessingFinished, as a front end does.
class ChainingReport : public test::RecordingReport
{
public:
    explicit ChainingReport(OutputSettings output) : output_(std::move(output)) {}
    void OnProcessingFinished() override
    {
        RecordingReport::OnProcessingFinished();
        outputPathBeforeStart = AddressJob.outputPath;
        if (failOutputStart)
            test_hook::FailNextThreadStart();
        StartOutput(output_);
    }

    std::u16string outputPathBeforeStart;
    bool failOutputStart = false;

private:
    OutputSettings output_;
};

// Holds the worker inside the first call of the chosen kind until the test lets it go.
class BlockingReport : public ChainingReport
{
public:
    BlockingReport(OutputSettings output, bool inOutput)
        : ChainingReport(std::move(output)), inOutput_(inOutput)
    {
    }
    void OnLineProcessed(const std::u16string& filePath, int totalLines, int lineNumber) override
    {
        ChainingReport::OnLineProcessed(filePath, totalLines, lineNumber);
        if (!inOutput_)
            HoldOnce();
    }
    void OnOutputProgress(int total, int current) override
    {
        ChainingReport::OnOutputProgress(total, current);
        if (inOutput_)
            HoldOnce();
    }

    std::promise<void> reached;
    std::promise<void> release;

private:
    void HoldOnce()
    {
        if (held_)
            return;
        held_ = true;
        reached.set_value();
        release.get_future().wait();
    }

    bool inOutput_;
    bool held_ = false;
};

bool HasCall(const Calls& calls, const std::string& prefix)
{
    for (const std::string& call : calls) {
        if (call.rfind(prefix, 0) == 0)
            return true;
    }
    return false;
}

class JobRunnerTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        RequestStop();
        WaitForWorkers();
        AddressJob.inputPaths.clear();
        AddressJob.report = nullptr;
    }

    OutputSettings Output(const std::string& name, bool merge = true, int perVolume = 0) const
    {
        return OutputSettings{merge, perVolume, dir.Wide(name)};
    }

    std::u16string Input(const std::string& name, std::string_view bytes) const
    {
        return test::WidePath(dir.Write(name, bytes));
    }

    // Runs one job to its end and joins its threads.
    void Run(test::RecordingReport& report, const JobSettings& settings)
    {
        AddressJob.report = &report;
        StartJob(settings);
        WaitForWorkers();
    }

    std::string Out(const std::string& name) const { return test::ReadBytes(dir.Path() / name); }

    test::TempDir dir;
    test::NoticeRecorder notices;
};

TEST_F(JobRunnerTest, RunsAWholeJobWithEveryReportInOrder)
{
    const std::u16string first = Input("1.txt", "b@x.com\na@x.com\n");
    const std::u16string second = Input("2.txt", "c@y.com\r\na@x.com");
    AddressJob.inputPaths = {first, second};
    ChainingReport report(Output("out.txt"));

    Run(report, JobSettings{});

    const std::string f = Utf8(first), s = Utf8(second);
    // The second file's last line has no LF: it counts one line and is not a line.
    EXPECT_EQ(report.Calls(),
              (Calls{"line " + f + " 2 1", "line " + f + " 2 2", "line " + s + " 1 1", "processed",
                     "progress 3 1", "progress 3 2", "progress 3 3", "finished 0 3"}));
    EXPECT_EQ(Out("out.txt"), "a@x.com\r\nb@x.com\r\nc@y.com\r\n");
    EXPECT_TRUE(notices.Texts().empty());
}

TEST_F(JobRunnerTest, FinishesWithNothingWrittenWhenNothingReachesTheSet)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> inputs;
        Calls expected;
    };
    const std::vector<Case> cases = {
        {"no input file", {}, {"processed", "finished 0 0"}},
        {"every line dropped", {"a@x.com\nb@X.COM\n", "c@x.com\n"}, {"processed", "finished 3 0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AddressJob.inputPaths.clear();
        for (std::size_t i = 0; i < c.inputs.size(); ++i)
            AddressJob.inputPaths.push_back(Input(std::to_string(i) + ".txt", c.inputs[i]));
        JobSettings settings;
        settings.deleteSuffixes = true;
        settings.deleteSuffixList = {u"x.com"};
        ChainingReport report(Output("out.txt"));

        Run(report, settings);

        EXPECT_EQ(report.Calls(), c.expected);
        EXPECT_EQ(Out("out.txt"), "");
        EXPECT_TRUE(std::filesystem::exists(dir.Path() / "out.txt"));
    }
}

TEST_F(JobRunnerTest, DescendingJobFillsAndWritesOnlyTheDescendingSet)
{
    AddressJob.inputPaths = {Input("in.txt", "b@x\na@x\nc@x\n")};
    JobSettings settings;
    settings.sortOrder = sortDescending;
    ChainingReport report(Output("out.txt"));

    Run(report, settings);

    EXPECT_EQ(Out("out.txt"), "c@x\r\nb@x\r\na@x\r\n");
    EXPECT_TRUE(AddressJob.ascendingSet.Empty());
    EXPECT_EQ(test::LinesOf(AddressJob.descendingSet),
              (std::vector<std::u16string>{u"c@x", u"b@x", u"a@x"}));
}

TEST_F(JobRunnerTest, UnreadableInputIsToldWithItsPathAndTheJobGoesOn)
{
    const std::u16string missing = dir.Wide("missing.txt");
    AddressJob.inputPaths = {missing, Input("in.txt", "a@x\n")};
    ChainingReport report(Output("out.txt"));

    Run(report, JobSettings{});

    EXPECT_EQ(notices.Texts(),
              (Calls{"读取输入文件失败！" + Utf8(missing) + ": " + os::ErrorText(ENOENT)}));
    EXPECT_EQ(report.Calls().back(), "finished 0 1");
    EXPECT_EQ(Out("out.txt"), "a@x\r\n");
}

// Without an exclusion list ever loaded, writing would mail the addresses it leaves out: the job
// ends without output, told with the path and the reason.
TEST_F(JobRunnerTest, ExclusionFileThatCannotBeLoadedEndsTheJobWithoutOutput)
{
    AddressJob.inputPaths = {Input("1.txt", "a@x\n"), Input("2.txt", "b@x\n")};
    JobSettings settings;
    settings.useExclusionFile = true;
    settings.exclusionPath = dir.Wide("no-exclusions.txt");
    ChainingReport report(Output("out.txt"));
    int aborted = 0;
    SetJobAbortHandler([&aborted] { ++aborted; });

    Run(report, settings);
    SetJobAbortHandler(nullptr);

    EXPECT_EQ(notices.Texts(), (Calls{"读取排除文件失败！" + Utf8(settings.exclusionPath) + ": " +
                                      os::ErrorText(ENOENT)}));
    EXPECT_EQ(aborted, 1);
    EXPECT_FALSE(HasCall(report.Calls(), "processed"));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "out.txt"));
}

TEST_F(JobRunnerTest, ExclusionFileIsReadAgainForEveryInputFile)
{
    const auto exclusions = dir.Write("exclude.txt", "a@x\n");
    AddressJob.inputPaths = {Input("1.txt", "a@x\nb@x\n"), Input("2.txt", "a@x\nb@y\n")};
    JobSettings settings;
    settings.useExclusionFile = true;
    settings.exclusionPath = test::WidePath(exclusions);
    // While the first file is read, the exclusion file changes: the second file sees the new
    // lines.
    class ChangingReport : public ChainingReport
    {
    public:
        ChangingReport(OutputSettings output, const test::TempDir& folder)
            : ChainingReport(std::move(output)), folder_(folder)
        {
        }
        void OnLineProcessed(const std::u16string& path, int total, int line) override
        {
            ChainingReport::OnLineProcessed(path, total, line);
            if (!changed_ && Utf8(path).ends_with("1.txt")) {
                changed_ = true;
                folder_.Write("exclude.txt", "b@y\nzz@z\n");
            }
        }

    private:
        const test::TempDir& folder_;
        bool changed_ = false;
    } report(Output("out.txt"), dir);

    Run(report, settings);

    EXPECT_EQ(Out("out.txt"), "a@x\r\nb@x\r\n");
    EXPECT_EQ(report.Calls().back(), "finished 2 2");
}

TEST_F(JobRunnerTest, FilesNamedOutsideTheCodePageAreReadExcludedAndWritten)
{
    // Chinese, Polish and an emoji: no code page but UTF-8 holds them all.
    const std::u16string input = u"地址列表.txt";
    const std::u16string exclusions = u"排除-Łódź.txt";
    const std::u16string output = u"结果-\U0001F600.txt";
    if (test::namesInCodePage && !SystemCodePage().CanEncode(input + exclusions + output))
        GTEST_SKIP() << "the locale's code page cannot name these files";
    const auto path = [this](const std::u16string& name) { return dir.Path() / name; };
    std::ofstream(path(input), std::ios::binary) << "b@x.com\r\na@x.com\r\nc@x.com\r\n";
    std::ofstream(path(exclusions), std::ios::binary) << "a@x.com\r\n";
    AddressJob.inputPaths = {test::WidePath(path(input))};
    ChainingReport report(OutputSettings{true, 0, test::WidePath(path(output))});
    JobSettings settings;
    settings.useExclusionFile = true;
    settings.exclusionPath = test::WidePath(path(exclusions));

    Run(report, settings);

    EXPECT_EQ(test::ReadBytes(path(output)), "b@x.com\r\nc@x.com\r\n");
    EXPECT_EQ(notices.Texts(), std::vector<std::string>{});
    EXPECT_EQ(report.Calls().back(), "finished 1 2");
}

TEST_F(JobRunnerTest, SecondJobStartsEmptyAndKeepsOutputSettingsUntilItsOwnStart)
{
    AddressJob.inputPaths = {Input("1.txt", "a@x\nb@x\nb@x\n")};
    ChainingReport first(Output("first.txt"));
    AddressJob.report = &first;
    StartJob(JobSettings{});
    ASSERT_TRUE(first.WaitForFinish());

    // The first job's output thread may not have been joined yet.
    AddressJob.inputPaths = {Input("2.txt", "c@x\n")};
    JobSettings settings;
    settings.sortOrder = sortDescending;
    ChainingReport second(Output("second.txt"));
    Run(second, settings);

    EXPECT_EQ(first.Calls().back(), "finished 1 2");
    EXPECT_EQ(second.outputPathBeforeStart, dir.Wide("first.txt"));
    EXPECT_EQ(second.Calls().back(), "finished 0 1");
    EXPECT_TRUE(AddressJob.ascendingSet.Empty());
    EXPECT_EQ(AddressJob.filteredCount, 0);
    EXPECT_EQ(Out("second.txt"), "c@x\r\n");
}

TEST_F(JobRunnerTest, ThreadsThatCannotStartAreToldAndEndTheJob)
{
    AddressJob.inputPaths = {Input("1.txt", "a@x\n")};
    ChainingReport report(Output("out.txt"));
    test_hook::FailNextThreadStart();
    Run(report, JobSettings{});
    EXPECT_TRUE(report.Calls().empty());
    EXPECT_EQ(notices.Texts(), (Calls{"创建线程失败！"}));

    ChainingReport outputFails(Output("out.txt"));
    outputFails.failOutputStart = true;
    Run(outputFails, JobSettings{});
    EXPECT_EQ(outputFails.Calls(),
              (Calls{"line " + Utf8(AddressJob.inputPaths[0]) + " 1 1", "processed"}));
    EXPECT_EQ(notices.Texts(), (Calls{"创建线程失败！", "创建输出线程失败！"}));
    EXPECT_EQ(test::LinesOf(AddressJob.ascendingSet), (std::vector<std::u16string>{u"a@x"}));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "out.txt"));
}

TEST_F(JobRunnerTest, StopEndsARunningJobWithoutFurtherReportsOrOutput)
{
    std::string big;
    for (int i = 0; i < 20000; ++i)
        big += "user" + std::to_string(i) + "@example.com\n";
    for (const bool inOutput : {false, true}) {
        SCOPED_TRACE(inOutput ? "while writing" : "while processing");
        AddressJob.inputPaths = {Input("big.txt", big)};
        BlockingReport report(Output("out.txt", false, 1000), inOutput);
        AddressJob.report = &report;
        StartJob(JobSettings{});
        report.reached.get_future().wait();

        RequestStop();
        report.release.set_value();
        WaitForWorkers();

        const Calls calls = report.Calls();
        EXPECT_FALSE(HasCall(calls, "finished"));
        EXPECT_EQ(HasCall(calls, "processed"), inOutput);
        EXPECT_FALSE(std::filesystem::exists(dir.Path() / "out.txt"));
        EXPECT_FALSE(std::filesystem::exists(dir.Path() / "out.txt.part1.txt"));
        EXPECT_TRUE(notices.Texts().empty());
    }
}

// Runs a step on the worker at its first report of the chosen kind: a fault or a change
// that a test injects at a known point of the job.
class HookedReport : public ChainingReport
{
public:
    HookedReport(OutputSettings output, bool inOutput, std::function<void()> hook)
        : ChainingReport(std::move(output)), inOutput_(inOutput), hook_(std::move(hook))
    {
    }
    void OnLineProcessed(const std::u16string& filePath, int totalLines, int lineNumber) override
    {
        ChainingReport::OnLineProcessed(filePath, totalLines, lineNumber);
        if (!inOutput_)
            RunOnce();
    }
    void OnOutputProgress(int total, int current) override
    {
        ChainingReport::OnOutputProgress(total, current);
        if (inOutput_)
            RunOnce();
    }

private:
    void RunOnce()
    {
        if (const std::function<void()> hook = std::exchange(hook_, nullptr))
            hook();
    }

    bool inOutput_;
    std::function<void()> hook_;
};

// An exception on a worker ends the job with a told failure instead of ending the process:
// the lines are released, nothing is written, and the front end learns that the job is over.
TEST_F(JobRunnerTest, ExceptionOnAWorkerAbortsTheJobWithoutOutput)
{
    const struct
    {
        const char* name;
        bool inOutput;
        std::function<void()> fault;
        std::string notice;
    } rows[] = {
        {"out of memory while processing", false, [] { throw std::bad_alloc(); },
         "内存不足，作业已停止！"},
        {"out of memory while writing", true, [] { throw std::bad_alloc(); },
         "内存不足，作业已停止！"},
        {"other failure while writing", true, [] { throw std::length_error("full"); },
         "作业因内部错误已停止！"},
    };
    int aborted = 0;
    SetJobAbortHandler([&aborted] { ++aborted; });
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        AddressJob.inputPaths = {Input("1.txt", "b@x\na@x\n")};
        HookedReport report(Output("out.txt", false, 1), row.inOutput, row.fault);
        aborted = 0;
        Run(report, JobSettings{});

        EXPECT_FALSE(HasCall(report.Calls(), "finished"));
        EXPECT_EQ(notices.Texts().back(), row.notice);
        EXPECT_EQ(aborted, 1);
        EXPECT_TRUE(AddressJob.ascendingSet.Empty());
        EXPECT_FALSE(std::filesystem::exists(dir.Path() / "out.txt"));
        EXPECT_FALSE(std::filesystem::exists(dir.Path() / "out.txt.part1.txt"));
    }
    SetJobAbortHandler(nullptr);
}

// A file that loses lines between its count and its reading is told; the job goes on.
TEST_F(JobRunnerTest, InputThatShrinksWhileReadIsToldAndTheJobGoesOn)
{
    // More than one read block, so the reader has bytes left to find gone.
    std::string big;
    for (int i = 0; i < 40000; ++i)
        big += "a@x.example\n";
    const std::u16string path = Input("big.txt", big);
    AddressJob.inputPaths = {path, Input("2.txt", "b@x.example\n")};
    HookedReport report(Output("out.txt"), false,
                        [this] { std::filesystem::resize_file(dir.Path() / "big.txt", 0); });
    Run(report, JobSettings{});

    EXPECT_EQ(notices.Texts(), (Calls{"输入文件在读取时被修改！" + Utf8(path)}));
    EXPECT_EQ(Out("out.txt"), "a@x.example\r\nb@x.example\r\n");
}

// Counts beyond the report's int stop at its maximum and say so once per job. The seam: the
// first report sets filteredCount near the limit, as billions of duplicates would.
TEST_F(JobRunnerTest, FilteredCountSaturatesAndIsToldOnce)
{
    AddressJob.inputPaths = {Input("1.txt", "a@x\na@x\na@x\n"), Input("2.txt", "a@x\nb@x\n")};
    HookedReport report(Output("out.txt"), false,
                        [] { AddressJob.filteredCount = 2147483647 - 1; });
    Run(report, JobSettings{});

    EXPECT_EQ(notices.Texts(), (Calls{"行数超过 2147483647，计数不再准确！"}));
    EXPECT_EQ(report.Calls().back(), "finished 2147483647 2");
}

// A job whose set outgrows a limit of a few kilobytes writes many runs; the output and both
// counts are those of the same job in memory, repeats across runs and files included.
TEST_F(JobRunnerTest, JobBeyondItsMemoryLimitGivesTheSameResultAsInMemory)
{
    std::string first, second;
    for (int i = 0; i < 3000; ++i)
        first += "user" + std::to_string(i * 7919 % 2000) + "@x.example\n";
    for (int i = 0; i < 1000; ++i)
        second += "user" + std::to_string(i * 13 % 2500) + "@y.example\n";
    second += "user5@x.example\n";
    AddressJob.inputPaths = {Input("1.txt", first), Input("2.txt", second)};
    for (const SortOrder order : {sortAscending, sortDescending}) {
        JobSettings settings;
        settings.sortOrder = order;
        ChainingReport inMemory(Output("memory.txt"));
        Run(inMemory, settings);
        settings.memoryLimit = 4096;
        ChainingReport inRuns(Output("runs.txt"));
        Run(inRuns, settings);

        // 1000 repeats in the first file, 1 in the second; 2000 + 1000 distinct lines.
        EXPECT_EQ(inMemory.Calls().back(), "finished 1001 3000");
        EXPECT_EQ(inRuns.Calls().back(), "finished 1001 3000");
        EXPECT_EQ(Out("runs.txt"), Out("memory.txt"));
        EXPECT_TRUE(AddressJob.ChosenSet().HasRuns());
    }
    EXPECT_TRUE(notices.Texts().empty());
}

TEST(ReportedCount, SaturatesAtTheLargestInt)
{
    EXPECT_EQ(ReportedCount(0), 0);
    EXPECT_EQ(ReportedCount(2147483647), 2147483647);
    EXPECT_EQ(ReportedCount(2147483648), 2147483647);
    EXPECT_EQ(ReportedCount(3000000000LL * 3), 2147483647);
}

} // namespace
} // namespace trelvane
