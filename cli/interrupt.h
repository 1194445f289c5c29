// Requests from outside to stop the job: Ctrl-C and its kin.
#pragma once

namespace trelvane {

/// Starts listening for requests to stop the job: on POSIX systems SIGINT (Ctrl-C), SIGTERM and
/// SIGHUP (a closed terminal), each unless the caller ignores it; on Windows Ctrl-C, Ctrl-Break
/// and the closing of the console window. A second request ends the process at once.
void InstallInterruptHandler();

/// The exit status the request asks for: 128 + the signal's number on POSIX systems (130 for
/// SIGINT, 143 for SIGTERM, 129 for SIGHUP, as a shell reports a process that the signal ended),
/// 130 on Windows; 0 while none came.
int InterruptExitStatus();

} // namespace trelvane
