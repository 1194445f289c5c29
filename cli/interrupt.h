// Requests from outside to stop the job: Ctrl-C and its kin.
#pragma once

namespace trelvane {

/// Starts listening for interrupts: Ctrl-C everywhere, SIGTERM on POSIX systems, Ctrl-Break and
/// the closing of the console window on Windows. A second Ctrl-C ends the process at once.
void InstallInterruptHandler();

/// Whether an interrupt has asked the job to stop.
bool InterruptRequested();

} // namespace trelvane
