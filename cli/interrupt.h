// Requests from outside to stop the job: Ctrl-C and its kin.
#pragma once

namespace trelvane {

/// Starts listening for interrupts: SIGINT, SIGTERM and SIGHUP on POSIX systems (a signal the
/// caller ignores stays ignored), Ctrl-C, Ctrl-Break and the closing of the console window on
/// Windows. A second interrupt ends the process at once.
void InstallInterruptHandler();

/// The number of the signal that asked the job to stop (SIGINT for the console events of
/// Windows); 0 while none has.
int InterruptSignal();

} // namespace trelvane
