// What the workers' reports leave for the dialog's thread to show.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace trelvane {

/// A state of the progress bar: the range 0 to range, and the position.
struct ProgressValue
{
    int range = 0;
    int position = 0;
};

/// A status text that a worker asked for, with the last progress of the file before it.
struct PendingText
{
    std::u16string text;
    bool hasPrevious = false;
    ProgressValue previous;
};

/// The latest values reported by the workers, shared between them and the dialog's thread.
///
/// A per-line report stores one word into progress; a new file's status text is queued under
/// the mutex once per file. The dialog's thread takes both at screen rate, and runs the
/// once-per-job work that a worker hands over while that worker waits.
struct ReportState
{
public:
    /// The progress word when the dialog's thread has shown the last value.
    static constexpr std::uint64_t nothingPending = ~std::uint64_t{0};

    /// One word for a range and a position, so that a reader never mixes two reports.
    static std::uint64_t Pack(ProgressValue value)
    {
        return std::uint64_t{static_cast<std::uint32_t>(value.range)} << 32 |
               static_cast<std::uint32_t>(value.position);
    }
    /// The range and position of a word made by Pack.
    static ProgressValue Unpack(std::uint64_t word)
    {
        return {static_cast<int>(static_cast<std::uint32_t>(word >> 32)),
                static_cast<int>(static_cast<std::uint32_t>(word))};
    }

    /// Records the latest progress; called by a worker for every line.
    void StoreProgress(ProgressValue value)
    {
        progress_.store(Pack(value), std::memory_order_relaxed);
    }

    /// Queues a status text. The progress stored so far belongs to the file before it and is
    /// carried in previous, so the dialog never shows it beside the new text.
    void QueueText(PendingText text)
    {
        const std::lock_guard lock(mutex_);
        texts_.push_back(std::move(text));
        progress_.store(nothingPending, std::memory_order_relaxed);
    }

    /// Takes the queued texts and the latest progress (nothingPending when it has been shown);
    /// the progress then belongs to the last text taken, or to the one shown before.
    std::vector<PendingText> TakePending(std::uint64_t& progress)
    {
        const std::lock_guard lock(mutex_);
        progress = progress_.exchange(nothingPending, std::memory_order_relaxed);
        return std::exchange(texts_, {});
    }

    /// Whether the dialog is closing; reports then return at once.
    bool IsClosing() const { return closing_.load(std::memory_order_acquire); }

    /// Hands work to the dialog's thread and waits until it has run; false, without waiting,
    /// when the dialog is closing or starts to close meanwhile. wake tells that thread.
    bool RunOnDialogThread(std::function<void()> work, const std::function<void()>& wake)
    {
        std::unique_lock lock(mutex_);
        if (closing_.load(std::memory_order_relaxed))
            return false;
        work_ = std::move(work);
        const std::uint64_t ticket = ++workTicket_;
        lock.unlock();
        wake();
        lock.lock();
        workDone_.wait(lock, [&] { return doneTicket_ == ticket || closing_.load(); });
        return doneTicket_ == ticket;
    }

    /// Runs the work a worker waits on, if any; called on the dialog's thread.
    void RunPendingWork()
    {
        std::unique_lock lock(mutex_);
        if (!work_ || closing_.load(std::memory_order_relaxed))
            return;
        const std::function<void()> work = std::exchange(work_, nullptr);
        const std::uint64_t ticket = workTicket_;
        lock.unlock();
        work();
        lock.lock();
        doneTicket_ = ticket;
        workDone_.notify_all();
    }

    /// Marks the dialog closing, drops what is pending and wakes a worker waiting on work.
    void Close()
    {
        const std::lock_guard lock(mutex_);
        closing_.store(true, std::memory_order_release);
        work_ = nullptr;
        texts_.clear();
        progress_.store(nothingPending, std::memory_order_relaxed);
        workDone_.notify_all();
    }

    // How the processing thread recognises a new file. Only the processing thread of the
    // running job touches these; jobs follow each other through the handover above.
    const std::u16string* lastPath = nullptr;
    std::u16string lastPathText;
    bool hasLastFile = false;
    ProgressValue lastFileProgress;

private:
    std::atomic<std::uint64_t> progress_{nothingPending};
    std::atomic<bool> closing_{false};
    std::mutex mutex_;
    std::condition_variable workDone_;
    std::vector<PendingText> texts_;
    std::function<void()> work_;
    std::uint64_t workTicket_ = 0;
    std::uint64_t doneTicket_ = 0;
};

} // namespace trelvane
