// Sorting the byte keys of AddressSet: each entry carries a 12-byte window of its key, so most
// steps touch no key; runs of equal windows are sorted again by the windows that follow. Many
// keys are sorted by two threads: one radix pass splits them into buckets, which the threads
// share out.
#pragma once

#include "engine/window_sort.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace trelvane::addresskey {

/// Bytes that must be readable after the end of every key, so a window loads in two reads.
inline constexpr std::size_t windowPadding = windowBytes;
/// Below this many keys a second sorting thread costs more than it saves.
inline constexpr std::size_t parallelSortKeys = std::size_t{1} << 16;
/// Past this depth, runs of keys sharing a prefix are sorted by comparing whole keys.
inline constexpr std::size_t deepestWindow = 192;
/// Parts of more entries than this get a radix pass first; smaller ones (a few MiB at most) are
/// sorted by comparisons.
inline constexpr std::size_t radixSortEntries = std::size_t{1} << 18;
/// Bits of the digit of the radix pass that splits the work between two threads.
inline constexpr std::size_t sharedDigitBits = 16;
/// Runs of equal windows whose deeper windows are read in one go, so that the reads overlap.
inline constexpr std::size_t runBatch = 64;

inline std::uint64_t LoadBigEndian(const char* bytes, std::size_t count)
{
    std::uint64_t word = 0;
    std::memcpy(&word, bytes, count);
    if constexpr (std::endian::native == std::endian::little)
        word = __builtin_bswap64(word);
    return word;
}

/// A mask keeping the first bytes (at most 8) of a big-endian word.
inline std::uint64_t LeadingBytesMask(std::size_t bytes)
{
    return bytes >= 8 ? ~std::uint64_t{0} : ~(~std::uint64_t{0} >> (8 * bytes));
}

/// The entry of key with its window taken from byte depth on.
inline SortEntry MakeSortEntry(std::uint32_t granule, std::string_view key, std::size_t depth)
{
    if (depth >= key.size())
        return {0, 0, granule};
    // Both loads stay in the key's buffer thanks to windowPadding; bytes past the key are masked.
    const char* start = key.data() + depth;
    const std::size_t size = key.size() - depth;
    const std::uint64_t head = LoadBigEndian(start, 8) & LeadingBytesMask(size);
    const std::uint64_t tail =
        LoadBigEndian(start + 8, 4) & LeadingBytesMask(size > 8 ? size - 8 : 0);
    return {head, static_cast<std::uint32_t>(tail >> 32), granule};
}

template <typename KeyOf>
void SortByKey(SortEntry* begin, SortEntry* end, const KeyOf& keyOf, std::size_t depth);

/// A run of keys that agree before some depth, with their windows from there on loaded.
struct DeeperRun
{
    SortEntry* begin;
    SortEntry* rest; ///< where the keys that go on past the depth begin
    SortEntry* end;
};

/// Loads the windows at depth of a run of keys that agree before it. A key that ends by depth is
/// a prefix of every other key of the run followed by zero bytes: such keys go to the front,
/// with their lengths in place of their windows.
template <typename KeyOf>
DeeperRun LoadDeeperWindows(SortEntry* begin, SortEntry* end, const KeyOf& keyOf, std::size_t depth)
{
    SortEntry* rest = begin;
    for (SortEntry* entry = begin; entry != end; ++entry) {
        const std::string_view key = keyOf(entry->granule);
        if (key.size() > depth) {
            *entry = MakeSortEntry(entry->granule, key, depth);
            continue;
        }
        *entry = {0, static_cast<std::uint32_t>(key.size()), entry->granule};
        std::swap(*entry, *rest++);
    }
    return {begin, rest, end};
}

/// Sorts a run with its windows loaded at depth: the keys that end first, by length.
template <typename KeyOf>
void SortDeeperRun(const DeeperRun& run, const KeyOf& keyOf, std::size_t depth)
{
    std::sort(run.begin, run.rest,
              [](const SortEntry& a, const SortEntry& b) { return a.tail < b.tail; });
    if (run.end - run.rest > 1)
        SortByKey(run.rest, run.end, keyOf, depth);
}

inline SortEntry* EndOfEqualWindows(SortEntry* begin, SortEntry* end)
{
    return std::find_if(begin + 1, end,
                        [begin](const SortEntry& e) { return !SameWindow(*begin, e); });
}

