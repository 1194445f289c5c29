// The per-line rules of processing: suffix filter, exclusion, de-duplication.
#include "engine/process_file.h"

#include "engine/address_line.h"

#include <array>
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
void TellDrop(IRemovalSink& sink, const Drop& drop, std::int64_t number, std::u16string_view text,
              const JobExclusions* exclusions, const HashedExclusions* hashed)
{
    if (drop.reason != RemovalReason::Excluded) {
        sink.OnLineDropped(drop.reason, number, text);
    } else if (drop.hashedEntry != 0) {
        sink.OnLineDropped(drop.reason, number, text, hashed->Path(), drop.hashedEntry);
    } else {
        sink.OnLineDropped(drop.reason, number, text, exclusions->Path(),
                           exclusions->EntryLine(text));
    }
}

/// A line on its way into the set, with the rule that drops it, if any.
struct PendingLine
{
    std::int64_t number = 0;
    std::u16string text;
    Drop drop;
    std::uint32_t hash = 0;
};

/// Holds the lines bound for the set a few steps, so that the set's memory for each is asked
/// for ahead: the index entry when it comes in, the stored line it names halfway through.
class LookAhead
{
public:
    explicit LookAhead(const AddressSet& set) : set_(set) {}

    /// Queues line with its drop; hands the oldest line to handle once the queue is full.
    template <typename Handle> void Push(const ReadLine& line, const Drop& drop, Handle&& handle)
    {
        if (size_ == depth) {
            handle(lines_[head_]);
            head_ = (head_ + 1) % depth;
            --size_;
        }
        PendingLine& pending = lines_[(head_ + size_) % depth];
        ++size_;
        pending.number = line.number;
        pending.text.assign(line.text);
        pending.drop = drop;
        if (!drop.dropped) {
            pending.hash = AddressSet::HashOf(line.text);
            set_.Prefetch(pending.hash);
        }
        if (size_ > matchLag) {
            const PendingLine& half = lines_[(head_ + size_ - 1 - matchLag) % depth];
            if (!half.drop.dropped)
                set_.PrefetchMatch(half.hash);
        }
    }

    /// Hands every queued line to handle, oldest first.
    template <typename Handle> void Drain(Handle&& handle)
    {
        for (; size_ != 0; --size_, head_ = (head_ + 1) % depth)
            handle(lines_[head_]);
    }

private:
    static constexpr std::size_t depth = 16;
    static constexpr std::size_t matchLag = 8;

    const AddressSet& set_;
    std::array<PendingLine, depth> lines_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
};

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
    // The rest of a block read before a stop request is left alone: no count, no report.
    const auto stopped = [stop] { return stop != nullptr && stop->IsRequested(); };
    const auto settle = [&](PendingLine& line) {
        if (stopped())
            return;
        if (line.drop.dropped) {
            ++filtered;
            if (sink != nullptr)
                TellDrop(*sink, line.drop, line.number, line.text, activeExclusions, hashed);
            return;
        }
        if (sink == nullptr) {
            if (!target.Insert(line.text, line.hash))
                ++filtered;
        } else {
            const std::uint64_t place = sink->PlaceOf(line.number);
            std::uint64_t first = 0;
            if (!target.Insert(line.text, line.hash, place, first)) {
                ++filtered;
                sink->OnRepeat(place, first, line.text);
            }
        }
        if (job.report != nullptr)
            job.report->OnLineProcessed(path, totalLines, ReportedCount(line.number));
    };
    LookAhead ahead(target);
    const auto step = [&](const ReadLine& line) {
        if (stopped())
            return;
        job.diagnostics.OnLine(line);
        ahead.Push(line,
                   DroppingRule(deleteSuffixes ? &*deleteSuffixes : nullptr, activeExclusions,
                                hashed, line),
                   settle);
    };
    FileOutcome outcome;
    outcome.read = ReadAddressLines(path, SystemCodePage(), step, stop);
    ahead.Drain(settle);
    job.diagnostics.EndFile();
    const std::int64_t jobFiltered = job.filteredCount + filtered;
    job.filteredCount = ReportedCount(jobFiltered);
    outcome.countSaturated =
        jobFiltered > maxReportedCount || outcome.read.lines > maxReportedCount;
    return outcome;
}

} // namespace trelvane
