// A set of address lines in UTF-16 code-unit order, built for tens of millions of lines.
#pragma once

#include "engine/stop_flag.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace trelvane {

/// Consecutive lines of a walk of an AddressSet, as their keys (the bytes of EncodeAddressKey,
/// engine/address_key.h) with their tags. Valid only during the call it is handed to. Reading
/// the lines by increasing index is the fast way: KeyAt asks for the keys a few lines ahead.
class KeyPiece
{
public:
    std::size_t Size() const { return size_; }
    std::string_view KeyAt(std::size_t index) const;
    /// The tag of line index; 0 in a set that keeps no tags.
    std::uint64_t TagAt(std::size_t index) const;

private:
    friend class AddressSet;
    KeyPiece(const void* firstArena, const void* secondArena, const std::uint32_t* refs,
             std::ptrdiff_t step, std::size_t size)
        : arenas_{firstArena, secondArena}, refs_(refs), step_(step), size_(size)
    {
    }
    std::uint32_t RefAt(std::size_t index) const
    {
        return refs_[static_cast<std::ptrdiff_t>(index) * step_];
    }

    // The key arenas that the refs name: the top bit of a ref picks one, the rest is a granule.
    const void* arenas_[2];
    const std::uint32_t* refs_;
    std::ptrdiff_t step_;
    std::size_t size_;
};

/// The order in which a set hands out its lines.
enum class SetOrder
{
    Ascending,
    Descending,
};

/// An ordered set of unique wide strings.
///
/// Two lines are equal when their UTF-16 code units are; lines are ordered by unsigned
/// code-unit value, a proper prefix first (the order of std::u16string), or the reverse of
/// that for a descending set. Not safe for use from two threads at once.
///
/// Under a memory limit, a set that would outgrow it writes the lines it holds to a temporary
/// file as a sorted run and goes on empty; walking it merges the runs. Until Settle, Insert and
/// Contains know only the lines since the last run, and Size counts a line once per run.
class AddressSet
{
public:
    explicit AddressSet(SetOrder order = SetOrder::Ascending);
    ~AddressSet();
    AddressSet(const AddressSet&) = delete;
    AddressSet& operator=(const AddressSet&) = delete;

    /// Adds line; returns true when the set did not hold it yet.
    bool Insert(std::u16string_view line);
    /// Insert of a line given as its key (EncodeAddressKey) and that key's HashOf, which a
    /// caller can make on another thread.
    bool InsertKey(std::string_view key, std::uint32_t hash);
    /// InsertKey that stores tag with a new line; for a line held already, sets firstTag to the
    /// tag stored with it (0 in a set that keeps no tags).
    bool InsertKey(std::string_view key, std::uint32_t hash, std::uint64_t tag,
                   std::uint64_t& firstTag);
    /// Adds the line of key (EncodeAddressKey) without looking whether the set holds it: the
    /// fast way to fill a set that is then settled and walked. Repeats are dropped, and counted,
    /// by Settle or the next walk; until then Size counts them too. A set filled this way takes
    /// no Insert, InsertKey or Contains until it is cleared.
    void AppendKey(std::string_view key);
    /// Whether lines carry a tag, a number chosen by the inserter (such as where the line was
    /// read) that the set hands back for repeats and walks; called while the set is empty, it
    /// holds until changed, across Clear. Tags take 8 bytes a line.
    void KeepTags(bool tagged);
    /// The hash under which the set files the line of key.
    static std::uint32_t HashOf(std::string_view key);
    /// Makes room in the index for about lines more lines at once, instead of growing it step by
    /// step while they come (when it is made, for a set that has none yet); under a memory
    /// limit, only when the index stays well within it.
    /// bytes, the size of the input they come from, sizes the room for their keys the same way.
    void Reserve(std::size_t lines, std::uint64_t bytes = 0);
    /// Asks for the index entry that inserting a line of this hash reads first. A caller that
    /// asks some lines ahead, then asks PrefetchMatch a few lines later, finds both in cache when
    /// it inserts: a random memory access per line is what limits a big set.
    void Prefetch(std::uint32_t hash) const;
    /// Asks for the stored line that the index entry of hash points at, when it has that hash;
    /// meant for after Prefetch has brought the entry in.
    void PrefetchMatch(std::uint32_t hash) const;
    /// Whether the set holds a line equal to line.
    bool Contains(std::u16string_view line) const;
    /// Number of lines in the set (see AppendKey and SetMemoryLimit for when it counts repeats).
    std::size_t Size() const;
    bool Empty() const { return Size() == 0; }
    /// Removes every line and releases the memory and the temporary file they took; the memory
    /// limit stays.
    void Clear();
    /// Keeps the set's memory to about limitBytes (0: no limit) by writing runs, from the next
    /// Insert on. Writing a run throws ScratchFailure (engine/sorted_runs.h).
    void SetMemoryLimit(std::uint64_t limitBytes) { memoryLimit_ = limitBytes; }
    /// Whether the set has written runs since it was last cleared.
    bool HasRuns() const;
    /// Receives a line that repeats one of an earlier run: its tag and that of the first one.
    using VisitRepeat = std::function<void(std::u16string_view, std::uint64_t, std::uint64_t)>;
    /// Ends the inserts: drops the repeats that AppendKey let in and, for a set that wrote runs,
    /// merges them into one run, counting its distinct lines and telling repeat (when given) of
    /// every line that Insert took as new but that repeats a line of an earlier run. Returns the
    /// number of lines so dropped that no earlier Settle counted; 0 when stop was requested
    /// meanwhile (the set is then not settled).
    std::uint64_t Settle(const StopFlag* stop, const VisitRepeat& repeat = {});
    /// Calls visit for every line in the set's order until it returns false; the view is valid
    /// only during the call.
    void ForEach(const std::function<bool(std::u16string_view)>& visit) const;
    using VisitTagged = std::function<bool(std::u16string_view, std::uint64_t)>;
    /// ForEach with each line's tag.
    void ForEachTagged(const VisitTagged& visit) const;
    SetOrder Order() const { return order_; }

    /// Turns the keys of a piece into what consume needs, kept in buffer slot.
    using PreparePiece = std::function<void(const KeyPiece& keys, std::size_t slot)>;
    /// Takes the piece prepared in slot; false ends the walk.
    using ConsumePiece = std::function<bool(std::size_t slot)>;
    /// ForEachTagged in pieces of pieceLines lines (fewer when lines are long, so that a piece
    /// holds about 1 MiB of keys; the last may be shorter), so that the work per line can be shared
    /// by two threads: prepare may run on a helper thread, two calls at once on different slots, at
    /// most slots pieces ahead; consume is called on the calling thread for every piece in the
    /// set's order, until it returns false. A set that wrote runs is merged on the helper thread
    /// instead, and every piece is prepared on the calling thread, in slot 0. An exception from
    /// either is passed on once the helper has stopped. Merging throws ScratchFailure.
    void WalkPieces(std::size_t pieceLines, std::size_t slots, const PreparePiece& prepare,
                    const ConsumePiece& consume) const;

private:
    struct Storage;
    template <typename Visit> void Walk(const Visit& visit) const;

    SetOrder order_;
    std::uint64_t memoryLimit_ = 0;
    bool tagged_ = false;
    std::unique_ptr<Storage> storage_;
};

} // namespace trelvane
