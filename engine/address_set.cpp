// The ordered set of address lines: byte keys in a chunked arena, a hash index for de-duplication,
// and a sort on the first walk.
#include "engine/address_set.h"

#include "engine/os/huge_memory.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace trelvane {
namespace {

// An arena offset holds the chunk number above chunkShift and the position in the chunk below.
constexpr unsigned chunkShift = 40;
constexpr std::uint64_t positionMask = (std::uint64_t{1} << chunkShift) - 1;
constexpr std::size_t firstChunkBytes = std::size_t{64} << 10;
constexpr std::size_t largestChunkBytes = std::size_t{64} << 20;
// Spare bytes after every key, so that an 8-byte load at a key's start stays inside its chunk.
constexpr std::size_t keyPadding = 8;
constexpr std::size_t firstOffsetCapacity = 1024;
constexpr std::size_t fewestSlots = 64;
// Index entries keep the line number plus one in their low half, so 0 marks a free slot.
constexpr std::uint64_t maxLines = 0xFFFF'FFFEu;
// Below this many lines a second sorting thread costs more than it saves.
constexpr std::size_t parallelSortLines = std::size_t{1} << 16;

// Each UTF-16 code unit becomes the UTF-8 form of its own value, surrogates included (three bytes
// each). The code is prefix-free and keeps order, so byte order of two keys is the code-unit order
// of their lines, a proper prefix first; ASCII stays one byte. out needs 3 bytes per unit.
std::size_t EncodeKey(std::u16string_view line, char* out)
{
    auto* begin = reinterpret_cast<unsigned char*>(out);
    auto* next = begin;
    for (const char16_t unit : line) {
        if (unit < 0x80) {
            *next++ = static_cast<unsigned char>(unit);
        } else if (unit < 0x800) {
            *next++ = static_cast<unsigned char>(0xC0 | (unit >> 6));
            *next++ = static_cast<unsigned char>(0x80 | (unit & 0x3F));
        } else {
            *next++ = static_cast<unsigned char>(0xE0 | (unit >> 12));
            *next++ = static_cast<unsigned char>(0x80 | ((unit >> 6) & 0x3F));
            *next++ = static_cast<unsigned char>(0x80 | (unit & 0x3F));
        }
    }
    return static_cast<std::size_t>(next - begin);
}

// The inverse of EncodeKey; out needs one unit per key byte. Returns the number of units.
std::size_t DecodeKey(std::string_view key, char16_t* out)
{
    const auto* next = reinterpret_cast<const unsigned char*>(key.data());
    const auto* end = next + key.size();
    char16_t* begin = out;
    while (next != end) {
        const unsigned lead = *next;
        if (lead < 0x80) {
            *out++ = static_cast<char16_t>(lead);
            next += 1;
        } else if (lead < 0xE0) {
            *out++ = static_cast<char16_t>(((lead & 0x1F) << 6) | (next[1] & 0x3F));
            next += 2;
        } else {
            *out++ = static_cast<char16_t>(((lead & 0x0F) << 12) | ((next[1] & 0x3F) << 6) |
                                           (next[2] & 0x3F));
            next += 3;
        }
    }
    return static_cast<std::size_t>(out - begin);
}

constexpr std::uint64_t prime1 = 0x9E3779B185EBCA87u;
constexpr std::uint64_t prime2 = 0xC2B2AE3D27D4EB4Fu;
constexpr std::uint64_t prime3 = 0x165667B19E3779F9u;

std::uint64_t HashRound(std::uint64_t hash, std::uint64_t word)
{
    hash ^= std::rotl(word * prime2, 31) * prime1;
    return std::rotl(hash, 27) * prime1 + prime3;
}

// A 64-bit multiply-rotate hash over whole words; the length takes part, so zero tails differ.
std::uint64_t HashKey(std::string_view key)
{
    std::uint64_t hash = prime3 ^ (key.size() * prime1);
    std::size_t at = 0;
    for (; at + 8 <= key.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, key.data() + at, 8);
        hash = HashRound(hash, word);
    }
    if (at < key.size()) {
        std::uint64_t tail = 0;
        std::memcpy(&tail, key.data() + at, key.size() - at);
        hash = HashRound(hash, tail);
    }
    hash ^= hash >> 33;
    hash *= prime2;
    hash ^= hash >> 29;
    hash *= prime3;
    return hash ^ (hash >> 32);
}

std::uint32_t IndexHash(std::string_view key)
{
    return static_cast<std::uint32_t>(HashKey(key));
}

std::size_t LengthFieldSize(std::size_t length)
{
    std::size_t bytes = 1;
    for (; length >= 0x80; length >>= 7)
        ++bytes;
    return bytes;
}

