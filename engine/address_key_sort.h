// Sorting the byte keys of AddressSet: each entry carries a 12-byte window of its key, so most
// comparisons touch no key; runs of equal windows are sorted again by the windows that follow.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace trelvane::addresskey {

/// Bytes of a key that a sort entry carries.
inline constexpr std::size_t windowBytes = 12;
/// Bytes that must be readable after the end of every key, so a window loads in two reads.
inline constexpr std::size_t windowPadding = windowBytes;
/// Below this many keys a second sorting thread costs more than it saves.
inline constexpr std::size_t parallelSortKeys = std::size_t{1} << 16;
/// Past this depth, runs of keys sharing a prefix are sorted by comparing whole keys.
inline constexpr std::size_t deepestWindow = 192;

/// One key to sort: windowBytes of it from some depth on, as big-endian numbers that are zero
/// past the key's end, and the key's granule.
struct SortEntry
{
    std::uint64_t head;
    std::uint32_t tail;
    std::uint32_t granule;
};

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

inline bool WindowLess(const SortEntry& a, const SortEntry& b)
{
    return a.head != b.head ? a.head < b.head : a.tail < b.tail;
}

inline bool SameWindow(const SortEntry& a, const SortEntry& b)
{
    return a.head == b.head && a.tail == b.tail;
}

template <typename KeyOf>
void SortByKey(SortEntry* begin, SortEntry* end, const KeyOf& keyOf, std::size_t depth);

/// Orders entries whose keys agree on their first depth bytes (zero-padded), by the rest of them.
template <typename KeyOf>
void SortRun(SortEntry* begin, SortEntry* end, const KeyOf& keyOf, std::size_t depth)
{
    if (depth > deepestWindow) {
        std::sort(begin, end, [&keyOf](const SortEntry& a, const SortEntry& b) {
            return keyOf(a.granule) < keyOf(b.granule);
        });
        return;
    }
    for (SortEntry* entry = begin; entry != end; ++entry)
        *entry = MakeSortEntry(entry->granule, keyOf(entry->granule), depth);
    SortByKey(begin, end, keyOf, depth);
}

/// Sorts entries that hold their windows at depth (their keys agree before it) by key.
template <typename KeyOf>
void SortByKey(SortEntry* begin, SortEntry* end, const KeyOf& keyOf, std::size_t depth)
{
    std::sort(begin, end, [](const SortEntry& a, const SortEntry& b) { return WindowLess(a, b); });
    for (SortEntry* run = begin; run != end;) {
        SortEntry* runEnd =
            std::find_if(run + 1, end, [run](const SortEntry& e) { return !SameWindow(*run, e); });
        if (runEnd - run > 1)
            SortRun(run, runEnd, keyOf, depth + windowBytes);
        run = runEnd;
    }
}

/// Moves the entries whose first two key bytes are below a bound to the front, choosing the
/// bound that splits entries most evenly; returns the end of the front part.
inline SortEntry* SplitByLeadingBytes(SortEntry* begin, SortEntry* end)
{
    std::vector<std::size_t> counts(std::size_t{1} << 16);
    for (const SortEntry* entry = begin; entry != end; ++entry)
        ++counts[entry->head >> 48];
    const auto half = static_cast<std::size_t>(end - begin) / 2;
    std::size_t bound = 0;
    for (std::size_t below = 0; bound < counts.size() && below + counts[bound] / 2 < half; ++bound)
        below += counts[bound];
    return std::partition(begin, end,
                          [bound](const SortEntry& e) { return (e.head >> 48) < bound; });
}

/// Sorts the entries (windows at depth 0) by key, on two threads when there are many, and writes
/// their granules in that order to out.
template <typename KeyOf>
void SortKeys(SortEntry* begin, SortEntry* end, std::uint32_t* out, const KeyOf& keyOf)
{
    const auto sortPart = [&keyOf, begin, out](SortEntry* from, SortEntry* to) {
        SortByKey(from, to, keyOf, 0);
        std::transform(from, to, out + (from - begin),
                       [](const SortEntry& e) { return e.granule; });
    };
    if (static_cast<std::size_t>(end - begin) < parallelSortKeys) {
        sortPart(begin, end);
        return;
    }
    SortEntry* middle = SplitByLeadingBytes(begin, end);
    std::thread helper;
    try {
        helper = std::thread(sortPart, begin, middle);
    } catch (const std::system_error&) {
        sortPart(begin, middle); // no second thread to be had
    }
    sortPart(middle, end);
    if (helper.joinable())
        helper.join();
}

} // namespace trelvane::addresskey
