// The per-line rules of processing: suffix filter, exclusion, de-duplication.
#include "engine/process_file.h"

#include "engine/address_line.h"

#include <optional>

namespace trelvane {
namespace {

/// The rule that drops a line before it reaches the set.
struct Drop
{
    bool dropped = false;
    RemovalReason reason = RemovalReason::OverLong;
    std::int64_t hashedEntry = 0; ///< the matching line of the hashed list
};

/// deleteSuffixes is the job's delete list when the rule is on.
Drop DroppingRule(SuffixLookup* deleteSuffixes, const JobExclusions* exclusions,
                  const HashedExclusions* hashed, const ReadLine& line)
{
    if (line.overLong)
        return {true, RemovalReason::OverLong};
    if (deleteSuffixes != nullptr && deleteSuffixes->Holds(line.text))
        return {true, RemovalReason::DeletedSuffix};
    if (exclusions != nullptr && exclusions->Contains(line.text))
        return {true, RemovalReason::Excluded};
    if (hashed != nullptr) {
        if (const std::int64_t entry = hashed->Match(line.text); entry != 0)
            return {true, RemovalReason::Excluded, entry};
    }
    return {};
}

/// Tells sink why line was dropped, with the list entry that matched.
void TellDrop(IRemovalSink& sink, const Drop& drop, const ReadLine& line,
              const JobExclusions* exclusions, const HashedExclusions* hashed)
{
    if (drop.reason != RemovalReason::Excluded) {
        sink.OnLineDropped(drop.reason, line.number, line.text);
    } else if (drop.hashedEntry != 0) {
        sink.OnLineDropped(drop.reason, line.number, line.text, hashed->Path(), drop.hashedEntry);
    } else {
        sink.OnLineDropped(drop.reason, line.number, line.text, exclusions->Path(),
                           exclusions->EntryLine(line.text));
    }
}

} // namespace

FileOutcome ProcessFile(AddressJobRecord& job, AddressSet& target, const std::u16string& path,
                        int totalLines, const JobExclusions* exclusions, const StopFlag* stop,
                        const HashedExclusions* hashed)
{
    const JobExclusions* activeExclusions = job.useExclusionFile ? exclusions : nullptr;
    std::optional<SuffixLookup> deleteSuffixes;
    if (job.deleteSuffixes)
        deleteSuffixes.emplace(job.deleteSuffixList);
    IRemovalSink* const sink = job.removalSink;
    std::int64_t filtered = 0;
    job.diagnostics.BeginFile(path);
    if (sink != nullptr)
        sink->OnFileStarted(path);
    const auto step = [&](const ReadLine& line) {
        // The rest of a block read before a stop request is left alone: no count, no report.
        if (stop != nullptr && stop->IsRequested())
            return;
        job.diagnostics.OnLine(line);
        const Drop drop = DroppingRule(deleteSuffixes ? &*deleteSuffixes : nullptr,
                                       activeExclusions, hashed, line);
        if (drop.dropped) {
            ++filtered;
            if (sink != nullptr)
                TellDrop(*sink, drop, line, activeExclusions, hashed);
            return;
        }
        if (!target.Insert(line.text)) {
            ++filtered;
            if (sink != nullptr)
                sink->OnLineDropped(line.text.empty() ? RemovalReason::Empty
                                                      : RemovalReason::Duplicate,
                                    line.number, line.text);
        } else if (sink != nullptr) {
            sink->OnLineKept(line.number, line.text);
        }
        if (job.report != nullptr)
            job.report->OnLineProcessed(path, totalLines, ReportedCount(line.number));
    };
    FileOutcome outcome;
    outcome.read = ReadAddressLines(path, SystemCodePage(), step, stop);
    job.diagnostics.EndFile();
    const std::int64_t jobFiltered = job.filteredCount + filtered;
    job.filteredCount = ReportedCount(jobFiltered);
    outcome.countSaturated =
        jobFiltered > maxReportedCount || outcome.read.lines > maxReportedCount;
    return outcome;
}

} // namespace trelvane
