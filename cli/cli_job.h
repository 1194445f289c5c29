// Running one job for the command-line tool and turning its outcome into an exit status.
#pragma once

#include "cli/cli_options.h"

namespace trelvane {

/// The tool's exit statuses.
inline constexpr int exitSuccess = 0;
inline constexpr int exitJobFailure = 1;
inline constexpr int exitUsageError = 2;

/// Runs the job that options describe and waits for its end; notices go to stderr, progress
/// to stderr when showProgress, the completion text to stdout. Returns exitSuccess, or
/// exitJobFailure when the engine reported a failure, the job could not reach its end or stdout
/// could not be written, or the interrupt's exit status (InterruptExitStatus) when an interrupt
/// stopped it; the job's output files are then removed and earlier files keep what they held.
int RunJob(const CliOptions& options, bool showProgress);

} // namespace trelvane
