// The command-line tool's receiver of a job's reports, and the end of the job that main awaits.
#pragma once

#include "engine/address_job.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace trelvane {

/// The stage a job is in, as far as the progress display is concerned.
enum class JobPhase
{
    Starting,
    Processing,
    Output,
};

/// The progress of a job as the workers last left it.
struct ProgressSnapshot
{
    JobPhase phase = JobPhase::Starting;
    int position = 0;
    int total = 0;
    /// The input file being processed; empty outside the processing phase.
    std::u16string filePath;
};

/// The two counts of a job that reached its end.
struct JobCounts
{
    int filteredCount = 0;
    int writtenCount = 0;
};

/// Takes the reports of one job: keeps its progress for the display, starts the output stage
/// and tells main when the job has ended.
///
/// The per-line reports only store a few numbers; the path is copied once per input file.
class CliReport final : public IProcessReport
{
public:
    explicit CliReport(OutputSettings outputSettings);

    void OnLineProcessed(const std::u16string& filePath, int totalLines, int lineNumber) override;
    void OnProcessingFinished() override;
    void OnOutputProgress(int total, int current) override;
    void OnOutputFinished(int filteredCount, int writtenCount) override;

    /// Takes a failure notice of the engine; a worker that could not be started ends the job,
    /// since no further report will come.
    void OnNotice(std::u16string_view text);
    /// Takes the end of a job that stopped on a failure; no further report will come.
    void OnJobAborted();

    /// Waits up to timeout for the end of the job; true once it has ended.
    bool WaitForEnd(std::chrono::milliseconds timeout);
    /// The counts, when the job reached OnOutputFinished.
    std::optional<JobCounts> Counts() const;
    /// Whether the engine reported a failure during the job.
    bool FailureReported() const;
    /// The current progress; safe from any thread.
    ProgressSnapshot Progress() const;

private:
    bool IsNewFile(const std::u16string& filePath, int totalLines, int lineNumber) const;

    OutputSettings outputSettings_;

    std::atomic<JobPhase> phase_{JobPhase::Starting};
    std::atomic<int> position_{0};
    std::atomic<int> total_{0};

    // Only the processing thread reads and writes these: how it recognises a new file.
    const std::u16string* lastPath_ = nullptr;
    int lastTotal_ = 0;
    int lastLine_ = 0;

    mutable std::mutex mutex_;
    std::condition_variable endChanged_;
    std::u16string filePath_;
    bool ended_ = false;
    bool failureReported_ = false;
    std::optional<JobCounts> counts_;
};

} // namespace trelvane
