// The optional receiver of every line that a job leaves out of its output, and why.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace trelvane {

/// Why a line did not reach the output.
enum class RemovalReason
{
    Duplicate,     ///< equal to a line already stored
    DeletedSuffix, ///< its domain suffix is on the delete list
    Excluded,      ///< it stands in the exclusion file or its digest in the hashed list
    OverLong,      ///< longer than the reader keeps
    Empty,         ///< an empty line
    NotKeptSuffix, ///< the writer skipped it: its suffix is not on the keep list
};

inline constexpr int removalReasonCount = 6;

/// Receives the fate of input lines while a job runs; set in the job record only when a
/// report is asked for. Called on the processing thread, then on the output thread, never
/// from both at once. Views are valid only during the call.
class IRemovalSink
{
public:
    /// The lines that follow come from path (an element of the job's inputPaths).
    virtual void OnFileStarted(const std::u16string& path) = 0;
    /// The place of line lineNumber of the current file: a number that the job's set keeps with
    /// each line it stores, and that comes back with the calls below.
    virtual std::uint64_t PlaceOf(std::int64_t lineNumber) const = 0;
    /// The line at place repeat equals the stored line at place first. Usually told as the repeat
    /// is read; a repeat of a line that went to an earlier run on disk only when the runs are
    /// merged, after the last file.
    virtual void OnRepeat(std::uint64_t repeat, std::uint64_t first, std::u16string_view line) = 0;
    /// Line lineNumber of the current file was dropped by a rule (not as a repeat); for
    /// Excluded, listPath and entryLine name the matching entry (entryLine 0 when unknown).
    virtual void OnLineDropped(RemovalReason reason, std::int64_t lineNumber,
                               std::u16string_view line, std::u16string_view listPath = {},
                               std::int64_t entryLine = 0) = 0;
    /// The writer skipped the stored line at place (Empty or NotKeptSuffix).
    virtual void OnLineSkipped(RemovalReason reason, std::u16string_view line,
                               std::uint64_t place) = 0;

protected:
    ~IRemovalSink() = default;
};

} // namespace trelvane