/// Length-prefixed keys (LEB128 lengths) in chunks that grow up to a limit; a key never
/// straddles two chunks, so its bytes are contiguous.
class KeyArena
{
public:
    std::uint64_t Append(std::string_view key)
    {
        const auto recordSize = LengthFieldSize(key.size()) + key.size();
        if (chunks_.empty() || used_ + recordSize + keyPadding > chunks_.back().size())
            AddChunk(recordSize + keyPadding);
        const auto offset = ((chunks_.size() - 1) << chunkShift) | used_;
        auto* out = static_cast<unsigned char*>(chunks_.back().data()) + used_;
        std::size_t length = key.size();
        for (; length >= 0x80; length >>= 7)
            *out++ = static_cast<unsigned char>(0x80 | (length & 0x7F));
        *out++ = static_cast<unsigned char>(length);
        std::memcpy(out, key.data(), key.size());
        used_ += recordSize;
        return offset;
    }

    std::string_view KeyAt(std::uint64_t offset) const
    {
        const auto* next = static_cast<const unsigned char*>(chunks_[offset >> chunkShift].data()) +
                           (offset & positionMask);
        std::size_t length = 0;
        for (unsigned shift = 0;; shift += 7) {
            const unsigned byte = *next++;
            length |= std::size_t{byte & 0x7F} << shift;
            if (byte < 0x80)
                break;
        }
        return {reinterpret_cast<const char*>(next), length};
    }

private:
    void AddChunk(std::size_t atLeast)
    {
        const auto size = chunks_.empty() ? firstChunkBytes
                                          : std::min(2 * chunks_.back().size(), largestChunkBytes);
        chunks_.emplace_back().Allocate(std::max(size, atLeast));
        used_ = 0;
    }

    std::vector<LargeBuffer> chunks_;
    std::size_t used_ = 0;
};

/// A growing array of 64-bit values in one LargeBuffer.
class OffsetList
{
public:
    void PushBack(std::uint64_t value)
    {
        if (size_ == buffer_.size() / sizeof(std::uint64_t))
            buffer_.Grow(std::max(firstOffsetCapacity, 2 * size_) * sizeof(std::uint64_t));
        data()[size_++] = value;
    }
    std::uint64_t* data() const { return static_cast<std::uint64_t*>(buffer_.data()); }
    std::size_t size() const { return size_; }
    std::uint64_t operator[](std::size_t index) const { return data()[index]; }

private:
    LargeBuffer buffer_;
    std::size_t size_ = 0;
};

/// One line to sort: the first 8 key bytes as a big-endian number (zero-padded) and its offset.
struct SortEntry
{
    std::uint64_t prefix;
    std::uint64_t offset;
};

std::uint64_t KeyPrefix(std::string_view key)
{
    std::uint64_t word;
    std::memcpy(&word, key.data(), 8); // in bounds thanks to keyPadding
    if constexpr (std::endian::native == std::endian::little)
        word = __builtin_bswap64(word);
    return key.size() >= 8 ? word : word & ~(~std::uint64_t{0} >> (8 * key.size()));
}

} // namespace

struct AddressSet::Storage
{
    KeyArena arena;
    OffsetList offsets;
    // Open addressing with linear probing: hash in the high half, line number + 1 in the low half.
    LargeBuffer index;
    std::size_t slotMask = 0;
    bool sorted = true;
    std::string encoded;
    std::u16string decoded;

    std::string_view Encode(std::u16string_view line);
    std::uint64_t* Slots() const { return static_cast<std::uint64_t*>(index.data()); }
    std::uint64_t* FindSlot(std::string_view key, std::uint32_t hash);
    void Place(std::uint64_t entry);
    void BuildIndex(std::size_t slotCount);
    void EnsureIndex();
    void GrowIndex();
    bool Insert(std::u16string_view line);
    void Sort();
    std::u16string_view LineAt(std::size_t position);
};

std::string_view AddressSet::Storage::Encode(std::u16string_view line)
{
    if (encoded.size() < 3 * line.size())
        encoded.resize(3 * line.size());
    return {encoded.data(), EncodeKey(line, encoded.data())};
}

