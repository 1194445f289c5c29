// The ordered set of address lines: byte keys in arenas grouped by first byte, a hash index for
// inserts that must know at once whether a line is new, and a sort of each group (on two
// threads) that also drops the repeats of lines appended unchecked. Under a memory limit, full
// arenas go to a temporary file as sorted runs, merged when the set is walked.
#include "engine/address_set.h"

#include "engine/address_key.h"
#include "engine/address_key_sort.h"
#include "engine/batch_hand_off.h"
#include "engine/os/huge_memory.h"
#include "engine/piece_relay.h"
#include "engine/sorted_runs.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cassert>
#include <cstring>
#include <exception>
#include <numeric>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace trelvane {
namespace {

// Keys start on multiples of granuleBytes, so a 31-bit granule number addresses 8 GiB a shard.
constexpr std::size_t granuleBytes = 4;
constexpr std::size_t maxArenaBytes = (std::size_t{1} << 31) * granuleBytes;
constexpr std::size_t firstArenaBytes = std::size_t{64} << 10;
// The longest LEB128 length field of a key.
constexpr std::size_t maxLengthFieldBytes = 10;
// Spare bytes after every key, so that a sort window loads whole from anywhere in it.
constexpr std::size_t keyPadding = addresskey::windowPadding;
constexpr std::size_t fewestSlots = 64;
// How many lines ahead a walk asks for a key, to hide the memory latency of the sorted order.
constexpr std::size_t prefetchDistance = 16;
constexpr std::size_t prefetchSpan = 48;
// Bytes per key of the sort: a SortEntry, whose memory then holds the order.
constexpr std::size_t sortBytesPerKey = sizeof(addresskey::SortEntry);
// Pieces of a walk of a merge that the merging thread may fill ahead of the one being taken.
constexpr std::size_t mergedPieceCount = 3;
// A walk in pieces cuts them shorter where keys are long, so that a piece's keys take about
// this much memory.
constexpr std::size_t pieceKeyBytes = std::size_t{1} << 20;

// The reading buffers of a merge: half the set's memory limit, or 64 MiB without one.
std::size_t ReadBudget(std::uint64_t limit)
{
    return limit != 0 ? static_cast<std::size_t>(limit / 2) : std::size_t{64} << 20;
}

// Whether an index of slots slots is too full to hold keys keys.
bool IndexFull(std::size_t keys, std::size_t slots)
{
    return 4 * keys > 3 * slots;
}

std::size_t RoundUp(std::size_t bytes, std::size_t unit)
{
    return (bytes + unit - 1) / unit * unit;
}

constexpr std::uint64_t prime1 = 0x9E3779B185EBCA87u;
constexpr std::uint64_t prime2 = 0xC2B2AE3D27D4EB4Fu;
constexpr std::uint64_t prime3 = 0x165667B19E3779F9u;

std::uint64_t HashRound(std::uint64_t hash, std::uint64_t word)
{
    hash ^= std::rotl(word * prime2, 31) * prime1;
    return std::rotl(hash, 27) * prime1 + prime3;
}

// A multiply-rotate hash over a key's bytes, in two independent lanes of 8 bytes so that their
// multiplications overlap; the length takes part, so keys that differ only by trailing NUL bytes
// differ.
std::uint32_t HashKey(std::string_view key)
{
    const char* bytes = key.data();
    const std::size_t size = key.size();
    std::uint64_t first = prime3 ^ (size * prime1);
    std::uint64_t second = prime2;
    std::size_t at = 0;
    for (; at + 16 <= size; at += 16) {
        std::uint64_t words[2];
        std::memcpy(words, bytes + at, 16);
        first = HashRound(first, words[0]);
        second = HashRound(second, words[1]);
    }
    if (at + 8 <= size) {
        std::uint64_t word;
        std::memcpy(&word, bytes + at, 8);
        first = HashRound(first, word);
        at += 8;
    }
    if (at < size) {
        std::uint64_t tail = 0;
        std::memcpy(&tail, bytes + at, size - at);
        second = HashRound(second, tail);
    }
    std::uint64_t hash = first ^ std::rotl(second, 29);
    hash ^= hash >> 33;
    hash *= prime2;
    hash ^= hash >> 29;
    hash *= prime3;
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

using addresskey::groupCount;
using addresskey::GroupOf;
// A group's keys lie in chunks of its own: small ones first, so that a group of few keys wastes
// little, then larger ones.
constexpr std::size_t firstChunkBytes = 256;
constexpr std::size_t largestChunkBytes = std::size_t{64} << 10;
// How far ahead a visit of a group's keys asks for their memory.
constexpr std::size_t walkAheadBytes = 2048;

/// Length-prefixed keys (LEB128 lengths), each after its 8-byte tag when the arena keeps tags,
/// in one buffer that grows without copying; a key is named by the granule its record starts
/// on. Keys that start with the same byte are kept together, in chunks of their group, so that
/// each group can be sorted on its own and a walk in key order reads one group's memory at a time
/// instead of the whole buffer at random.
class KeyArena
{
public:
    /// Whether keys carry tags; set while the arena is empty.
    void KeepTags(bool tagged) { tagBytes_ = tagged ? sizeof(std::uint64_t) : 0; }
    std::uint32_t Append(std::string_view key, std::uint64_t tag);
    /// Bytes taken by keys so far, including what appending a key of keyBytes would take.
    std::size_t BytesAfter(std::size_t keyBytes) const
    {
        return used_ + sizeof(ChunkHeader) + tagBytes_ + maxLengthFieldBytes + keyBytes +
               keyPadding;
    }
    /// Makes the buffer at least bytes long, if it is shorter, so that keys fit without growing it.
    void Reserve(std::size_t bytes)
    {
        if (bytes > buffer_.size())
            buffer_.Grow(std::min(bytes, maxArenaBytes));
    }
    /// Forgets every key but keeps the buffer, whose pages are then reused without new faults.
    void Reset()
    {
        used_ = granuleBytes;
        largest_ = 0;
        groups_.assign(groups_.size(), Group{});
    }
    /// The number of keys in the group that holds most.
    std::size_t LargestGroup() const { return largest_; }
    /// The number of keys in group (GroupOf their first byte).
    std::size_t GroupCount(std::size_t group) const
    {
        return groups_.empty() ? 0 : groups_[group].count;
    }
    std::string_view KeyAt(std::uint32_t granule) const;
    /// The tag of the key at granule; 0 when the arena keeps no tags.
    std::uint64_t TagAt(std::uint32_t granule) const;
    /// Asks for the cache lines of the key at granule: most keys fit in prefetchSpan bytes, and
    /// about half of them cross a cache line.
    void Prefetch(std::uint32_t granule) const
    {
        const char* start = Base() + granule * granuleBytes;
        __builtin_prefetch(start);
        __builtin_prefetch(start + prefetchSpan - 1);
    }
    /// Calls visit(granule, key) for every key of group.
    template <typename Visit> void ForEachKeyOf(std::size_t group, Visit visit) const;
    /// Calls visit(granule, key) for every key.
    template <typename Visit> void ForEachKey(Visit visit) const
    {
        for (std::size_t group = 0; group < groups_.size(); ++group)
            ForEachKeyOf(group, visit);
    }

private:
    // At the start of every chunk; sizes count the header.
    struct ChunkHeader
    {
        std::uint32_t next;     ///< granule of the group's next chunk, 0 for the last
        std::uint32_t used;     ///< bytes of records so far
        std::uint32_t capacity; ///< bytes of the chunk
    };
    struct Group
    {
        std::uint32_t first = 0;   ///< granule of the first chunk, 0 while empty
        std::uint32_t current = 0; ///< granule of the chunk appended to
        std::size_t count = 0;     ///< keys
    };

    const char* Base() const { return static_cast<const char*>(buffer_.data()); }
    ChunkHeader* HeaderAt(std::uint32_t granule)
    {
        return reinterpret_cast<ChunkHeader*>(static_cast<char*>(buffer_.data()) +
                                              granule * granuleBytes);
    }
    const ChunkHeader& HeaderAt(std::uint32_t granule) const
    {
        return *reinterpret_cast<const ChunkHeader*>(Base() + granule * granuleBytes);
    }
    std::uint32_t NewChunk(std::size_t capacity);

    LargeBuffer buffer_;
    std::size_t tagBytes_ = 0;
    // Granule 0 is never used, so index entries (hash, granule) are never 0.
    std::size_t used_ = granuleBytes;
    // Made with the first key.
    std::vector<Group> groups_;
    std::size_t largest_ = 0;
};

// Takes capacity bytes at the end of the buffer for a new chunk; returns its granule.
std::uint32_t KeyArena::NewChunk(std::size_t capacity)
{
    const std::size_t needed = used_ + capacity;
    if (needed > maxArenaBytes)
        throw std::length_error("address set cannot hold more text");
    if (needed > buffer_.size())
        buffer_.Grow(
            std::max({needed, std::min(2 * buffer_.size(), maxArenaBytes), firstArenaBytes}));
    const auto granule = static_cast<std::uint32_t>(used_ / granuleBytes);
    *HeaderAt(granule) = {0, sizeof(ChunkHeader), static_cast<std::uint32_t>(capacity)};
    used_ += capacity;
    return granule;
}

std::uint32_t KeyArena::Append(std::string_view key, std::uint64_t tag)
{
    std::size_t length = key.size();
    std::size_t lengthBytes = 1;
    for (std::size_t rest = length; rest >= 0x80; rest >>= 7)
        ++lengthBytes;
    // The padding after the key stays inside the chunk, where it can be read.
    const std::size_t recordBytes = RoundUp(tagBytes_ + lengthBytes + length, granuleBytes);
    const std::size_t needed = recordBytes + keyPadding;
    if (groups_.empty())
        groups_.resize(groupCount);
    Group& group = groups_[GroupOf(key)];
    largest_ = std::max(largest_, ++group.count);
    ChunkHeader* chunk = group.current != 0 ? HeaderAt(group.current) : nullptr;
    if (chunk == nullptr || chunk->used + needed > chunk->capacity) {
        const std::size_t previous = chunk != nullptr ? chunk->capacity : firstChunkBytes / 2;
        const std::size_t capacity = std::max(std::min(2 * previous, largestChunkBytes),
                                              RoundUp(sizeof(ChunkHeader) + needed, granuleBytes));
        // The buffer may move while it grows: the last chunk is found again after.
        const std::uint32_t fresh = NewChunk(capacity);
        if (group.current != 0)
            HeaderAt(group.current)->next = fresh;
        else
            group.first = fresh;
        group.current = fresh;
        chunk = HeaderAt(fresh);
    }
    const std::size_t at = group.current * granuleBytes + chunk->used;
    chunk->used += static_cast<std::uint32_t>(recordBytes);
    auto* out = static_cast<unsigned char*>(buffer_.data()) + at;
    std::memcpy(out, &tag, tagBytes_);
    out += tagBytes_;
    for (; length >= 0x80; length >>= 7)
        *out++ = static_cast<unsigned char>(0x80 | (length & 0x7F));
    *out++ = static_cast<unsigned char>(length);
    std::memcpy(out, key.data(), key.size());
    return static_cast<std::uint32_t>(at / granuleBytes);
}

std::string_view KeyArena::KeyAt(std::uint32_t granule) const
{
    const auto* next =
        reinterpret_cast<const unsigned char*>(Base()) + granule * granuleBytes + tagBytes_;
    std::size_t length = 0;
    for (unsigned shift = 0;; shift += 7) {
        const unsigned byte = *next++;
        length |= std::size_t{byte & 0x7F} << shift;
        if (byte < 0x80)
            break;
    }
    return {reinterpret_cast<const char*>(next), length};
}

std::uint64_t KeyArena::TagAt(std::uint32_t granule) const
{
    std::uint64_t tag = 0;
    std::memcpy(&tag, Base() + granule * granuleBytes, tagBytes_);
    return tag;
}

template <typename Visit> void KeyArena::ForEachKeyOf(std::size_t group, Visit visit) const
{
    if (groups_.empty())
        return;
    for (std::uint32_t chunk = groups_[group].first; chunk != 0; chunk = HeaderAt(chunk).next) {
        const std::size_t start = chunk * granuleBytes;
        const std::size_t end = start + HeaderAt(chunk).used;
        for (std::size_t at = start + sizeof(ChunkHeader); at < end;) {
            const auto granule = static_cast<std::uint32_t>(at / granuleBytes);
            // Chunks lie apart in memory; reading ahead within one keeps its lines coming.
            __builtin_prefetch(Base() + at + walkAheadBytes);
            const std::string_view key = KeyAt(granule);
            visit(granule, key);
            at = RoundUp(static_cast<std::size_t>(key.data() - Base()) + key.size(), granuleBytes);
        }
    }
}

// One of the set's two halves: its keys, their count, and the index that finds them. InsertKey
// picks a shard by hash, AppendKey the one with fewer keys; each arena addresses 8 GiB.
struct Shard
{
    KeyArena arena;
    std::size_t count = 0; ///< keys in the arena, repeats that AppendKey let in included
    // Inserts and resets so far: the set's order and settling are valid for one total.
    std::uint64_t changes = 0;
    // Open addressing with linear probing: the line's hash in the high half of an entry, its
    // key's granule in the low half; 0 is a free slot. Dropped while sorting, rebuilt on demand.
    LargeBuffer index;
    std::size_t slotMask = 0;
    // The size that Reserve asked for, for when the index is made.
    std::size_t plannedSlots = 0;

    std::uint64_t* Slots() const { return static_cast<std::uint64_t*>(index.data()); }
    struct Probe
    {
        std::uint64_t* slot; ///< the slot holding the key, or the free slot where it belongs
    };
    Probe Find(std::string_view key, std::uint32_t hash);
    void Place(std::uint64_t entry);
    void NewIndex(std::size_t slotCount);
    void EnsureIndex();
    void GrowIndex(std::size_t slotCount = 0);
    /// Forgets the keys, keeping the arena's pages.
    void Reset();
};

// A line's shard: the top bit of its hash, which the index does not use below 2^31 slots.
std::size_t ShardOfHash(std::uint32_t hash)
{
    return hash >> 31;
}

// The order names a key by its shard (top bit) and granule.
constexpr std::uint32_t shardBit = std::uint32_t{1} << 31;

std::uint32_t RefOf(std::size_t shard, std::uint32_t granule)
{
    return shard != 0 ? granule | shardBit : granule;
}

// A piece of a walk of a merge: its keys, copied into an arena of its own.
struct MergedPiece
{
    KeyArena arena;
    std::vector<std::uint32_t> granules;

    void Clear()
    {
        granules.clear();
        arena.Reset();
    }
};

// Merges runs into pieces of pieceLines keys (fewer past pieceKeyBytes) and hands each, in order,
// to take on the calling thread until it returns false. The merge, which reads the temporary file,
// runs on a helper thread when one can be made.
void MergeInPieces(SortedRuns& runs, bool descending, std::size_t readBudget, bool tagged,
                   std::size_t pieceLines, const std::function<bool(MergedPiece&)>& take)
{
    // Fills piece from the merge; next hands a full piece over and returns the one to fill
    // after it, or nullptr to end the merge; last hands over the final piece, when not empty.
    const auto fill = [&](MergedPiece* piece, const auto& next, const auto& last) {
        runs.Merge(descending, readBudget, [&](std::string_view key, std::uint64_t tag) {
            if (piece->granules.empty())
                piece->arena.KeepTags(tagged);
            piece->granules.push_back(piece->arena.Append(key, tag));
            if (piece->granules.size() < pieceLines && piece->arena.BytesAfter(0) < pieceKeyBytes)
                return true;
            piece = next(piece);
            return piece != nullptr;
        });
        if (piece != nullptr && !piece->granules.empty())
            last(piece);
    };
    BatchHandOff<MergedPiece> handOff(mergedPieceCount);
    std::exception_ptr mergeFailure;
    std::thread merger;
    try {
        merger = std::thread([&] {
            try {
                const auto send = [&handOff](MergedPiece* full) { handOff.Send(full); };
                const auto sendAndTake = [&](MergedPiece* full) {
                    send(full);
                    return handOff.Take();
                };
                if (MergedPiece* first = handOff.Take())
                    fill(first, sendAndTake, send);
            } catch (...) {
                mergeFailure = std::current_exception();
            }
            handOff.Finish();
        });
    } catch (const std::system_error&) {
        // No second thread to be had: merge and take by turns.
        MergedPiece piece;
        const auto handOver = [&take](MergedPiece* full) {
            const bool goOn = take(*full);
            full->Clear();
            return goOn ? full : nullptr;
        };
        fill(&piece, handOver, handOver);
        return;
    }
    try {
        while (MergedPiece* piece = handOff.Receive()) {
            const bool goOn = take(*piece);
            piece->Clear();
            handOff.Recycle(piece);
            if (!goOn) {
                handOff.Quit();
                break;
            }
        }
    } catch (...) {
        handOff.Quit();
        merger.join();
        throw;
    }
    merger.join();
    if (mergeFailure)
        std::rethrow_exception(mergeFailure);
}

} // namespace

struct AddressSet::Storage
{
    Shard shards[2];
    // The distinct keys of both shards in ascending order (refs), orderSize of them; valid while
    // sortedAt equals Changes().
    LargeBuffer order;
    std::size_t orderSize = 0;
    std::uint64_t sortedAt = 0;
    SortedRuns runs;
    // Repeats that AppendKey let in and writing runs dropped.
    std::uint64_t runRepeats = 0;
    // Repeats across runs that Settle dropped when it combined them.
    std::uint64_t mergeRepeats = 0;
    // Repeats that Settle told so far.
    std::uint64_t toldRepeats = 0;
    // Set by Settle: distinct is then the number of distinct lines over all runs, while
    // settledAt equals Changes().
    std::uint64_t settledAt = ~std::uint64_t{0};
    std::size_t distinct = 0;
    std::string encoded;
    std::u16string decoded;

