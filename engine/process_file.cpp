// The per-line rules of processing: suffix filter, exclusion, de-duplication.
#include "engine/process_file.h"

#include "engine/address_line.h"

namespace trelvane {
namespace {

/// Whether a rule of the job drops line before it reaches the set.
bool IsDropped(const AddressJobRecord& job, const JobExclusions* exclusions, const ReadLine& line)
{
    if (line.overLong)
        return true;
    if (job.deleteSuffixes && HasListedSuffix(line.text, job.deleteSuffixList))
        return true;
    return exclusions != nullptr && exclusions->Contains(line.text);
}

} // namespace

FileOutcome ProcessFile(AddressJobRecord& job, AddressSet& target, const std::u16string& path,
                        int totalLines, const JobExclusions* exclusions, const StopFlag* stop)
{
    const JobExclusions* activeExclusions = job.useExclusionFile ? exclusions : nullptr;
    std::int64_t filtered = 0;
    const auto step = [&](const ReadLine& line) {
        // The rest of a block read before a stop request is left alone: no count, no report.
        if (stop != nullptr && stop->IsRequested())
            return;
        if (IsDropped(job, activeExclusions, line)) {
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
