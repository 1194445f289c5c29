// Sorting the byte keys of AddressSet: each entry carries a 12-byte window of its key, so most
// steps touch no key; runs of equal windows are sorted again by the windows that follow. Equal
// keys end up next to each other with equal windows, so dropping repeats compares few keys.
#pragma once

#include "engine/window_sort.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <system_error>
#include <thread>

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

/// Writes the granules of entries sorted by key to out, each key once: of equal keys, which the
/// sort puts next to each other with equal windows, the first. Only neighbours with equal windows
/// are compared whole. Returns how many granules were written.
template <typename KeyOf>
std::size_t WriteDistinct(const SortEntry* begin, const SortEntry* end, const KeyOf& keyOf,
                          std::uint32_t* out)
{
    std::uint32_t* next = out;
    for (const SortEntry* entry = begin; entry != end; ++entry) {
        if (entry != begin && SameWindow(entry[-1], *entry) &&
            keyOf(entry[-1].granule) == keyOf(entry->granule))
            continue;
        *next++ = entry->granule;
    }
    return static_cast<std::size_t>(next - out);
}

/// Sorts the entries (windows at depth 0) by key and writes their granules to out in that order,
/// each key once (see WriteDistinct); returns how many were written.
template <typename KeyOf>
std::size_t SortDistinct(SortEntry* begin, SortEntry* end, const KeyOf& keyOf, std::uint32_t* out)
{
    if (end - begin > 1)
        SortByKey(begin, end, keyOf, 0);
    return WriteDistinct(begin, end, keyOf, out);
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

} // namespace trelvane::addresskey