    std::uint64_t Changes() const { return shards[0].changes + shards[1].changes; }
    std::size_t Count() const { return shards[0].count + shards[1].count; }
    bool Sorted() const { return sortedAt == Changes(); }
    bool Settled() const { return settledAt == Changes(); }
    const KeyArena& ArenaOf(std::uint32_t ref) const { return shards[ref >> 31].arena; }
    std::string_view KeyAt(std::uint32_t ref) const { return ArenaOf(ref).KeyAt(ref & ~shardBit); }
    std::uint64_t TagAt(std::uint32_t ref) const { return ArenaOf(ref).TagAt(ref & ~shardBit); }
    void PrefetchKey(std::uint32_t ref) const { ArenaOf(ref).Prefetch(ref & ~shardBit); }
    std::string_view Encode(std::u16string_view line);
    std::u16string_view Decode(std::string_view key);
    bool Insert(std::string_view key, std::uint32_t hash, std::uint64_t tag,
                std::uint64_t& firstTag, std::uint64_t limit, bool descending);
    void Append(std::string_view key, std::uint64_t limit, bool descending);
    bool WouldOutgrow(const Shard& shard, std::size_t keyBytes, std::uint64_t limit) const;
    void WriteRun(std::size_t shard, bool descending);
    void WriteRuns(bool descending);
    std::size_t SortDistinct(std::size_t first, std::size_t last, LargeBuffer& refs);
    void Sort();
    const std::uint32_t* Order() const { return static_cast<const std::uint32_t*>(order.data()); }
};

std::string_view AddressSet::Storage::Encode(std::u16string_view line)
{
    if (encoded.size() < 3 * line.size())
        encoded.resize(3 * line.size());
    return {encoded.data(), EncodeAddressKey(line, encoded.data())};
}

std::u16string_view AddressSet::Storage::Decode(std::string_view key)
{
    if (decoded.size() < key.size())
        decoded.resize(key.size());
    return {decoded.data(), DecodeAddressKey(key, decoded.data())};
}

Shard::Probe Shard::Find(std::string_view key, std::uint32_t hash)
{
    std::uint64_t* slots = Slots();
    std::size_t at = hash & slotMask;
    for (;; at = (at + 1) & slotMask) {
        const std::uint64_t entry = slots[at];
        if (entry == 0)
            return {slots + at};
        if ((entry >> 32) != hash)
            continue;
        // Both cache lines at once; reading the length first would fetch them one after another.
        arena.Prefetch(static_cast<std::uint32_t>(entry));
        if (arena.KeyAt(static_cast<std::uint32_t>(entry)) == key)
            return {slots + at};
    }
}

void Shard::Place(std::uint64_t entry)
{
    std::uint64_t* slots = Slots();
    std::size_t at = (entry >> 32) & slotMask;
    while (slots[at] != 0)
        at = (at + 1) & slotMask;
    slots[at] = entry;
}

// A fresh, empty index of slotCount slots (a power of two).
void Shard::NewIndex(std::size_t slotCount)
{
    index.Allocate(slotCount * sizeof(std::uint64_t));
    slotMask = slotCount - 1;
}

void Shard::EnsureIndex()
{
    if (index.data() != nullptr)
        return;
    NewIndex(std::max({fewestSlots, std::bit_ceil(2 * count + 2), plannedSlots}));
    arena.ForEachKey([this](std::uint32_t granule, std::string_view key) {
        Place((std::uint64_t{HashKey(key)} << 32) | granule);
    });
}

// Doubles the index, or makes it slotCount slots, from the stored hashes, without touching a key.
void Shard::GrowIndex(std::size_t slotCount)
{
    LargeBuffer old = std::move(index);
    const std::size_t oldCount = slotMask + 1;
    NewIndex(std::max(2 * oldCount, slotCount));
    const auto* oldSlots = static_cast<const std::uint64_t*>(old.data());
    for (std::size_t at = 0; at < oldCount; ++at) {
        if (oldSlots[at] != 0)
            Place(oldSlots[at]);
    }
}

void Shard::Reset()
{
    arena.Reset();
    count = 0;
    index.Release();
    ++changes;
}

bool AddressSet::Storage::Insert(std::string_view key, std::uint32_t hash, std::uint64_t tag,
                                 std::uint64_t& firstTag, std::uint64_t limit, bool descending)
{
    const std::size_t shardIndex = ShardOfHash(hash);
    Shard& shard = shards[shardIndex];
    shard.EnsureIndex();
    const Shard::Probe probe = shard.Find(key, hash);
    if (*probe.slot != 0) {
        firstTag = shard.arena.TagAt(static_cast<std::uint32_t>(*probe.slot));
        return false;
    }
    if (limit != 0 && shard.count != 0 && WouldOutgrow(shard, key.size(), limit)) {
        WriteRun(shardIndex, descending);
        return Insert(key, hash, tag, firstTag, limit, descending);
    }
    // Keep the load factor at or below three quarters: with the slots asked for ahead, longer
    // probes cost less than the memory of a sparser index. Growing comes before appending, so a
    // failure leaves every key of the arena counted and indexed.
    const bool grow = IndexFull(shard.count + 1, shard.slotMask + 1);
    if (grow)
        shard.GrowIndex();
    const std::uint64_t entry = (std::uint64_t{hash} << 32) | shard.arena.Append(key, tag);
    ++shard.count;
    ++shard.changes;
    if (grow)
        shard.Place(entry);
    else
        *probe.slot = entry;
    return true;
}

void AddressSet::Storage::Append(std::string_view key, std::uint64_t limit, bool descending)
{
    const std::size_t shardIndex = shards[0].count <= shards[1].count ? 0 : 1;
    Shard& shard = shards[shardIndex];
    if (limit != 0 && shard.count != 0 && WouldOutgrow(shard, key.size(), limit))
        WriteRun(shardIndex, descending);
    shard.arena.Append(key, 0);
    ++shard.count;
    ++shard.changes;
}

// Whether adding a key of keyBytes to shard would take it past its half of limit: its arena,
// and the larger of its index (old and new while it doubles) and what sorting it takes (its
// order, and sort entries for the largest group on each of two threads).
bool AddressSet::Storage::WouldOutgrow(const Shard& shard, std::size_t keyBytes,
                                       std::uint64_t limit) const
{
    const std::size_t slots = shard.index.data() != nullptr ? shard.slotMask + 1 : 0;
    const bool grow = IndexFull(shard.count + 1, slots);
    const std::size_t indexBytes = (grow ? 3 : 1) * slots * sizeof(std::uint64_t);
    const std::size_t sortBytes = (shard.count + 1) * sizeof(std::uint32_t) +
                                  2 * (shard.arena.LargestGroup() + 1) * sortBytesPerKey;
    return shard.arena.BytesAfter(keyBytes) + std::max(indexBytes, sortBytes) > limit / 2;
}

// Writes the distinct keys of one shard to the temporary file as one run, in the set's order,
// and empties that shard for the next lines.
void AddressSet::Storage::WriteRun(std::size_t shard, bool descending)
{
    LargeBuffer sorted;
    const std::size_t count = SortDistinct(shard, shard + 1, sorted);
    runRepeats += shards[shard].count - count;
    const auto* refs = static_cast<const std::uint32_t*>(sorted.data());
    runs.BeginRun();
    const auto refAt = [&](std::size_t step) { return refs[descending ? count - 1 - step : step]; };
    for (std::size_t step = 0; step < count; ++step) {
        if (step + prefetchDistance < count)
            PrefetchKey(refAt(step + prefetchDistance));
        const std::uint32_t ref = refAt(step);
        runs.Add(KeyAt(ref), TagAt(ref));
    }
    runs.EndRun();
    shards[shard].Reset();
}

// Writes what the shards hold as runs; for a set that wrote runs before it is walked.
void AddressSet::Storage::WriteRuns(bool descending)
{
    for (std::size_t shard = 0; shard < 2; ++shard) {
        if (shards[shard].count != 0)
            WriteRun(shard, descending);
    }
}

// Puts the distinct keys of shards first to last (excluded) in ascending order, as refs in refs;
// returns how many. Each group of keys (by first byte) is sorted on its own, the largest first,
// by two threads that take the next group when done, so that sort entries are needed for two
// groups at a time only. Each group's refs are written at the place they would take with its
// repeats, then moved together. The indexes are dropped, to give their memory to the sort.
std::size_t AddressSet::Storage::SortDistinct(std::size_t first, std::size_t last,
                                              LargeBuffer& refs)
{
    std::array<std::size_t, groupCount> counts{};
    std::array<std::size_t, groupCount> starts{};
    std::size_t total = 0;
    std::size_t largest = 0;
    for (std::size_t group = 0; group < groupCount; ++group) {
        for (std::size_t shard = first; shard < last; ++shard)
            counts[group] += shards[shard].arena.GroupCount(group);
        starts[group] = total;
        total += counts[group];
        largest = std::max(largest, counts[group]);
    }
    for (std::size_t shard = first; shard < last; ++shard)
        shards[shard].index.Release();
    refs.Allocate(std::max(total, std::size_t{1}) * sizeof(std::uint32_t));
    auto* out = static_cast<std::uint32_t*>(refs.data());
    std::array<std::size_t, groupCount> bySize;
    std::iota(bySize.begin(), bySize.end(), std::size_t{0});
    std::stable_sort(bySize.begin(), bySize.end(),
                     [&counts](std::size_t a, std::size_t b) { return counts[a] > counts[b]; });
    std::array<std::size_t, groupCount> kept{};
    std::atomic<std::size_t> next{0};
    const auto keyOf = [this](std::uint32_t ref) { return KeyAt(ref); };
    const auto sortGroups = [&](LargeBuffer& entryBuffer) {
        auto* entries = static_cast<addresskey::SortEntry*>(entryBuffer.data());
        for (std::size_t at; (at = next++) < groupCount && counts[bySize[at]] != 0;) {
            const std::size_t group = bySize[at];
            addresskey::SortEntry* end = entries;
            for (std::size_t shard = first; shard < last; ++shard) {
                shards[shard].arena.ForEachKeyOf(
                    group, [&end, shard](std::uint32_t granule, std::string_view key) {
                        *end++ = addresskey::MakeSortEntry(RefOf(shard, granule), key, 0);
                    });
            }
            kept[group] = addresskey::SortDistinct(entries, end, keyOf, out + starts[group]);
        }
    };
    // Each thread's entries are taken before either starts, so that a failure to get them is
    // told here.
    LargeBuffer entryBuffers[2];
    const bool twoThreads = total >= addresskey::parallelSortKeys;
    for (std::size_t thread = 0; thread < (twoThreads ? 2 : 1); ++thread)
        entryBuffers[thread].Allocate(std::max(largest, std::size_t{1}) * sortBytesPerKey);
    if (twoThreads)
        addresskey::RunOnTwoThreads([&] { sortGroups(entryBuffers[1]); },
                                    [&] { sortGroups(entryBuffers[0]); });
    else
        sortGroups(entryBuffers[0]);
    std::size_t size = 0;
    for (std::size_t group = 0; group < groupCount; ++group) {
        std::memmove(out + size, out + starts[group], kept[group] * sizeof(std::uint32_t));
        size += kept[group];
    }
    return size;
}

// Puts the distinct keys of both shards in ascending key order.
void AddressSet::Storage::Sort()
{
    order.Release();
    orderSize = SortDistinct(0, 2, order);
    sortedAt = Changes();
}

AddressSet::AddressSet(SetOrder order) : order_(order), storage_(std::make_unique<Storage>()) {}

AddressSet::~AddressSet() = default;

bool AddressSet::Insert(std::u16string_view line)
{
    const std::string_view key = storage_->Encode(line);
    return InsertKey(key, HashKey(key));
}

bool AddressSet::InsertKey(std::string_view key, std::uint32_t hash)
{
    std::uint64_t firstTag = 0;
    return InsertKey(key, hash, 0, firstTag);
}

bool AddressSet::InsertKey(std::string_view key, std::uint32_t hash, std::uint64_t tag,
                           std::uint64_t& firstTag)
{
    return storage_->Insert(key, hash, tag, firstTag, memoryLimit_, order_ == SetOrder::Descending);
}

void AddressSet::AppendKey(std::string_view key)
{
    storage_->Append(key, memoryLimit_, order_ == SetOrder::Descending);
}

void AddressSet::KeepTags(bool tagged)
{
    tagged_ = tagged;
    for (Shard& shard : storage_->shards)
        shard.arena.KeepTags(tagged);
}

std::uint32_t AddressSet::HashOf(std::string_view key)
{
    return HashKey(key);
}

void AddressSet::Prefetch(std::uint32_t hash) const
{
    const Shard& shard = storage_->shards[ShardOfHash(hash)];
    if (shard.index.data() != nullptr)
        __builtin_prefetch(shard.Slots() + (hash & shard.slotMask));
}

void AddressSet::PrefetchMatch(std::uint32_t hash) const
{
    const Shard& shard = storage_->shards[ShardOfHash(hash)];
    if (shard.index.data() == nullptr)
        return;
    const std::uint64_t entry = shard.Slots()[hash & shard.slotMask];
    if (entry != 0 && (entry >> 32) == hash)
        shard.arena.Prefetch(static_cast<std::uint32_t>(entry));
}

void AddressSet::Reserve(std::size_t lines, std::uint64_t bytes)
{
    Storage& storage = *storage_;
    // Inserts after a walk make the order stale: its memory is better given to the index.
    if (!storage.Sorted())
        storage.order.Release();
    for (Shard& shard : storage.shards) {
        // Room for as many keys as lines, most of which lines usually are: repeats leave the
        // index sparser, and a list without repeats grows it once more at the end.
        const std::size_t slots = std::bit_ceil(shard.count + lines / 2 + 1);
        // Under a limit, an index that may never fill is not worth the memory it takes from the
        // keys: runs would be written sooner.
        if (memoryLimit_ != 0 && slots * sizeof(std::uint64_t) > memoryLimit_ / 8)
            continue;
        // A set filled by AppendKey never makes its index.
        if (shard.index.data() == nullptr)
            shard.plannedSlots = std::max(shard.plannedSlots, slots);
        else if (slots > shard.slotMask + 1)
            shard.GrowIndex(slots);
    }
    // Each shard's keys take about half the input's bytes, and a tag per line. Growing the
    // arenas once, before the lines come, spares moving them while both threads fill them.
    std::uint64_t arenaBytes = bytes / 2 + lines / 2 * (tagged_ ? sizeof(std::uint64_t) : 0);
    if (memoryLimit_ != 0)
        arenaBytes = std::min(arenaBytes, memoryLimit_ / 2);
    for (Shard& shard : storage.shards)
        shard.arena.Reserve(static_cast<std::size_t>(arenaBytes));
}

bool AddressSet::Contains(std::u16string_view line) const
{
    if (Empty())
        return false;
    const std::string_view key = storage_->Encode(line);
    const std::uint32_t hash = HashKey(key);
    Shard& shard = storage_->shards[ShardOfHash(hash)];
    shard.EnsureIndex();
    return *shard.Find(key, hash).slot != 0;
}

std::size_t AddressSet::Size() const
{
    const Storage& storage = *storage_;
    if (storage.Settled())
        return storage.distinct;
    if (storage.runs.Empty() && storage.Sorted())
        return storage.orderSize;
    return storage.Count() + static_cast<std::size_t>(storage.runs.KeyCount());
}

void AddressSet::Clear()
{
    storage_ = std::make_unique<Storage>();
    KeepTags(tagged_);
}

bool AddressSet::HasRuns() const
{
    return !storage_->runs.Empty();
}

std::uint64_t AddressSet::Settle(const StopFlag* stop, const VisitRepeat& repeat)
{
    Storage& storage = *storage_;
    if (storage.Settled())
        return 0;
    if (storage.runs.Empty()) {
        // The sort drops the repeats that AppendKey let in.
        if (!storage.Sorted())
            storage.Sort();
        storage.distinct = storage.orderSize;
        storage.settledAt = storage.Changes();
        const std::uint64_t repeats = storage.Count() - storage.orderSize;
        return repeats - std::exchange(storage.toldRepeats, repeats);
    }
    // The last lines become runs too; the arenas' memory is not needed any more.
    storage.WriteRuns(order_ == SetOrder::Descending);
    for (Shard& shard : storage.shards) {
        shard.arena = KeyArena();
        shard.arena.KeepTags(tagged_);
    }
    SortedRuns::VisitRepeat visitRepeat;
    if (repeat) {
        visitRepeat = [&](std::string_view key, std::uint64_t tag, std::uint64_t firstTag) {
            repeat(storage.Decode(key), tag, firstTag);
            return true;
        };
    }
    // The distinct lines become runs that follow one another, so that a walk reads them in
    // order instead of merging again.
    const std::uint64_t keys = storage.runs.KeyCount();
    const std::optional<std::uint64_t> distinct = storage.runs.Combine(
        order_ == SetOrder::Descending, ReadBudget(memoryLimit_), stop, visitRepeat);
    if (!distinct)
        return 0;
    storage.mergeRepeats += keys - *distinct;
    storage.distinct = static_cast<std::size_t>(*distinct);
    storage.settledAt = storage.Changes();
    const std::uint64_t repeats = storage.mergeRepeats + storage.runRepeats;
    return repeats - std::exchange(storage.toldRepeats, repeats);
}

void AddressSet::ForEach(const std::function<bool(std::u16string_view)>& visit) const
{
    Walk([&visit](std::u16string_view line, std::uint64_t) { return visit(line); });
}

void AddressSet::ForEachTagged(const VisitTagged& visit) const
{
    Walk(visit);
}

template <typename Visit> void AddressSet::Walk(const Visit& visit) const
{
    Storage& storage = *storage_;
    if (!storage.runs.Empty()) {
        storage.WriteRuns(order_ == SetOrder::Descending);
        storage.runs.Merge(order_ == SetOrder::Descending, ReadBudget(memoryLimit_),
                           [&](std::string_view key, std::uint64_t tag) {
                               return visit(storage.Decode(key), tag);
                           });
        return;
    }
    if (!storage.Sorted())
        storage.Sort();
    const std::size_t count = storage.orderSize;
    const bool descending = order_ == SetOrder::Descending;
    const auto refAt = [&](std::size_t step) {
        return storage.Order()[descending ? count - 1 - step : step];
    };
    for (std::size_t step = 0; step < count; ++step) {
        if (step + prefetchDistance < count)
            storage.PrefetchKey(refAt(step + prefetchDistance));
        const std::uint32_t ref = refAt(step);
        if (!visit(storage.Decode(storage.KeyAt(ref)), storage.TagAt(ref)))
            return;
    }
}

std::string_view KeyPiece::KeyAt(std::size_t index) const
{
    const auto prefetch = [this](std::size_t ahead) {
        const std::uint32_t ref = RefAt(ahead);
        static_cast<const KeyArena*>(arenas_[ref >> 31])->Prefetch(ref & ~shardBit);
    };
    if (index == 0) {
        for (std::size_t ahead = 1; ahead < std::min(prefetchDistance, size_); ++ahead)
            prefetch(ahead);
    }
    if (index + prefetchDistance < size_)
        prefetch(index + prefetchDistance);
    const std::uint32_t ref = RefAt(index);
    return static_cast<const KeyArena*>(arenas_[ref >> 31])->KeyAt(ref & ~shardBit);
}

std::uint64_t KeyPiece::TagAt(std::size_t index) const
{
    const std::uint32_t ref = RefAt(index);
    return static_cast<const KeyArena*>(arenas_[ref >> 31])->TagAt(ref & ~shardBit);
}

void AddressSet::WalkPieces(std::size_t pieceLines, std::size_t slots, const PreparePiece& prepare,
                            const ConsumePiece& consume) const
{
    assert(pieceLines > 0 && slots > 0 && "a walk in pieces needs lines and slots");
    Storage& storage = *storage_;
    const bool descending = order_ == SetOrder::Descending;
    if (!storage.runs.Empty()) {
        storage.WriteRuns(descending);
        MergeInPieces(storage.runs, descending, ReadBudget(memoryLimit_), tagged_, pieceLines,
                      [&](MergedPiece& piece) {
                          prepare(KeyPiece(&piece.arena, &piece.arena, piece.granules.data(), 1,
                                           piece.granules.size()),
                                  0);
                          return consume(0);
                      });
        return;
    }
    if (!storage.Sorted())
        storage.Sort();
    const std::size_t count = storage.orderSize;
    const std::uint32_t* order = storage.Order();
    const KeyArena& first = storage.shards[0].arena;
    const KeyArena& second = storage.shards[1].arena;
    const std::size_t keyBytes =
        (first.BytesAfter(0) + second.BytesAfter(0)) / std::max(count, std::size_t{1});
    pieceLines = std::clamp(pieceKeyBytes / keyBytes, std::size_t{1}, pieceLines);
    RelayPieces((count + pieceLines - 1) / pieceLines, slots,
                [&](std::size_t index, std::size_t slot) {
                    const std::size_t start = index * pieceLines;
                    const std::size_t size = std::min(pieceLines, count - start);
                    prepare(descending
                                ? KeyPiece(&first, &second, order + (count - 1 - start), -1, size)
                                : KeyPiece(&first, &second, order + start, 1, size),
                            slot);
                },
                consume);
}

} // namespace trelvane
