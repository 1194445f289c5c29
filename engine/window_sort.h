// Sorting SortEntry records by their 12-byte windows alone: radix passes in place, and a
// quicksort whose partitions do not branch on comparisons.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace trelvane::addresskey {

/// Bytes of a key that a sort entry carries.
inline constexpr std::size_t windowBytes = 12;
inline constexpr std::size_t windowBits = 8 * windowBytes;
/// Parts up to this many entries are sorted by insertion.
inline constexpr std::size_t insertionSortEntries = 12;

/// One key to sort: windowBytes of it from some depth on, as big-endian numbers that are zero
/// past the key's end, and the key's granule.
struct SortEntry
{
    std::uint64_t head;
    std::uint32_t tail;
    std::uint32_t granule;
};

inline bool WindowLess(const SortEntry& a, const SortEntry& b)
{
    return a.head != b.head ? a.head < b.head : a.tail < b.tail;
}

inline bool SameWindow(const SortEntry& a, const SortEntry& b)
{
    return a.head == b.head && a.tail == b.tail;
}

/// Takes bits (at most 16) of the windows of entries, from bit number `from` of the window on
/// (0 is its first bit); bits past the window's end read as zero.
class WindowDigit
{
public:
    WindowDigit(std::size_t from, std::size_t bits)
        : headShift_(from < 64 ? from : 0), headMask_(from < 64 ? ~std::uint64_t{0} : 0),
          tailLeft_(from > 32 ? from - 32 : 0), tailRight_(from < 32 ? 32 - from : 0),
          drop_(64 - bits)
    {
    }
    std::size_t operator()(const SortEntry& e) const
    {
        const std::uint64_t word = ((e.head << headShift_) & headMask_) |
                                   ((std::uint64_t{e.tail} << tailLeft_) >> tailRight_);
        return static_cast<std::size_t>(word >> drop_);
    }

private:
    std::size_t headShift_;
    std::uint64_t headMask_;
    std::size_t tailLeft_;
    std::size_t tailRight_;
    std::size_t drop_;
};

/// The bits in which the windows of some entries differ, as a window-sized pair of masks.
struct WindowDifference
{
    std::uint64_t head = 0;
    std::uint32_t tail = 0;

    /// The first bit that differs; windowBits when none does.
    std::size_t FirstBit() const
    {
        if (head != 0)
            return static_cast<std::size_t>(std::countl_zero(head));
        if (tail != 0)
            return 64 + static_cast<std::size_t>(std::countl_zero(tail));
        return windowBits;
    }
};

/// Where the windows of the (at least one) entries differ from the first one's.
inline WindowDifference DifferenceFrom(const SortEntry& first, const SortEntry* begin,
                                       const SortEntry* end)
{
    WindowDifference difference;
    for (const SortEntry* entry = begin; entry != end; ++entry) {
        difference.head |= entry->head ^ first.head;
        difference.tail |= entry->tail ^ first.tail;
    }
    return difference;
}

/// American flag sort of the entries whose digits lie in [firstBucket, endBucket): moves every
/// entry to the next free place of its bucket. Bucket b spans base + starts[b] to
/// base + starts[b + 1]; next[b] starts equal to starts[b] and ends equal to starts[b + 1].
/// A sweep moves each entry of the unfilled ends of the buckets home; the entry it changes
/// places with waits for the next sweep. So the moves of a sweep do not wait for each other.
template <typename Digit>
void PlaceInBuckets(SortEntry* base, const std::size_t* starts, std::size_t* next,
                    std::size_t firstBucket, std::size_t endBucket, const Digit& digit)
{
    for (bool unfilled = true; unfilled;) {
        unfilled = false;
        for (std::size_t bucket = firstBucket; bucket < endBucket; ++bucket) {
            const std::size_t stop = starts[bucket + 1];
            for (std::size_t place = next[bucket]; place < stop; ++place) {
                const std::size_t home = next[digit(base[place])]++;
                std::swap(base[place], base[home]);
                // Each bucket fills from its front: fetch its next entries before they are due.
                __builtin_prefetch(base + home + 8, 1);
            }
            unfilled |= next[bucket] != stop;
        }
    }
}

