// Requests to stop on POSIX systems: SIGINT, SIGTERM and SIGHUP.
#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

namespace trelvane {
namespace {

// The signal that asked the job to stop; 0 while none has.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

void OnStopSignal(int signal)
{
    stopSignal.store(signal);
}

} // namespace

// A second signal ends the process at once, since each handler is reset by its first call. A
// signal the caller ignores (nohup, a background job of a script) stays ignored.
void InstallInterruptHandler()
{
    struct sigaction action = {};
    action.sa_handler = &OnStopSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous = {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &action, nullptr);
    }
}

int InterruptExitStatus()
{
    constexpr int signalStatusBase = 128;
    const int signal = stopSignal.load();
    return signal == 0 ? 0 : signalStatusBase + signal;
}

} // namespace trelvane
