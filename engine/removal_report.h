// The removal report: one line per input line that did not reach the output, and why.
#pragma once

#include "engine/address_job.h"
#include "engine/input_diagnostics.h"
#include "engine/os/file.h"
#include "engine/removal_sink.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace trelvane {

/// Writes the removal report of one job to a file, in the system code page with CR LF ends.
///
/// Each line is reason, input path, line number, two detail fields and the line itself,
/// separated by tabs; the line comes last, so a tab inside it stays in the last field. Details:
/// duplicate and the writer's reasons give the path and line number of the first stored
/// occurrence, deleted-suffix the suffix, excluded the list's path and the entry's line number.
/// The lines are gathered in a temporary file beside the report; Commit puts the diagnostics
/// at the top and a summary of the counts at the end, and renames the whole over the report.
class RemovalReport final : public IRemovalSink
{
public:
    explicit RemovalReport(std::u16string path);
    /// Removes the temporary files unless Commit succeeded.
    ~RemovalReport();
    RemovalReport(const RemovalReport&) = delete;
    RemovalReport& operator=(const RemovalReport&) = delete;

    /// Creates the temporary file; false, told in Failure(), when it cannot be made.
    bool Open();

    void OnFileStarted(const std::u16string& path) override;
    std::uint64_t PlaceOf(std::int64_t lineNumber) const override;
    void OnRepeat(std::uint64_t repeat, std::uint64_t first, std::u16string_view line) override;
    void OnLineDropped(RemovalReason reason, std::int64_t lineNumber, std::u16string_view line,
                       std::u16string_view listPath, std::int64_t entryLine) override;
    void OnLineSkipped(RemovalReason reason, std::u16string_view line,
                       std::uint64_t place) override;

    /// Adds the groups of addresses of job's chosen set that the writer wrote and that differ
    /// only in letter case (A-Z) to diagnostics: those that differ only in their domain, those
    /// that differ in their local part.
    void NoteCaseVariants(const AddressJobRecord& job, InputDiagnostics& diagnostics) const;

    /// Writes comments (each as "# " + text) at the top and the summary at the end, with
    /// filteredCount and the writer's skipped lines, and puts the report in place; false, told
    /// in Failure(), when that fails (nothing of the report is then left).
    bool Commit(const std::vector<std::u16string>& comments, std::int64_t filteredCount);
    /// Removes the temporary files.
    void Discard();

    std::int64_t Count(RemovalReason reason) const
    {
        return counts_[static_cast<std::size_t>(reason)];
    }
    const std::u16string& Failure() const { return failure_; }

private:
    // A place is the file's index in paths_ above the line number's bits.
    static constexpr unsigned lineNumberBits = 40;
    static constexpr std::uint64_t lineNumberMask = (std::uint64_t{1} << lineNumberBits) - 1;
    const std::u16string& PathAt(std::uint64_t place) const;
    std::string_view PathBytesAt(std::uint64_t place) const;
    /// text in the system code page, in a buffer that the next call reuses.
    std::string_view Encoded(std::u16string_view text);
    void WriteLine(RemovalReason reason, std::string_view pathBytes, std::int64_t lineNumber,
                   std::string_view detail, std::int64_t detailNumber, std::u16string_view line);
    bool Flush();
    bool Fail(std::u16string_view message, const std::u16string& path, int errorNumber);
    std::string SummaryLine(std::int64_t filteredCount) const;

    std::u16string path_;
    os::OutputFile body_;
    std::u16string bodyPath_;
    std::string buffer_;
    std::vector<std::u16string> paths_;
    std::vector<std::string> pathBytes_; ///< paths_ in the system code page
    std::string detail_;
    std::array<std::int64_t, removalReasonCount> counts_{};
    std::int64_t skippedByWriter_ = 0;
    std::u16string failure_;
};

} // namespace trelvane