/// Asks for the cache lines of the windows at depth of a run's keys.
template <typename KeyOf>
void PrefetchWindows(const SortEntry* begin, const SortEntry* end, const KeyOf& keyOf,
                     std::size_t depth)
{
    for (const SortEntry* entry = begin; entry != end; ++entry) {
        const char* window = keyOf(entry->granule).data() + depth;
        __builtin_prefetch(window);
        __builtin_prefetch(window + windowBytes - 1);
    }
}

/// Sorts every run of equal windows (at depth) among entries sorted by window by the rest of
/// their keys. The deeper windows of a batch of runs are asked for, then loaded, before any of
/// the runs is sorted, so that their cache misses overlap.
template <typename KeyOf>
void SortEqualWindows(SortEntry* begin, SortEntry* end, const KeyOf& keyOf, std::size_t depth)
{
    const std::size_t deeper = depth + windowBytes;
    const auto byWholeKeys = [&keyOf](const SortEntry& a, const SortEntry& b) {
        return keyOf(a.granule) < keyOf(b.granule);
    };
    std::array<DeeperRun, runBatch> batch;
    SortEntry* run = begin;
    while (run != end) {
        std::size_t batched = 0;
        while (run != end && batched != batch.size()) {
            SortEntry* runEnd = EndOfEqualWindows(run, end);
            if (runEnd - run > 1 && deeper > deepestWindow) {
                std::sort(run, runEnd, byWholeKeys);
            } else if (runEnd - run > 1) {
                PrefetchWindows(run, runEnd, keyOf, deeper);
                batch[batched++] = {run, run, runEnd};
            }
            run = runEnd;
        }
        for (std::size_t at = 0; at < batched; ++at)
            batch[at] = LoadDeeperWindows(batch[at].begin, batch[at].end, keyOf, deeper);
        for (std::size_t at = 0; at < batched; ++at)
            SortDeeperRun(batch[at], keyOf, deeper);
    }
}

/// Counts entries by digit into counts[digit], which start zeroed.
template <typename Digit>
void CountDigits(const SortEntry* begin, const SortEntry* end, const Digit& digit,
                 std::size_t* counts)
{
    for (const SortEntry* entry = begin; entry != end; ++entry)
        ++counts[digit(*entry)];
}

/// Turns counts of the buckets, from starts[1] on, into the places where the buckets start.
template <typename Range> void CountsToStarts(Range& starts)
{
    for (std::size_t bucket = 1; bucket < starts.size(); ++bucket)
        starts[bucket] += starts[bucket - 1];
}

/// One radix pass on the byte of the windows from bit `from` on; returns where each bucket
/// starts and, last, where the entries end.
inline std::array<std::size_t, 257> SplitByByte(SortEntry* begin, SortEntry* end, std::size_t from)
{
    const WindowDigit digit(from, 8);
    std::array<std::size_t, 257> starts{};
    CountDigits(begin, end, digit, starts.data() + 1);
    CountsToStarts(starts);
    std::array<std::size_t, 256> next;
    std::copy_n(starts.begin(), next.size(), next.begin());
    PlaceInBuckets(begin, starts.data(), next.data(), 0, next.size(), digit);
    return starts;
}

/// Sorts entries that hold their windows at depth (their keys agree before it) by key.
template <typename KeyOf>
void SortByKey(SortEntry* begin, SortEntry* end, const KeyOf& keyOf, std::size_t depth)
{
    if (static_cast<std::size_t>(end - begin) <= radixSortEntries) {
        QuickSortWindows(begin, end);
        SortEqualWindows(begin, end, keyOf, depth);
        return;
    }
    const std::size_t from = DifferenceFrom(*begin, begin, end).FirstBit();
    if (from == windowBits) {
        SortEqualWindows(begin, end, keyOf, depth);
        return;
    }
    const std::array<std::size_t, 257> starts = SplitByByte(begin, end, from);
    for (std::size_t bucket = 0; bucket + 1 < starts.size(); ++bucket) {
        if (starts[bucket + 1] - starts[bucket] > 1)
            SortByKey(begin + starts[bucket], begin + starts[bucket + 1], keyOf, depth);
    }
}

