// Running a job on its processing thread and its output thread.
#include "engine/job_runner.h"

#include "engine/exclusion_list.h"
#include "engine/hashed_exclusions.h"
#include "engine/job_runner_test_hook.h"
#include "engine/line_reader.h"
#include "engine/notice.h"
#include "engine/os/scratch_file.h"
#include "engine/process_file.h"
#include "engine/result_writer.h"
#include "engine/sorted_runs.h"
#include "engine/stop_flag.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace trelvane {
namespace {

using Routine = void (*)(AddressJobRecord&);

std::atomic<bool> failNextThreadStart{false};

void RunGuarded(Routine routine);

// The worker threads of the process. Threads are kept, not detached, so that a front end that
// closes can stop and join them before the record or the report receiver goes away; a thread
// that has ended is joined when the next one starts.
class Workers
{
public:
    Workers() = default;
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    // The last guard at process exit: no worker may outlive the record.
    ~Workers()
    {
        stop.Request();
        JoinAll();
    }

    // Starts routine on a new thread over AddressJob; false when the system refuses a thread.
    bool Launch(Routine routine)
    {
        std::lock_guard lock(mutex_);
        JoinEnded();
        workers_.reserve(workers_.size() + 1);
        auto ended = std::make_shared<std::atomic<bool>>(false);
        try {
            if (failNextThreadStart.exchange(false))
                throw std::system_error(
                    std::make_error_code(std::errc::resource_unavailable_try_again));
            workers_.push_back({std::thread([routine, ended] {
                                    RunGuarded(routine);
                                    ended->store(true, std::memory_order_release);
                                }),
                                ended});
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }

    // Joins every worker, including those that a worker starts while this waits.
    void JoinAll()
    {
        for (;;) {
            std::thread next;
            {
                std::lock_guard lock(mutex_);
                if (workers_.empty())
                    return;
                next = std::move(workers_.front().thread);
                workers_.erase(workers_.begin());
            }
            next.join();
        }
    }

    StopFlag stop;

private:
    struct Worker
    {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> ended;
    };

    // Joins the threads that have finished their routine; the caller holds the mutex. Such a
    // thread only has to return, so the join does not wait for a report call.
    void JoinEnded()
    {
        for (auto it = workers_.begin(); it != workers_.end();) {
            if (!it->ended->load(std::memory_order_acquire)) {
                ++it;
                continue;
            }
            it->thread.join();
            it = workers_.erase(it);
        }
    }

    std::mutex mutex_;
    std::vector<Worker> workers_;
};

Workers& Runner()
{
    static Workers workers;
    return workers;
}

// Shows text unless the job is being stopped; false when the job is to end now.
bool Tell(std::u16string_view text, const StopFlag& stop)
{
    if (stop.IsRequested())
        return false;
    ShowNotice(text);
    return !stop.IsRequested();
}

std::u16string InputFailureText(const std::u16string& path, int errorNumber)
{
    return FailureText(u"读取输入文件失败！", path, errorNumber);
}

// A failure after which the job cannot go on: it ends without output, told with text.
struct JobFailure
{
    std::u16string text;
};

// The processing stage over the input files, with the notices it gives at most once a job.
class InputStage
{
public:
    InputStage(AddressJobRecord& job, const StopFlag& stop)
        : job_(job), stop_(stop), exclusions_(job.exclusionPath, &stop),
          hashed_(job.hashedExclusionPath)
    {
    }

    // Counts and processes every input file; false when the job was stopped.
    bool Run()
    {
        if (job_.useHashedExclusion && !LoadHashedList())
            return false;
        for (const std::u16string& path : job_.inputPaths) {
            if (!RunFile(path) || stop_.IsRequested())
                return false;
        }
        return Settle();
    }

private:
    // A regular file is counted, then read; a pipe is read once, its count unknown till then.
    bool RunFile(const std::u16string& path)
    {
        const bool streamed = os::IsReadOnce(path);
        LineCount count;
        if (!streamed) {
            count = CountLines(path, &stop_);
            if (stop_.IsRequested())
                return false;
            if (!count.outcome.ok)
                return Tell(InputFailureText(path, count.outcome.errorNumber), stop_);
        }
        if (job_.useExclusionFile && !ReloadExclusions())
            return false;
        const FileOutcome outcome =
            ProcessFile(job_, job_.ChosenSet(), path, ReportedCount(count.lines),
                        job_.useExclusionFile ? &exclusions_ : nullptr, &stop_,
                        job_.useHashedExclusion ? &hashed_ : nullptr);
        if (stop_.IsRequested())
            return false;
        if (!outcome.read.ok)
            return Tell(InputFailureText(path, outcome.read.errorNumber), stop_);
        if (!streamed && outcome.read.lines < count.lines &&
            !Tell(u"输入文件在读取时被修改！" + path, stop_))
            return false;
        return !outcome.countSaturated || TellSaturationOnce();
    }

    // Counts the lines that repeat a line of another run, for a set that wrote runs; false when
    // the job was stopped.
    bool Settle()
    {
        AddressSet::VisitRepeat repeat;
        if (IRemovalSink* const sink = job_.removalSink; sink != nullptr) {
            repeat = [sink](std::u16string_view line, std::uint64_t place, std::uint64_t first) {
                sink->OnRepeat(place, first, line);
            };
        }
        const std::uint64_t repeats = job_.ChosenSet().Settle(&stop_, repeat);
        if (stop_.IsRequested())
            return false;
        const std::int64_t filtered = job_.filteredCount + static_cast<std::int64_t>(repeats);
        job_.filteredCount = ReportedCount(filtered);
        return filtered <= maxReportedCount || TellSaturationOnce();
    }

