// A one-line progress display on stderr, redrawn in place.
#pragma once

#include "cli/cli_report.h"

#include <mutex>
#include <string>
#include <string_view>

namespace trelvane {

/// The progress line for snapshot, at most columns wide: the phase or the file being processed
/// (a long path loses its start), a bar and a percentage. Empty before the first report.
std::u16string ProgressText(const ProgressSnapshot& snapshot, int columns);

/// Draws the progress line on stderr, when enabled, and prints messages above it. May be used
/// from several threads.
class ProgressDisplay
{
public:
    /// A disabled display draws nothing; its messages still go to stderr.
    explicit ProgressDisplay(bool enabled);

    /// Redraws the line for snapshot if it differs from the line shown.
    void Show(const ProgressSnapshot& snapshot);
    /// Removes the progress line from the terminal.
    void Clear();
    /// Writes text and a line end to stderr; the progress line is drawn again after it.
    void PrintMessage(std::u16string_view text);

private:
    void EraseLine();

    const bool enabled_;
    std::mutex mutex_;
    std::u16string shown_;
};

} // namespace trelvane
