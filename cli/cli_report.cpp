// The command-line tool's receiver of a job's reports.
#include "cli/cli_report.h"

#include "engine/job_runner.h"

#include <utility>

namespace trelvane {
namespace {

// The texts with which the engine tells that it could not start a worker.
constexpr std::u16string_view processingStartFailure = u"创建线程失败！";
constexpr std::u16string_view outputStartFailure = u"创建输出线程失败！";

} // namespace

CliReport::CliReport(OutputSettings outputSettings) : outputSettings_(std::move(outputSettings)) {}

bool CliReport::IsNewFile(const std::u16string& filePath, int totalLines, int lineNumber) const
{
    // Line numbers rise within a file; a path string at the same address may be another file.
    return &filePath != lastPath_ || totalLines != lastTotal_ || lineNumber <= lastLine_;
}

void CliReport::OnLineProcessed(const std::u16string& filePath, int totalLines, int lineNumber)
{
    if (IsNewFile(filePath, totalLines, lineNumber)) {
        lastPath_ = &filePath;
        lastTotal_ = totalLines;
        std::lock_guard lock(mutex_);
        filePath_ = filePath;
    }
    lastLine_ = lineNumber;
    total_.store(totalLines, std::memory_order_relaxed);
    position_.store(lineNumber, std::memory_order_relaxed);
    phase_.store(JobPhase::Processing, std::memory_order_relaxed);
}

void CliReport::OnProcessingFinished()
{
    total_.store(0, std::memory_order_relaxed);
    position_.store(0, std::memory_order_relaxed);
    phase_.store(JobPhase::Output, std::memory_order_relaxed);
    StartOutput(outputSettings_);
}

void CliReport::OnOutputProgress(int total, int current)
{
    total_.store(total, std::memory_order_relaxed);
    position_.store(current, std::memory_order_relaxed);
}

void CliReport::OnOutputFinished(int filteredCount, int writtenCount)
{
    std::lock_guard lock(mutex_);
    counts_ = JobCounts{filteredCount, writtenCount};
    ended_ = true;
    endChanged_.notify_all();
}

void CliReport::OnNotice(std::u16string_view text)
{
    std::lock_guard lock(mutex_);
    failureReported_ = true;
    if (text == processingStartFailure || text == outputStartFailure) {
        ended_ = true;
        endChanged_.notify_all();
    }
}

void CliReport::OnJobAborted()
{
    std::lock_guard lock(mutex_);
    failureReported_ = true;
    ended_ = true;
    endChanged_.notify_all();
}

bool CliReport::WaitForEnd(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return endChanged_.wait_for(lock, timeout, [this] { return ended_; });
}

std::optional<JobCounts> CliReport::Counts() const
{
    std::lock_guard lock(mutex_);
    return counts_;
}

bool CliReport::FailureReported() const
{
    std::lock_guard lock(mutex_);
    return failureReported_;
}

ProgressSnapshot CliReport::Progress() const
{
    ProgressSnapshot snapshot;
    snapshot.phase = phase_.load(std::memory_order_relaxed);
    snapshot.total = total_.load(std::memory_order_relaxed);
    snapshot.position = position_.load(std::memory_order_relaxed);
    if (snapshot.phase == JobPhase::Processing) {
        std::lock_guard lock(mutex_);
        snapshot.filePath = filePath_;
    }
    return snapshot;
}

} // namespace trelvane
