// Interrupts on POSIX systems: SIGINT, SIGTERM and SIGHUP.
#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

namespace trelvane {
namespace {

std::atomic<int> interruptSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

void OnInterruptSignal(int signal)
{
    interruptSignal.store(signal);
}

} // namespace

// A second signal ends the process at once: the handler is reset by its first call. A signal
// the caller ignores (nohup, a background job of a script) stays ignored.
void InstallInterruptHandler()
{
    struct sigaction action = {};
    action.sa_handler = &OnInterruptSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous = {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &action, nullptr);
    }
}

int InterruptSignal()
{
    return interruptSignal.load();
}

} // namespace trelvane
