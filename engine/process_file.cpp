// The per-line rules of processing: suffix filter, exclusion, de-duplication.
#include "engine/process_file.h"

#include "engine/address_line.h"

#include <optional>

namespace trelvane {
namespace {

/// Whether a rule of the job drops line before it reaches the set; deleteSuffixes is the job's
/// delete list when the rule is on.
bool IsDropped(SuffixLookup* deleteSuffixes, const JobExclusions* exclusions, const ReadLine& line)
{
    if (line.overLong)
        return true;
    if (deleteSuffixes != nullptr && deleteSuffixes->Holds(line.text))
        return true;
    return exclusions != nullptr && exclusions->Contains(line.text);
}

} // namespace

FileOutcome ProcessFile(AddressJobRecord& job, AddressSet& target, const std::u16string& path,
                        int totalLines, const JobExclusions* exclusions, const StopFlag* stop)
{
    const JobExclusions* activeExclusions = job.useExclusionFile ? exclusions : nullptr;
    std::optional<SuffixLookup> deleteSuffixes;
    if (job.deleteSuffixes)
        deleteSuffixes.emplace(job.deleteSuffixList);
    std::int64_t filtered = 0;
    const auto step = [&](const ReadLine& line) {
        // The rest of a block read before a stop request is left alone: no count, no report.
        if (stop != nullptr && stop->IsRequested())
            return;
        if (IsDropped(deleteSuffixes ? &*deleteSuffixes : nullptr, activeExclusions, line)) {
            ++filtered;
            return;
        }
        if (!target.Insert(line.text))
            ++filtered;
        if (job.report != nullptr)
            job.report->OnLineProcessed(path, totalLines, ReportedCount(line.number));
    };
    FileOutcome outcome;
    outcome.read = ReadAddressLines(path, SystemCodePage(), step, stop);
    const std::int64_t jobFiltered = job.filteredCount + filtered;
    job.filteredCount = ReportedCount(jobFiltered);
    outcome.countSaturated =
        jobFiltered > maxReportedCount || outcome.read.lines > maxReportedCount;
    return outcome;
}

} // namespace trelvane
