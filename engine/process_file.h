// Taking one input file's lines through the job's rules into its sorted set.
#pragma once

#include "engine/address_job.h"
#include "engine/exclusion_list.h"
#include "engine/hashed_exclusions.h"
#include "engine/line_reader.h"
#include "engine/stop_flag.h"

#include <string>

namespace trelvane {

/// How processing one file ended.
struct FileOutcome
{
    ReadOutcome read;
    /// A line number or job.filteredCount went beyond maxReportedCount and was reported, or
    /// kept, as maxReportedCount.
    bool countSaturated = false;
};

/// Runs every line of the file at path, read in the system code page, through the
/// delete-suffix rule (when deleteSuffixes), the exclusion rule (when useExclusionFile and
/// exclusions is given; reloaded by the caller), the hashed list (when given), then into
/// target. Counts the input findings of every line in job.diagnostics, and tells
/// job.removalSink, when set, the fate of every line. Adds 1 to
/// job.filteredCount for every dropped or over-long line, and, with a removal sink, for every
/// duplicate; without one, lines are appended to target unchecked (AddressSet::AppendKey), and
/// its Settle counts the duplicates. Reports every line that reaches target, new or duplicate,
/// with OnLineProcessed; totalLines 0 means unknown.
/// Counts in 64 bits; filteredCount stops at maxReportedCount. Returns how reading ended.
FileOutcome ProcessFile(AddressJobRecord& job, AddressSet& target, const std::u16string& path,
                        int totalLines, const JobExclusions* exclusions, const StopFlag* stop,
                        const HashedExclusions* hashed = nullptr);

} // namespace trelvane
