// Running one job for the command-line tool.
#include "cli/cli_job.h"

#include "cli/cli_report.h"
#include "cli/console.h"
#include "cli/interrupt.h"
#include "cli/joined.h"
#include "cli/progress_display.h"
#include "engine/job_runner.h"
#include "engine/notice.h"
#include "engine/settings_text.h"

#include <chrono>
#include <string>

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

int ExitStatus(const CliReport& report)
{
    const std::optional<JobCounts> counts = report.Counts();
    const bool told = !counts || WriteToStdout(CompletionText(*counts));
    return counts && told && !report.FailureReported() ? exitSuccess : exitJobFailure;
}

} // namespace

int RunJob(const CliOptions& options, bool showProgress)
{
    InstallInterruptHandler();
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
    display.Clear();
    if (!ended) {
        WriteToStderr(u"trelvane-cli: interrupted, the job was stopped\n");
        return InterruptExitStatus();
    }
    return ExitStatus(report);
}

} // namespace trelvane