/// Moves the entries for which isFront holds to the front and returns the end of that part;
/// isFront is called once for each entry. No branch depends on isFront, which on random windows
/// would be mispredicted half of the time; a hole moves along instead of swapping, so that an entry
/// is read whole right after it was written whole.
template <typename IsFront>
SortEntry* PartitionEntries(SortEntry* begin, SortEntry* end, const IsFront& isFront)
{
    if (begin == end)
        return begin;
    const SortEntry first = *begin;
    SortEntry* hole = begin;
    SortEntry* boundary = begin;
    for (SortEntry* next = begin + 1; next < end; ++next) {
        const bool front = isFront(*next);
        *hole = *boundary;
        *boundary = *next;
        hole = next;
        boundary += front;
    }
    *hole = *boundary;
    *boundary = first;
    return boundary + isFront(first);
}

/// Partitions entries by their windows against the pivot's: those below it (with orEqual: not
/// above it) go to the front.
template <bool orEqual>
SortEntry* PartitionWindows(SortEntry* begin, SortEntry* end, const SortEntry& pivot)
{
    const std::uint64_t pivotHead = pivot.head;
    const std::uint32_t pivotTail = pivot.tail;
    return PartitionEntries(begin, end, [pivotHead, pivotTail](const SortEntry& e) {
        const bool tailFront = orEqual ? e.tail <= pivotTail : e.tail < pivotTail;
        return (e.head < pivotHead) | ((e.head == pivotHead) & tailFront);
    });
}

inline void InsertionSortWindows(SortEntry* begin, SortEntry* end)
{
    for (SortEntry* next = begin + 1; next < end; ++next) {
        const SortEntry entry = *next;
        SortEntry* at = next;
        for (; at != begin && WindowLess(entry, at[-1]); --at)
            *at = at[-1];
        *at = entry;
    }
}

inline void SortThree(SortEntry& a, SortEntry& b, SortEntry& c)
{
    if (WindowLess(b, a))
        std::swap(a, b);
    if (WindowLess(c, b))
        std::swap(b, c);
    if (WindowLess(b, a))
        std::swap(a, b);
}

/// Moves an estimate of the median window to the front: the median of three entries, or of
/// three such medians for larger parts.
inline void MedianToFront(SortEntry* begin, SortEntry* end)
{
    SortEntry* middle = begin + (end - begin) / 2;
    if (end - begin > 128) {
        SortThree(begin[1], middle[-1], end[-2]);
        SortThree(begin[2], middle[1], end[-3]);
        SortThree(begin[0], middle[0], end[-1]);
        SortThree(middle[-1], middle[0], middle[1]);
    } else {
        SortThree(begin[0], middle[0], end[-1]);
    }
    std::swap(*begin, *middle);
}

/// Quicksort by window. Unless leftmost, the entry before begin is not above any entry of the
/// part; when the pivot equals it, so do all entries not above the pivot, which are then done.
/// Once budget uneven splits have been made, std::sort takes over.
inline void QuickSortWindows(SortEntry* begin, SortEntry* end, bool leftmost, int budget)
{
    while (static_cast<std::size_t>(end - begin) > insertionSortEntries) {
        if (budget-- == 0) {
            std::sort(begin, end, WindowLess);
            return;
        }
        MedianToFront(begin, end);
        const SortEntry pivot = *begin;
        if (!leftmost && !WindowLess(begin[-1], pivot)) {
            begin = PartitionWindows<true>(begin + 1, end, pivot);
            continue;
        }
        SortEntry* middle = PartitionWindows<false>(begin + 1, end, pivot);
        std::swap(*begin, middle[-1]);
        // Recursion on the smaller part keeps the stack shallow.
        if (middle - 1 - begin < end - middle) {
            QuickSortWindows(begin, middle - 1, leftmost, budget);
            begin = middle;
            leftmost = false;
        } else {
            QuickSortWindows(middle, end, false, budget);
            end = middle - 1;
        }
    }
    InsertionSortWindows(begin, end);
}

inline void QuickSortWindows(SortEntry* begin, SortEntry* end)
{
    const auto count = static_cast<std::size_t>(end - begin);
    QuickSortWindows(begin, end, true, 2 * static_cast<int>(std::bit_width(count)));
}

} // namespace trelvane::addresskey
