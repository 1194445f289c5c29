// Interrupts on POSIX systems: SIGINT and SIGTERM.
#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

namespace trelvane {
namespace {

std::atomic<bool> interruptRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

void OnInterruptSignal(int /*signal*/)
{
    interruptRequested.store(true);
}

} // namespace

// A second signal ends the process at once: the handler is reset by its first call.
void InstallInterruptHandler()
{
    struct sigaction action = {};
    action.sa_handler = &OnInterruptSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool InterruptRequested()
{
    return interruptRequested.load();
}

} // namespace trelvane