// The slot that holds key, or the free slot where it belongs.
std::uint64_t* AddressSet::Storage::FindSlot(std::string_view key, std::uint32_t hash)
{
    std::uint64_t* slots = Slots();
    for (std::size_t at = hash & slotMask;; at = (at + 1) & slotMask) {
        const std::uint64_t entry = slots[at];
        if (entry == 0)
            return slots + at;
        if ((entry >> 32) == hash && arena.KeyAt(offsets[(entry & 0xFFFF'FFFFu) - 1]) == key)
            return slots + at;
    }
}

void AddressSet::Storage::Place(std::uint64_t entry)
{
    std::uint64_t* slots = Slots();
    std::size_t at = (entry >> 32) & slotMask;
    while (slots[at] != 0)
        at = (at + 1) & slotMask;
    slots[at] = entry;
}

// A fresh, empty index of slotCount slots (a power of two).
void AddressSet::Storage::BuildIndex(std::size_t slotCount)
{
    index.Allocate(slotCount * sizeof(std::uint64_t));
    slotMask = slotCount - 1;
}

// Sorting drops the index; it comes back, from the keys, when a lookup needs it.
void AddressSet::Storage::EnsureIndex()
{
    if (index.data() != nullptr)
        return;
    BuildIndex(std::max(fewestSlots, std::bit_ceil(2 * offsets.size() + 2)));
    for (std::size_t line = 0; line < offsets.size(); ++line)
        Place((std::uint64_t{IndexHash(arena.KeyAt(offsets[line]))} << 32) | (line + 1));
}

// Doubles the index from the stored hashes, without touching a key.
void AddressSet::Storage::GrowIndex()
{
    LargeBuffer old = std::move(index);
    const std::size_t oldCount = slotMask + 1;
    BuildIndex(2 * oldCount);
    const auto* oldSlots = static_cast<const std::uint64_t*>(old.data());
    for (std::size_t at = 0; at < oldCount; ++at) {
        if (oldSlots[at] != 0)
            Place(oldSlots[at]);
    }
}

bool AddressSet::Storage::Insert(std::u16string_view line)
{
    EnsureIndex();
    const std::string_view key = Encode(line);
    const std::uint32_t hash = IndexHash(key);
    std::uint64_t* slot = FindSlot(key, hash);
    if (*slot != 0)
        return false;
    if (offsets.size() >= maxLines)
        throw std::length_error("address set cannot hold more lines");
    // Keep the load factor at or below one half.
    if (2 * (offsets.size() + 1) > slotMask + 1) {
        GrowIndex();
        slot = FindSlot(key, hash);
    }
    offsets.PushBack(arena.Append(key));
    *slot = (std::uint64_t{hash} << 32) | offsets.size();
    sorted = false;
    return true;
}

namespace {

// Sorts the two halves of entries at the same time; false when no second thread can be had.
template <typename Less> bool SortHalvesInParallel(SortEntry* entries, std::size_t count, Less less)
{
    const std::size_t half = count / 2;
    std::thread helper;
    try {
        helper = std::thread([=] { std::sort(entries, entries + half, less); });
    } catch (const std::system_error&) {
        return false;
    }
    std::sort(entries + half, entries + count, less);
    helper.join();
    return true;
}

// Merges the sorted ranges [entries, middle) and [middle, end) into the offsets at out.
template <typename Less>
void MergeOffsets(const SortEntry* entries, const SortEntry* middle, const SortEntry* end,
                  std::uint64_t* out, Less less)
{
    const SortEntry* left = entries;
    const SortEntry* right = middle;
    while (left != middle && right != end)
        *out++ = less(*right, *left) ? (right++)->offset : (left++)->offset;
    for (; left != middle; ++left)
        *out++ = left->offset;
    for (; right != end; ++right)
        *out++ = right->offset;
}

// Sorts entries by key, on two threads for large counts, and writes the sorted offsets to out.
template <typename Less>
void SortOffsets(SortEntry* entries, std::size_t count, std::uint64_t* out, Less less)
{
    if (count >= parallelSortLines && SortHalvesInParallel(entries, count, less)) {
        MergeOffsets(entries, entries + count / 2, entries + count, out, less);
        return;
    }
    std::sort(entries, entries + count, less);
    std::transform(entries, entries + count, out, [](const SortEntry& e) { return e.offset; });
}

} // namespace

// Puts the offsets in ascending key order. The index goes first, to keep the peak memory down.
void AddressSet::Storage::Sort()
{
    index.Release();
    const std::size_t count = offsets.size();
    LargeBuffer buffer;
    buffer.Allocate(count * sizeof(SortEntry));
    auto* entries = static_cast<SortEntry*>(buffer.data());
    for (std::size_t line = 0; line < count; ++line)
        entries[line] = {KeyPrefix(arena.KeyAt(offsets[line])), offsets[line]};
    const KeyArena& keys = arena;
    SortOffsets(entries, count, offsets.data(), [&keys](const SortEntry& a, const SortEntry& b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        return keys.KeyAt(a.offset) < keys.KeyAt(b.offset);
    });
    sorted = true;
}

std::u16string_view AddressSet::Storage::LineAt(std::size_t position)
{
    const std::string_view key = arena.KeyAt(offsets[position]);
    if (decoded.size() < key.size())
        decoded.resize(key.size());
    return {decoded.data(), DecodeKey(key, decoded.data())};
}

AddressSet::AddressSet(SetOrder order) : order_(order), storage_(std::make_unique<Storage>()) {}

AddressSet::~AddressSet() = default;

bool AddressSet::Insert(std::u16string_view line)
{
    return storage_->Insert(line);
}

bool AddressSet::Contains(std::u16string_view line) const
{
    if (Empty())
        return false;
    storage_->EnsureIndex();
    const std::string_view key = storage_->Encode(line);
    return *storage_->FindSlot(key, IndexHash(key)) != 0;
}

std::size_t AddressSet::Size() const
{
    return storage_->offsets.size();
}

void AddressSet::Clear()
{
    *storage_ = Storage();
}

void AddressSet::ForEach(const std::function<bool(std::u16string_view)>& visit) const
{
    Storage& storage = *storage_;
    if (!storage.sorted)
        storage.Sort();
    const std::size_t count = storage.offsets.size();
    const bool descending = order_ == SetOrder::Descending;
    for (std::size_t step = 0; step < count; ++step) {
        if (!visit(storage.LineAt(descending ? count - 1 - step : step)))
            return;
    }
}

} // namespace trelvane