/// Writes the granules of the entries, in order, over the front of the entries' own memory and
/// returns them there, so that the order takes no memory of its own. Entry i is read before
/// granule i is written, which lands within entry i / 4.
inline std::uint32_t* GranulesInPlace(SortEntry* begin, SortEntry* end)
{
    auto* out = reinterpret_cast<unsigned char*>(begin);
    for (const SortEntry* entry = begin; entry != end; ++entry, out += sizeof(std::uint32_t)) {
        const std::uint32_t granule = entry->granule;
        std::memcpy(out, &granule, sizeof granule);
    }
    return reinterpret_cast<std::uint32_t*>(begin);
}

/// Runs first on a second thread and second on this one; both here if no thread can be had.
template <typename First, typename Second>
void RunOnTwoThreads(const First& first, const Second& second)
{
    std::thread helper;
    try {
        helper = std::thread(first);
    } catch (const std::system_error&) {
        first();
    }
    second();
    if (helper.joinable())
        helper.join();
}

/// Moves the entries for which isFront holds to the front, each thread taking one half, and
/// returns the end of that part.
template <typename IsFront>
SortEntry* PartitionOnTwoThreads(SortEntry* begin, SortEntry* end, const IsFront& firstIsFront,
                                 const IsFront& secondIsFront)
{
    SortEntry* half = begin + (end - begin) / 2;
    SortEntry* firstEnd = begin;
    SortEntry* secondEnd = half;
    RunOnTwoThreads([&] { firstEnd = PartitionEntries(begin, half, firstIsFront); },
                    [&] { secondEnd = PartitionEntries(half, end, secondIsFront); });
    // Front, back, front, back: the inner back part trades places with as many entries at the
    // end of the inner front part, or the inner front part with the start of the back part.
    const auto backs = half - firstEnd;
    const auto fronts = secondEnd - half;
    SortEntry* other = backs <= fronts ? secondEnd - backs : half;
    const auto moves = std::min(backs, fronts);
    const auto split = moves / 2;
    RunOnTwoThreads([&] { std::swap_ranges(firstEnd, firstEnd + split, other); },
                    [&] { std::swap_ranges(firstEnd + split, firstEnd + moves, other + split); });
    return firstEnd + fronts;
}

/// Entries that a sample for the digit of the shared radix pass takes.
inline constexpr std::size_t sampleEntries = 4096;

