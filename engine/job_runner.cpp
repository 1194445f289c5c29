// Running a job on its processing thread and its output thread.
#include "engine/job_runner.h"

#include "engine/exclusion_list.h"
#include "engine/job_runner_test_hook.h"
#include "engine/line_reader.h"
#include "engine/notice.h"
#include "engine/process_file.h"
#include "engine/result_writer.h"
#include "engine/stop_flag.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace trelvane {
namespace {

using Routine = void (*)(AddressJobRecord&);

std::atomic<bool> failNextThreadStart{false};

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
                                    routine(AddressJob);
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

// Counts and processes every input file; false when the job was stopped.
bool ProcessInputFiles(AddressJobRecord& job, const StopFlag& stop)
{
    JobExclusions exclusions(job.exclusionPath);
    bool exclusionFailureShown = false;
    for (const std::u16string& path : job.inputPaths) {
        const LineCount count = CountLines(path, &stop);
        if (stop.IsRequested())
            return false;
        if (!count.outcome.ok) {
            if (!Tell(InputFailureText(path, count.outcome.errorNumber), stop))
                return false;
            continue;
        }
        if (job.useExclusionFile && !exclusions.Reload() && !exclusionFailureShown) {
            exclusionFailureShown = true;
            if (!Tell(u"读取排除文件失败！", stop))
                return false;
        }
        const ReadOutcome outcome =
            ProcessFile(job, job.ChosenSet(), path, count.lines,
                        job.useExclusionFile ? &exclusions : nullptr, &stop);
        if (stop.IsRequested())
            return false;
        if (!outcome.ok && !Tell(InputFailureText(path, outcome.errorNumber), stop))
            return false;
    }
    return true;
}

} // namespace

void StartJob(const JobSettings& settings)
{
    AddressJob.ascendingSet.Clear();
    AddressJob.descendingSet.Clear();
    AddressJob.filteredCount = 0;
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
    // The exclusion lines are released before the output stage begins.
    if (ProcessInputFiles(job, Runner().stop))
        job.report->OnProcessingFinished();
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
