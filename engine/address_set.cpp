// The ordered set of address lines: byte keys in one growing arena, a hash index for
// de-duplication, and a sort (on two threads) on the first walk after inserts. Under a memory
// limit, full arenas go to a temporary file as sorted runs, merged when the set is walked.
#include "engine/address_set.h"

#include "engine/address_key.h"
#include "engine/address_key_sort.h"
#include "engine/batch_hand_off.h"
#include "engine/os/huge_memory.h"
#include "engine/piece_relay.h"
#include "engine/sorted_runs.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace trelvane {
namespace {

// Keys start on multiples of granuleBytes, so a 32-bit granule number addresses 16 GiB.
constexpr std::size_t granuleBytes = 4;
constexpr std::size_t maxArenaBytes = (std::size_t{1} << 32) * granuleBytes;
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
// Lines of a merge between two looks at the stop flag.
constexpr std::size_t stopCheckLines = std::size_t{1} << 16;

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

// A multiply-rotate hash over the line's code units, in two independent lanes of 8 bytes so that
// their multiplications overlap; the length takes part, so lines that differ only by trailing NUL
// units differ. It works on the line itself, not on its key, so that it can be taken (and the
// index asked for) before the key is encoded.
std::uint32_t HashLine(std::u16string_view line)
{
    const auto* bytes = reinterpret_cast<const char*>(line.data());
    const std::size_t size = line.size() * sizeof(char16_t);
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

/// Length-prefixed keys (LEB128 lengths) one after another in one buffer, which grows without
/// copying, each after its 8-byte tag when the arena keeps tags; a key is named by the granule
/// its record starts on.
class KeyArena
{
public:
    /// Whether keys carry tags; set while the arena is empty.
    void KeepTags(bool tagged) { tagBytes_ = tagged ? sizeof(std::uint64_t) : 0; }
    std::uint32_t Append(std::string_view key, std::uint64_t tag);
    /// Bytes taken by keys so far, including what appending a key of keyBytes would take.
    std::size_t BytesAfter(std::size_t keyBytes) const
    {
        return used_ + tagBytes_ + maxLengthFieldBytes + keyBytes + keyPadding;
    }
    /// Forgets every key but keeps the buffer, whose pages are then reused without new faults.
    void Reset() { used_ = granuleBytes; }
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
    /// Calls visit(granule, key) for every key, in the order of appending.
    template <typename Visit> void ForEachKey(Visit visit) const;

private:
    const char* Base() const { return static_cast<const char*>(buffer_.data()); }

    LargeBuffer buffer_;
    std::size_t tagBytes_ = 0;
    // Granule 0 is never used, so index entries (hash, granule) are never 0.
    std::size_t used_ = granuleBytes;
};

std::uint32_t KeyArena::Append(std::string_view key, std::uint64_t tag)
{
    std::size_t length = key.size();
    const std::size_t needed = BytesAfter(length);
    if (needed > maxArenaBytes)
        throw std::length_error("address set cannot hold more text");
    if (needed > buffer_.size())
        buffer_.Grow(
            std::max({needed, std::min(2 * buffer_.size(), maxArenaBytes), firstArenaBytes}));
    auto* out = static_cast<unsigned char*>(buffer_.data()) + used_;
    std::memcpy(out, &tag, tagBytes_);
    out += tagBytes_;
    for (; length >= 0x80; length >>= 7)
        *out++ = static_cast<unsigned char>(0x80 | (length & 0x7F));
    *out++ = static_cast<unsigned char>(length);
    std::memcpy(out, key.data(), key.size());
    const auto granule = static_cast<std::uint32_t>(used_ / granuleBytes);
    used_ = RoundUp(static_cast<std::size_t>(out - static_cast<unsigned char*>(buffer_.data())) +
                        key.size(),
                    granuleBytes);
    return granule;
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

template <typename Visit> void KeyArena::ForEachKey(Visit visit) const
{
    for (std::size_t at = granuleBytes; at < used_;) {
        const auto granule = static_cast<std::uint32_t>(at / granuleBytes);
        const std::string_view key = KeyAt(granule);
        visit(granule, key);
        at = RoundUp(static_cast<std::size_t>(key.data() - Base()) + key.size(), granuleBytes);
    }
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
    KeyArena arena;
    std::size_t count = 0;
    // Open addressing with linear probing: the line's hash in the high half of an entry, its
    // key's granule in the low half; 0 is a free slot. Dropped while sorting, rebuilt on demand.
    LargeBuffer index;
    std::size_t slotMask = 0;
    // The granules in ascending key order; valid while sorted is true.
    LargeBuffer order;
    bool sorted = true;
    SortedRuns runs;
    // Set by Settle: distinct is then the number of distinct lines over all runs.
    bool settled = false;
    std::size_t distinct = 0;
    std::string encoded;
    std::u16string decoded;

    std::uint64_t* Slots() const { return static_cast<std::uint64_t*>(index.data()); }
    std::string_view Encode(std::u16string_view line);
    std::u16string_view Decode(std::string_view key);
    struct Probe
    {
        std::uint64_t* slot; ///< the slot holding the key, or the free slot where it belongs
        std::string_view key;
    };
    Probe Find(std::u16string_view line, std::uint32_t hash);
    void Place(std::uint64_t entry);
    void NewIndex(std::size_t slotCount);
    void EnsureIndex();
    void GrowIndex(std::size_t slotCount = 0);
    bool Insert(std::u16string_view line, std::uint32_t hash, std::uint64_t tag,
                std::uint64_t& firstTag, std::uint64_t limit, bool descending);
    bool WouldOutgrow(std::size_t keyBytes, std::uint64_t limit) const;
    void WriteRun(bool descending);
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

// The slot is fetched first, so that its cache miss overlaps the encoding of the key.
AddressSet::Storage::Probe AddressSet::Storage::Find(std::u16string_view line, std::uint32_t hash)
{
    std::uint64_t* slots = Slots();
    std::size_t at = hash & slotMask;
    __builtin_prefetch(slots + at);
    const std::string_view key = Encode(line);
    for (;; at = (at + 1) & slotMask) {
        const std::uint64_t entry = slots[at];
        if (entry == 0)
            return {slots + at, key};
        if ((entry >> 32) != hash)
            continue;
        // Both cache lines at once; reading the length first would fetch them one after another.
        arena.Prefetch(static_cast<std::uint32_t>(entry));
        if (arena.KeyAt(static_cast<std::uint32_t>(entry)) == key)
            return {slots + at, key};
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
void AddressSet::Storage::NewIndex(std::size_t slotCount)
{
    index.Allocate(slotCount * sizeof(std::uint64_t));
    slotMask = slotCount - 1;
}

void AddressSet::Storage::EnsureIndex()
{
    if (index.data() != nullptr)
        return;
    NewIndex(std::max(fewestSlots, std::bit_ceil(2 * count + 2)));
    arena.ForEachKey([this](std::uint32_t granule, std::string_view key) {
        Place((std::uint64_t{HashLine(Decode(key))} << 32) | granule);
    });
}

// Doubles the index, or makes it slotCount slots, from the stored hashes, without touching a key.
void AddressSet::Storage::GrowIndex(std::size_t slotCount)
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

bool AddressSet::Storage::Insert(std::u16string_view line, std::uint32_t hash, std::uint64_t tag,
                                 std::uint64_t& firstTag, std::uint64_t limit, bool descending)
{
    EnsureIndex();
    const Probe probe = Find(line, hash);
    if (*probe.slot != 0) {
        firstTag = arena.TagAt(static_cast<std::uint32_t>(*probe.slot));
        return false;
    }
    if (limit != 0 && count != 0 && WouldOutgrow(probe.key.size(), limit)) {
        WriteRun(descending);
        return Insert(line, hash, tag, firstTag, limit, descending);
    }
    // Keep the load factor at or below three quarters: with the slots asked for ahead, longer
    // probes cost less than the memory of a sparser index. Growing comes before appending, so a
    // failure leaves every key of the arena counted and indexed.
    const bool grow = IndexFull(count + 1, slotMask + 1);
    if (grow)
        GrowIndex();
    const std::uint64_t entry = (std::uint64_t{hash} << 32) | arena.Append(probe.key, tag);
    ++count;
    if (grow)
        Place(entry);
    else
        *probe.slot = entry;
    if (sorted)
        order.Release();
    sorted = false;
    settled = false;
    return true;
}

// Whether adding a key of keyBytes would take the set past limit: the arena, and the larger of
// the index (old and new while it doubles) and the sort's working memory.
bool AddressSet::Storage::WouldOutgrow(std::size_t keyBytes, std::uint64_t limit) const
{
    const std::size_t slots = slotMask + 1;
    const bool grow = IndexFull(count + 1, slots);
    const std::size_t indexBytes = (grow ? 3 : 1) * slots * sizeof(std::uint64_t);
    const std::size_t sortBytes = (count + 1) * sortBytesPerKey;
    return arena.BytesAfter(keyBytes) + std::max(indexBytes, sortBytes) > limit;
}

// Writes the keys held in memory to the temporary file as one run, in the set's order, and
// empties the set's memory for the next lines.
void AddressSet::Storage::WriteRun(bool descending)
{
    if (!sorted)
        Sort();
    runs.BeginRun();
    for (std::size_t step = 0; step < count; ++step) {
        const std::uint32_t granule = Order()[descending ? count - 1 - step : step];
        runs.Add(arena.KeyAt(granule), arena.TagAt(granule));
    }
    runs.EndRun();
    arena.Reset();
    count = 0;
    order.Release();
    index.Release();
    sorted = true;
}

// Puts the granules in ascending key order. The sort entries take the index's memory, whose
// pages are already touched, grown when the index is fuller than one half; the order then
// takes the entries' memory.
void AddressSet::Storage::Sort()
{
    LargeBuffer entryBuffer = std::move(index);
    entryBuffer.Grow(count * sizeof(addresskey::SortEntry));
    auto* entries = static_cast<addresskey::SortEntry*>(entryBuffer.data());
    auto* next = entries;
    arena.ForEachKey([&next](std::uint32_t granule, std::string_view key) {
        *next++ = addresskey::MakeSortEntry(granule, key, 0);
    });
    const KeyArena& keys = arena;
    addresskey::SortKeys(entries, entries + count,
                         [&keys](std::uint32_t granule) { return keys.KeyAt(granule); });
    order = std::move(entryBuffer);
    sorted = true;
}

AddressSet::AddressSet(SetOrder order) : order_(order), storage_(std::make_unique<Storage>()) {}

AddressSet::~AddressSet() = default;

bool AddressSet::Insert(std::u16string_view line, std::uint32_t hash)
{
    std::uint64_t firstTag = 0;
    return Insert(line, hash, 0, firstTag);
}

bool AddressSet::Insert(std::u16string_view line, std::uint32_t hash, std::uint64_t tag,
                        std::uint64_t& firstTag)
{
    return storage_->Insert(line, hash, tag, firstTag, memoryLimit_,
                            order_ == SetOrder::Descending);
}

void AddressSet::KeepTags(bool tagged)
{
    tagged_ = tagged;
    storage_->arena.KeepTags(tagged);
}

std::uint32_t AddressSet::HashOf(std::u16string_view line)
{
    return HashLine(line);
}

void AddressSet::Prefetch(std::uint32_t hash) const
{
    const Storage& storage = *storage_;
    if (storage.index.data() != nullptr)
        __builtin_prefetch(storage.Slots() + (hash & storage.slotMask));
}

void AddressSet::PrefetchMatch(std::uint32_t hash) const
{
    const Storage& storage = *storage_;
    if (storage.index.data() == nullptr)
        return;
    const std::uint64_t entry = storage.Slots()[hash & storage.slotMask];
    if (entry != 0 && (entry >> 32) == hash)
        storage.arena.Prefetch(static_cast<std::uint32_t>(entry));
}

void AddressSet::Reserve(std::size_t lines)
{
    Storage& storage = *storage_;
    storage.EnsureIndex();
    // Room for as many keys as lines, most of which lines usually are: repeats leave the index
    // sparser, and a list without repeats grows it once more at the end.
    const std::size_t slots = std::bit_ceil(storage.count + lines);
    // Under a limit, an index that may never fill is not worth the memory it takes from the
    // keys: runs would be written sooner.
    if (slots <= storage.slotMask + 1 ||
        (memoryLimit_ != 0 && slots * sizeof(std::uint64_t) > memoryLimit_ / 4))
        return;
    storage.GrowIndex(slots);
}

bool AddressSet::Contains(std::u16string_view line) const
{
    if (Empty())
        return false;
    storage_->EnsureIndex();
    return *storage_->Find(line, HashLine(line)).slot != 0;
}

std::size_t AddressSet::Size() const
{
    const Storage& storage = *storage_;
    if (storage.settled)
        return storage.distinct;
    return storage.count + static_cast<std::size_t>(storage.runs.KeyCount());
}

void AddressSet::Clear()
{
    storage_ = std::make_unique<Storage>();
    storage_->arena.KeepTags(tagged_);
}

bool AddressSet::HasRuns() const
{
    return !storage_->runs.Empty();
}

std::uint64_t AddressSet::Settle(const StopFlag* stop, const VisitRepeat& repeat)
{
    Storage& storage = *storage_;
    if (storage.runs.Empty() || storage.settled)
        return 0;
    // The last lines become a run too; the arena's memory is not needed any more.
    if (storage.count != 0)
        storage.WriteRun(order_ == SetOrder::Descending);
    storage.arena = KeyArena();
    storage.arena.KeepTags(tagged_);
    std::size_t lines = 0;
    std::size_t distinct = 0;
    bool stopped = false;
    const auto goOn = [&] {
        stopped = ++lines % stopCheckLines == 0 && stop != nullptr && stop->IsRequested();
        return !stopped;
    };
    SortedRuns::VisitRepeat visitRepeat;
    if (repeat) {
        visitRepeat = [&](std::string_view key, std::uint64_t tag, std::uint64_t firstTag) {
            repeat(storage.Decode(key), tag, firstTag);
            return goOn();
        };
    }
    storage.runs.Merge(
        order_ == SetOrder::Descending, ReadBudget(memoryLimit_),
        [&](std::string_view, std::uint64_t) {
            ++distinct;
            return goOn();
        },
        visitRepeat);
    if (stopped)
        return 0;
    storage.distinct = distinct;
    storage.settled = true;
    return storage.runs.KeyCount() - distinct;
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
        if (storage.count != 0)
            storage.WriteRun(order_ == SetOrder::Descending);
        storage.runs.Merge(order_ == SetOrder::Descending, ReadBudget(memoryLimit_),
                           [&](std::string_view key, std::uint64_t tag) {
                               return visit(storage.Decode(key), tag);
                           });
        return;
    }
    if (!storage.sorted)
        storage.Sort();
    const std::size_t count = storage.count;
    const bool descending = order_ == SetOrder::Descending;
    const auto granuleAt = [&](std::size_t step) {
        return storage.Order()[descending ? count - 1 - step : step];
    };
    for (std::size_t step = 0; step < count; ++step) {
        if (step + prefetchDistance < count)
            storage.arena.Prefetch(granuleAt(step + prefetchDistance));
        const std::uint32_t granule = granuleAt(step);
        if (!visit(storage.Decode(storage.arena.KeyAt(granule)), storage.arena.TagAt(granule)))
            return;
    }
}

std::string_view KeyPiece::KeyAt(std::size_t index) const
{
    const auto& arena = *static_cast<const KeyArena*>(arena_);
    if (index == 0) {
        for (std::size_t ahead = 1; ahead < std::min(prefetchDistance, size_); ++ahead)
            arena.Prefetch(GranuleAt(ahead));
    }
    if (index + prefetchDistance < size_)
        arena.Prefetch(GranuleAt(index + prefetchDistance));
    return arena.KeyAt(GranuleAt(index));
}

std::uint64_t KeyPiece::TagAt(std::size_t index) const
{
    return static_cast<const KeyArena*>(arena_)->TagAt(GranuleAt(index));
}

void AddressSet::WalkPieces(std::size_t pieceLines, std::size_t slots, const PreparePiece& prepare,
                            const ConsumePiece& consume) const
{
    assert(pieceLines > 0 && slots > 0 && "a walk in pieces needs lines and slots");
    Storage& storage = *storage_;
    const bool descending = order_ == SetOrder::Descending;
    if (!storage.runs.Empty()) {
        if (storage.count != 0)
            storage.WriteRun(descending);
        MergeInPieces(
            storage.runs, descending, ReadBudget(memoryLimit_), tagged_, pieceLines,
            [&](MergedPiece& piece) {
                prepare(KeyPiece(&piece.arena, piece.granules.data(), 1, piece.granules.size()), 0);
                return consume(0);
            });
        return;
    }
    if (!storage.sorted)
        storage.Sort();
    const std::size_t count = storage.count;
    const std::uint32_t* order = storage.Order();
    const std::size_t keyBytes = storage.arena.BytesAfter(0) / std::max(count, std::size_t{1});
    pieceLines = std::clamp(pieceKeyBytes / keyBytes, std::size_t{1}, pieceLines);
    RelayPieces((count + pieceLines - 1) / pieceLines, slots,
                [&](std::size_t index, std::size_t slot) {
                    const std::size_t first = index * pieceLines;
                    const std::size_t size = std::min(pieceLines, count - first);
                    prepare(descending
                                ? KeyPiece(&storage.arena, order + (count - 1 - first), -1, size)
                                : KeyPiece(&storage.arena, order + first, 1, size),
                            slot);
                },
                consume);
}

} // namespace trelvane