/// Many entries split into buckets by one digit for two threads. A sample of the entries picks
/// the digit and cuts the digits in two ranges with about as many entries each; the entries of
/// each range are moved to their own part and counted by digit, on two threads. Then each
/// thread places the entries of one part in their buckets and sorts its buckets, and then helps
/// with the other part's buckets.
template <typename KeyOf> class SharedBuckets
{
public:
    SharedBuckets(SortEntry* begin, SortEntry* end, const KeyOf& keyOf)
        : begin_(begin), end_(end), keyOf_(keyOf), reference_(*begin),
          starts_((std::size_t{1} << sharedDigitBits) + 1), next_(starts_.size() - 1)
    {
    }

    /// Splits the entries by the digit from the first bit in which the sample differs; when
    /// some entry differs earlier, splits them again by the digit from there. Returns false,
    /// without splitting, when all windows are equal.
    bool Split()
    {
        std::size_t from = SampleDifference().FirstBit();
        if (from == windowBits)
            from = Difference().FirstBit();
        if (from == windowBits)
            return false;
        const std::size_t differs = SplitAndCount(from);
        if (differs != from)
            SplitAndCount(differs);
        return true;
    }

    void Sort()
    {
        RunOnTwoThreads([this] { Work(parts_[0], parts_[1]); },
                        [this] { Work(parts_[1], parts_[0]); });
    }

private:
    struct Part
    {
        std::atomic<std::size_t> nextBucket;
        std::size_t endBucket;
        std::atomic<bool> placed{false};
    };

    /// Calls visit for sampleEntries entries or so, spread over all of them.
    template <typename Visit> void ForEachSample(const Visit& visit) const
    {
        const auto count = static_cast<std::size_t>(end_ - begin_);
        const std::size_t step = std::max<std::size_t>(count / sampleEntries, 1);
        for (std::size_t at = 0; at < count; at += step)
            visit(begin_[at]);
    }

    WindowDifference SampleDifference() const
    {
        WindowDifference difference;
        ForEachSample([&](const SortEntry& e) {
            difference.head |= e.head ^ reference_.head;
            difference.tail |= e.tail ^ reference_.tail;
        });
        return difference;
    }

    WindowDifference Difference() const
    {
        SortEntry* half = begin_ + (end_ - begin_) / 2;
        WindowDifference first;
        WindowDifference second;
        RunOnTwoThreads([&] { first = DifferenceFrom(reference_, begin_, half); },
                        [&] { second = DifferenceFrom(reference_, half, end_); });
        return {first.head | second.head, first.tail | second.tail};
    }

    /// The digit that splits the sample in two halves.
    std::size_t SampleBound() const
    {
        std::vector<std::size_t> digits;
        ForEachSample([&](const SortEntry& e) { digits.push_back(digit_(e)); });
        const auto middle = digits.begin() + static_cast<std::ptrdiff_t>(digits.size() / 2);
        std::nth_element(digits.begin(), middle, digits.end());
        return *middle;
    }

    /// Moves the entries whose digits (from bit `from` on) are below the sample's middle one to
    /// the front and counts the entries of each digit; returns the first bit in which the
    /// entries differ.
    std::size_t SplitAndCount(std::size_t from)
    {
        digit_ = WindowDigit(from, sharedDigitBits);
        const std::size_t bound = SampleBound();
        std::fill(starts_.begin(), starts_.end(), 0);
        std::fill(next_.begin(), next_.end(), 0);
        // Each thread counts one half, into starts_ (from the second place on) and into next_.
        WindowDifference first;
        WindowDifference second;
        PartitionOnTwoThreads(begin_, end_, CountingFront(bound, starts_.data() + 1, first),
                              CountingFront(bound, next_.data(), second));
        for (std::size_t bucket = 0; bucket < next_.size(); ++bucket)
            starts_[bucket + 1] += next_[bucket];
        CountsToStarts(starts_);
        std::copy_n(starts_.begin(), next_.size(), next_.begin());
        parts_[0].nextBucket = 0;
        parts_[0].endBucket = bound;
        parts_[1].nextBucket = bound;
        parts_[1].endBucket = next_.size();
        return WindowDifference{first.head | second.head, first.tail | second.tail}.FirstBit();
    }

    /// Whether an entry's digit is below bound, counting the entries of each digit and
    /// collecting where their windows differ from the first entry's on the way.
    auto CountingFront(std::size_t bound, std::size_t* counts, WindowDifference& difference) const
    {
        return [this, bound, counts, &difference](const SortEntry& e) {
            const std::size_t digit = digit_(e);
            ++counts[digit];
            difference.head |= e.head ^ reference_.head;
            difference.tail |= e.tail ^ reference_.tail;
            return digit < bound;
        };
    }

    void Work(Part& own, Part& other)
    {
        PlaceInBuckets(begin_, starts_.data(), next_.data(), own.nextBucket, own.endBucket, digit_);
        own.placed.store(true, std::memory_order_release);
        SortBuckets(own);
        // The other part is shared once its entries are in their buckets.
        if (other.placed.load(std::memory_order_acquire))
            SortBuckets(other);
    }

    void SortBuckets(Part& part)
    {
        for (std::size_t bucket; (bucket = part.nextBucket++) < part.endBucket;) {
            SortEntry* from = begin_ + starts_[bucket];
            SortEntry* to = begin_ + starts_[bucket + 1];
            if (to - from > 1)
                SortByKey(from, to, keyOf_, 0);
        }
    }

    SortEntry* begin_;
    SortEntry* end_;
    const KeyOf& keyOf_;
    SortEntry reference_;
    WindowDigit digit_{0, sharedDigitBits};
    std::vector<std::size_t> starts_;
    std::vector<std::size_t> next_;
    std::array<Part, 2> parts_;
};

/// Sorts the entries (windows at depth 0) by key, on two threads when there are many, and returns
/// their granules in that order, written over the entries (see GranulesInPlace).
template <typename KeyOf>
std::uint32_t* SortKeys(SortEntry* begin, SortEntry* end, const KeyOf& keyOf)
{
    if (static_cast<std::size_t>(end - begin) >= parallelSortKeys) {
        SharedBuckets<KeyOf> buckets(begin, end, keyOf);
        if (buckets.Split()) {
            buckets.Sort();
            return GranulesInPlace(begin, end);
        }
    }
    SortByKey(begin, end, keyOf, 0);
    return GranulesInPlace(begin, end);
}

} // namespace trelvane::addresskey
