// A flat hash table of lines over one byte store.
#include "engine/line_table.h"

#include "engine/address_key.h"
#include "engine/word_scan.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

namespace trelvane {
namespace {

constexpr std::uint64_t multiplier = 0x9E37'79B9'7F4A'7C15u;
constexpr std::size_t smallestTable = 16;

/// One step of the hash over eight bytes.
std::uint64_t HashRound(std::uint64_t hash, std::uint64_t word)
{
    return std::rotl((hash ^ word) * multiplier, 31);
}

/// The upper half of a 64-bit hash of a line's key (its EncodeAddressKey bytes), sixteen bytes
/// at a time in two independent lanes; its low bits choose the first slot, all of it is compared
/// before a line is.
std::uint32_t HashTag(std::string_view key)
{
    const char* bytes = key.data();
    const std::size_t size = key.size();
    std::uint64_t first = size * multiplier;
    std::uint64_t second = ~first;
    std::size_t at = 0;
    for (; at + 16 < size; at += 16) {
        first = HashRound(first, wordscan::Load(bytes + at));
        second = HashRound(second, wordscan::Load(bytes + at + 8));
    }
    // The last 16 bytes at most, as two words that may overlap each other and the bytes before:
    // the length, hashed first, tells apart the keys that this gives the same words.
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    if (size >= 16) {
        low = wordscan::Load(bytes + size - 16);
        high = wordscan::Load(bytes + size - 8);
    } else if (size >= 8) {
        low = wordscan::Load(bytes);
        high = wordscan::Load(bytes + size - 8);
    } else if (size > 0) {
        std::memcpy(&low, bytes, size);
    }
    std::uint64_t hash = HashRound(first, low) ^ std::rotl(HashRound(second, high), 17);
    // The finaliser of MurmurHash3: every input bit reaches every output bit.
    hash ^= hash >> 33;
    hash *= 0xFF51'AFD7'ED55'8CCDu;
    hash ^= hash >> 33;
    hash *= 0xC4CE'B9FE'1A85'EC53u;
    hash ^= hash >> 33;
    return static_cast<std::uint32_t>(hash >> 32);
}

std::uint32_t TagOf(std::uint64_t slot)
{
    return static_cast<std::uint32_t>(slot >> 32);
}

std::size_t NumberOf(std::uint64_t slot)
{
    return static_cast<std::size_t>(slot & 0xFFFF'FFFFu) - 1;
}

/// The bits that a line of this tag sets in its filter word: five of 64, taken from a remix of
/// the whole tag (the word is chosen by its upper bits).
std::uint64_t FilterBits(std::uint32_t tag)
{
    const std::uint64_t mixed = (tag ^ (std::uint64_t{tag} << 32)) * 0xD6E8'FEB8'6659'FD93u;
    std::uint64_t bits = 0;
    for (int shift = 34; shift < 64; shift += 6)
        bits |= std::uint64_t{1} << ((mixed >> shift) & 63);
    return bits;
}

} // namespace

void LineTable::Reserve(std::size_t lines, std::size_t bytes)
{
    // At most half of the slots are taken, which keeps probe runs short.
    const std::size_t wanted = std::bit_ceil(std::max(2 * (Size() + lines), smallestTable));
    if (wanted > slots_.size())
        Resize(wanted);
    ends_.reserve(Size() + lines);
    bytes_.reserve(bytes_.size() + bytes);
}

std::pair<std::size_t, bool> LineTable::Add(std::u16string_view line)
{
    if (Size() >= 0xFFFF'FFFEu)
        throw std::bad_alloc(); // a number + 1 must fit the slot's 32 bits
    if (2 * (Size() + 1) > slots_.size())
        Resize(std::max(2 * slots_.size(), smallestTable));
    // The key is made in place at the end of the store, and taken back if the line is held.
    const std::size_t start = bytes_.size();
    bytes_.resize(start + 3 * line.size());
    bytes_.resize(start + EncodeAddressKey(line, bytes_.data() + start));
    const std::string_view key = std::string_view(bytes_).substr(start);
    const std::uint32_t tag = HashTag(key);
    std::size_t at = tag & slotMask_;
    for (; slots_[at] != 0; at = (at + 1) & slotMask_) {
        if (TagOf(slots_[at]) == tag && Key(NumberOf(slots_[at])) == key) {
            bytes_.resize(start);
            return {NumberOf(slots_[at]), false};
        }
    }
    ends_.push_back(bytes_.size());
    slots_[at] = (std::uint64_t{tag} << 32) | Size();
    FilterWord(tag) |= FilterBits(tag);
    return {Size() - 1, true};
}

std::size_t LineTable::Find(std::u16string_view line) const
{
    if (slots_.empty())
        return none;
    // Most lines are short: their keys are made on the stack.
    constexpr std::size_t stackUnits = 256;
    char onStack[3 * stackUnits];
    std::string onHeap;
    char* key = onStack;
    if (line.size() > stackUnits) {
        onHeap.resize(3 * line.size());
        key = onHeap.data();
    }
    return FindKey(std::string_view(key, EncodeAddressKey(line, key)));
}

std::size_t LineTable::FindKey(std::string_view key) const
{
    if (slots_.empty())
        return none;
    const std::uint32_t tag = HashTag(key);
    const std::uint64_t bits = FilterBits(tag);
    if ((FilterWord(tag) & bits) != bits)
        return none;
    for (std::size_t at = tag & slotMask_; slots_[at] != 0; at = (at + 1) & slotMask_) {
        if (TagOf(slots_[at]) == tag && Key(NumberOf(slots_[at])) == key)
            return NumberOf(slots_[at]);
    }
    return none;
}

void LineTable::Clear()
{
    std::fill(slots_.begin(), slots_.end(), 0);
    std::fill(filter_.begin(), filter_.end(), 0);
    ends_.clear();
    bytes_.clear();
}

std::string_view LineTable::Key(std::size_t number) const
{
    const std::size_t start = number == 0 ? 0 : ends_[number - 1];
    return std::string_view(bytes_).substr(start, ends_[number] - start);
}

// Places every line anew in a table of slotCount slots and a filter of a sixteenth as many words
// (8 to 16 bits a line, which lets 1 to 3 % of the lines not held through), from the tags alone.
void LineTable::Resize(std::size_t slotCount)
{
    std::vector<std::uint64_t> old(slotCount, 0);
    old.swap(slots_);
    slotMask_ = slotCount - 1;
    filter_.assign(slotCount / 16, 0);
    for (const std::uint64_t slot : old) {
        if (slot == 0)
            continue;
        std::size_t at = TagOf(slot) & slotMask_;
        while (slots_[at] != 0)
            at = (at + 1) & slotMask_;
        slots_[at] = slot;
        FilterWord(TagOf(slot)) |= FilterBits(TagOf(slot));
    }
}

// The word of a tag: chosen by its upper bits, the slot by its lower ones.
std::uint64_t& LineTable::FilterWord(std::uint32_t tag)
{
    return filter_[(std::uint64_t{tag} * filter_.size()) >> 32];
}

const std::uint64_t& LineTable::FilterWord(std::uint32_t tag) const
{
    return filter_[(std::uint64_t{tag} * filter_.size()) >> 32];
}

} // namespace trelvane