    // Reloads the exclusion lines; false when the job was stopped. Without a list ever loaded
    // the job cannot go on: it would write the very addresses that were to be left out.
    bool ReloadExclusions()
    {
        if (exclusions_.Reload() || stop_.IsRequested())
            return !stop_.IsRequested();
        if (!exclusions_.HasLoaded())
            throw JobFailure{
                FailureText(u"读取排除文件失败！", job_.exclusionPath, exclusions_.Error())};
        if (exclusionFailureShown_)
            return true;
        exclusionFailureShown_ = true;
        return Tell(u"读取排除文件失败！", stop_);
    }

    // Loads the hashed list once for the job; false when the job was stopped. Without it the
    // job cannot go on, as without its exclusion file.
    bool LoadHashedList()
    {
        if (!hashed_.Load(&stop_)) {
            if (stop_.IsRequested())
                return false;
            throw JobFailure{
                FailureText(u"读取散列排除文件失败！", hashed_.Path(), hashed_.Error())};
        }
        for (const std::int64_t line : hashed_.SkippedLines())
            job_.diagnostics.Note(DiagnosticKind::HashedListSkipped, hashed_.Path(), line);
        return true;
    }

    bool TellSaturationOnce()
    {
        if (saturationShown_)
            return true;
        saturationShown_ = true;
        return Tell(u"行数超过 2147483647，计数不再准确！", stop_);
    }

    AddressJobRecord& job_;
    const StopFlag& stop_;
    JobExclusions exclusions_;
    HashedExclusions hashed_;
    bool exclusionFailureShown_ = false;
    bool saturationShown_ = false;
};

// Ends a job whose worker met a failure it could not go on from: releases the job's lines
// (telling the user may need memory), tells why and tells the front end that the job is over.
void AbortJob(std::u16string_view text)
{
    AddressJob.ascendingSet.Clear();
    AddressJob.descendingSet.Clear();
    const StopFlag& stop = Runner().stop;
    try {
        Tell(text, stop);
    } catch (...) {
        // Even untold, the job must be seen to end.
    }
    if (!stop.IsRequested())
        NotifyJobAborted();
}

// Runs a worker's routine; an exception that escapes it ends the job instead of the process.
void RunGuarded(Routine routine)
{
    std::u16string failure;
    try {
        routine(AddressJob);
        return;
    } catch (const JobFailure& jobFailure) {
        failure = jobFailure.text;
    } catch (const ScratchFailure& scratchFailure) {
        failure = scratchFailure.text;
    } catch (const std::bad_alloc&) {
        failure = u"内存不足，作业已停止！";
    } catch (...) {
        failure = u"作业因内部错误已停止！";
    }
    AbortJob(failure);
}

} // namespace

std::uint64_t DefaultMemoryLimit()
{
    constexpr std::uint64_t largestDefault = std::uint64_t{1} << 30;
    const std::uint64_t half = os::PhysicalMemoryBytes() / 2;
    return half != 0 ? std::min(half, largestDefault) : largestDefault;
}

void StartJob(const JobSettings& settings)
{
    AddressJob.ascendingSet.Clear();
    AddressJob.descendingSet.Clear();
    // A removal report needs to know where each stored line was read.
    AddressJob.ascendingSet.KeepTags(AddressJob.removalSink != nullptr);
    AddressJob.descendingSet.KeepTags(AddressJob.removalSink != nullptr);
    // The set gets three quarters: the rest is for the reader, the exclusions and the writer.
    const std::uint64_t limit =
        settings.memoryLimit != 0 ? settings.memoryLimit : DefaultMemoryLimit();
    AddressJob.ascendingSet.SetMemoryLimit(limit / 4 * 3);
    AddressJob.descendingSet.SetMemoryLimit(limit / 4 * 3);
    AddressJob.filteredCount = 0;
    AddressJob.diagnostics.Clear();
    static_cast<JobSettings&>(AddressJob) = settings;
    Runner().stop.Reset();
    if (!Runner().Launch(&ProcessingThread))
        ShowNotice(u"创建线程失败！");
}

void StartOutput(const OutputSettings& settings)
{
    static_cast<OutputSettings&>(AddressJob) = settings;
    if (!Runner().Launch(&OutputThread))
        Tell(u"创建输出线程失败！", Runner().stop);
}

void ProcessingThread(AddressJobRecord& job)
{
    bool finished = false;
    {
        // The exclusion lines are released before the output stage begins.
        InputStage stage(job, Runner().stop);
        finished = stage.Run();
    }
    if (finished)
        job.report->OnProcessingFinished();
    else if (job.ChosenSet().HasRuns())
        job.ChosenSet().Clear(); // a stopped job gives the disk space of its runs back at once
}

void OutputThread(AddressJobRecord& job)
{
    WriteResults(job, job.ChosenSet(), &Runner().stop);
}

void RequestStop()
{
    Runner().stop.Request();
}

void WaitForWorkers()
{
    Runner().JoinAll();
}

namespace test_hook {

void FailNextThreadStart()
{
    failNextThreadStart.store(true);
}

} // namespace test_hook
} // namespace trelvane
