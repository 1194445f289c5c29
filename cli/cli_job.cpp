// Running one job for the command-line tool.
#include "cli/cli_job.h"

#include "cli/cli_report.h"
#include "cli/console.h"
#include "cli/interrupt.h"
#include "cli/joined.h"
#include "cli/progress_display.h"
#include "engine/job_runner.h"
#include "engine/notice.h"
#include "engine/removal_report.h"
#include "engine/settings_text.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace trelvane {
namespace {

// How often main wakes while it waits: the display's redraw rate and the reaction to an
// interrupt.
constexpr std::chrono::milliseconds redrawInterval{200};

std::u16string CompletionText(const JobCounts& counts)
{
    return Joined({u"输出完成！过滤数量：", DecimalText(counts.filteredCount), u"条 处理后数量：",
                   DecimalText(counts.writtenCount), u"条\n"});
}

// Waits for the end of the job, redrawing the display meanwhile; false when an interrupt
// asked the job to stop first.
bool AwaitEnd(CliReport& report, ProgressDisplay& display)
{
    while (!report.WaitForEnd(redrawInterval)) {
        if (InterruptExitStatus() != 0) {
            RequestStop();
            return false;
        }
        display.Show(report.Progress());
    }
    return true;
}

// Tells the input findings on stderr and puts the removal report, if any, in place; false when
// the report could not be written. A job that reported a failure leaves an earlier report as
// it was.
bool TellFindings(const CliReport& report, const JobCounts& counts, RemovalReport* removals,
                  bool caseVariants)
{
    if (removals != nullptr && caseVariants)
        removals->NoteCaseVariants(AddressJob, AddressJob.diagnostics);
    const std::vector<std::u16string> findings = AddressJob.diagnostics.Texts();
    for (const std::u16string& finding : findings)
        WriteToStderr(Joined({u"trelvane-cli: 提示：", finding, u"\n"}));
    if (removals == nullptr)
        return true;
    if (report.FailureReported()) {
        WriteToStderr(u"trelvane-cli: 作业中报告了失败，未写出报告文件。\n");
        return true;
    }
    if (removals->Commit(findings, counts.filteredCount))
        return true;
    WriteToStderr(Joined({u"trelvane-cli: ", removals->Failure(), u"\n"}));
    return false;
}

int ExitStatus(const CliReport& report, RemovalReport* removals, bool caseVariants)
{
    const std::optional<JobCounts> counts = report.Counts();
    if (!counts)
        return exitJobFailure;
    const bool told = WriteToStdout(CompletionText(*counts));
    const bool reported = TellFindings(report, *counts, removals, caseVariants);
    return told && reported && !report.FailureReported() ? exitSuccess : exitJobFailure;
}

} // namespace

int RunJob(const CliOptions& options, bool showProgress)
{
    InstallInterruptHandler();
    std::optional<RemovalReport> removals;
    if (!options.reportPath.empty()) {
        removals.emplace(options.reportPath);
        if (!removals->Open()) {
            WriteToStderr(Joined({u"trelvane-cli: ", removals->Failure(), u"\n"}));
            return exitJobFailure;
        }
        AddressJob.removalSink = &*removals;
    }
    CliReport report(options.outputSettings);
    ProgressDisplay display(showProgress);
    SetNoticeHandler([&report, &display](std::u16string_view text) {
        display.PrintMessage(Joined({u"trelvane-cli: ", text}));
        report.OnNotice(text);
    });
    SetJobAbortHandler([&report] { report.OnJobAborted(); });
    AddressJob.report = &report;
    AddressJob.inputPaths.insert(AddressJob.inputPaths.end(), options.inputPaths.begin(),
                                 options.inputPaths.end());
    StartJob(options.jobSettings);
    const bool ended = AwaitEnd(report, display);
    WaitForWorkers();
    SetNoticeHandler(nullptr);
    SetJobAbortHandler(nullptr);
    AddressJob.report = nullptr;
    AddressJob.removalSink = nullptr;
    display.Clear();
    if (!ended) {
        WriteToStderr(u"trelvane-cli: interrupted, the job was stopped\n");
        return InterruptExitStatus();
    }
    return ExitStatus(report, removals ? &*removals : nullptr, options.caseVariants);
}

} // namespace trelvane
