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

ReadOutcome ProcessFile(AddressJobRecord& job, AddressSet& target, const std::u16string& path,
                        int totalLines, const JobExclusions* exclusions, const StopFlag* stop)
{
    const JobExclusions* activeExclusions = job.useExclusionFile ? exclusions : nullptr;
    const auto step = [&](const ReadLine& line) {
        // The rest of a block read before a stop request is left alone: no count, no report.
        if (stop != nullptr && stop->IsRequested())
            return;
        if (IsDropped(job, activeExclusions, line)) {
            ++job.filteredCount;
            return;
        }
        if (!target.Insert(line.text))
            ++job.filteredCount;
        if (job.report != nullptr)
            job.report->OnLineProcessed(path, totalLines, line.number);
    };
    return ReadAddressLines(path, SystemCodePage(), step, stop);
}

} // namespace trelvane
