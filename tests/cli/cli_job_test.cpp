// The tool's job receiver: how a job ends when the engine cannot start a worker thread, and how
// the progress tells one input file from the next.
#include "cli/cli_job.h"
#include "cli/cli_report.h"
#include "engine/job_runner_test_hook.h"

#include <gtest/gtest.h>

#include <chrono>

namespace trelvane {
namespace {

using std::chrono::milliseconds;

TEST(CliJob, FailedProcessingThreadStartEndsTheJobWithFailureStatus)
{
    CliOptions options;
    options.inputPaths = {u"/no-such-folder/in.txt"};
    options.outputSettings.mergeOutput = true;
    options.outputSettings.outputPath = u"/no-such-folder/out.txt";
    test_hook::FailNextThreadStart();
    // A wait for an OnOutputFinished that never comes would hang here.
    EXPECT_EQ(RunJob(options, false), exitJobFailure);
}

TEST(CliReport, OnlyAThreadStartFailureEndsTheJob)
{
    const struct
    {
        std::u16string_view notice;
        bool endsJob;
    } rows[] = {
        {u"创建线程失败！", true},
        {u"创建输出线程失败！", true},
        {u"打开输出文件失败！", false},
        {u"读取输入文件失败！/x.txt: No such file or directory", false},
    };
    for (const auto& row : rows) {
        CliReport report({});
        report.OnNotice(row.notice);
        EXPECT_EQ(report.WaitForEnd(milliseconds(0)), row.endsJob);
        EXPECT_TRUE(report.FailureReported());
        EXPECT_FALSE(report.Counts().has_value());
    }
}

TEST(CliReport, CountsArriveWithTheEndOfOutput)
{
    CliReport report({});
    report.OnOutputFinished(3, 7);
    ASSERT_TRUE(report.WaitForEnd(milliseconds(0)));
    EXPECT_EQ(report.Counts()->filteredCount, 3);
    EXPECT_EQ(report.Counts()->writtenCount, 7);
    EXPECT_FALSE(report.FailureReported());
}

TEST(CliReport, ProgressShowsEachNewFile)
{
    CliReport report({});
    const std::u16string first = u"/in/first.txt";
    const std::u16string second = u"/in/second.txt";
    report.OnLineProcessed(first, 10, 4);
    EXPECT_EQ(report.Progress().filePath, first);
    report.OnLineProcessed(second, 10, 5);
    EXPECT_EQ(report.Progress().filePath, second);
    EXPECT_EQ(report.Progress().position, 5);
    EXPECT_EQ(report.Progress().total, 10);

    // One string object that names another file: the line number starts again.
    std::u16string reused = u"/in/third.txt";
    report.OnLineProcessed(reused, 10, 6);
    reused = u"/in/fourth.txt";
    report.OnLineProcessed(reused, 10, 2);
    EXPECT_EQ(report.Progress().filePath, u"/in/fourth.txt");
}

} // namespace
} // namespace trelvane
