// Interrupts on Windows: Ctrl-C, Ctrl-Break, and the console window closing (or the user
// logging off, or the system shutting down).
#include "cli/interrupt.h"

#include <windows.h>

#include <atomic>

namespace trelvane {
namespace {

std::atomic<bool> interruptRequested{false};

BOOL WINAPI OnConsoleEvent(DWORD event)
{
    const bool repeated = interruptRequested.exchange(true);
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
        return repeated ? FALSE : TRUE; // a second one goes to the default handler, which exits
    // Windows ends the process as soon as this returns (or a few seconds later): wait here
    // while the main thread stops the job and removes its output; its exit ends this thread.
    Sleep(INFINITE);
    return TRUE;
}

} // namespace

void InstallInterruptHandler()
{
    SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

int InterruptExitStatus()
{
    constexpr int interruptedStatus = 130; // as for SIGINT elsewhere
    return interruptRequested.load() ? interruptedStatus : 0;
}

} // namespace trelvane
