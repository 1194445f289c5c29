// Running one job for the command-line tool and turning its outcome into an exit status.
#pragma once

#include "cli/cli_options.h"

namespace trelvane {

/// The tool's exit statuses.
inline constexpr int exitSuccess = 0;
inline constexpr int exitJobFailure = 1;
inline constexpr int exitUsageError = 2;
inline constexpr int exitInterrupted = 130;

/// Runs the job that options describe and waits for its end; notices go to stderr, progress
/// to stderr when showProgress, the completion text to stdout. Returns exitSuccess, or
/// exitJobFailure when the engine reported a failure or the job could not reach its end, or
/// exitInterrupted when an interrupt (Ctrl-C, SIGTERM, the console window closing) stopped it.
int RunJob(const CliOptions& options, bool showProgress);

} // namespace trelvane
