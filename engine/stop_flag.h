// A request to a running job to stop early.
#pragma once

#include <atomic>

namespace trelvane {

/// Set by a front end that is closing; workers check it at least once per block read and per
/// line written, and leave without further reports once it is set.
class StopFlag
{
public:
    StopFlag() = default;
    /// A flag that is also set while outer (when given) is: a part of a job that can be stopped
    /// on its own.
    explicit StopFlag(const StopFlag* outer) : outer_(outer) {}

    void Request() { requested_.store(true, std::memory_order_relaxed); }
    void Reset() { requested_.store(false, std::memory_order_relaxed); }
    bool IsRequested() const
    {
        return requested_.load(std::memory_order_relaxed) ||
               (outer_ != nullptr && outer_->IsRequested());
    }

private:
    std::atomic<bool> requested_{false};
    const StopFlag* outer_ = nullptr;
};

/// Whether stop is given and requested; a worker without a flag is never stopped.
inline bool StopRequested(const StopFlag* stop)
{
    return stop != nullptr && stop->IsRequested();
}

} // namespace trelvane
