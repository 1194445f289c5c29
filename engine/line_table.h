// A set of distinct lines made for many lookups: one flat hash table over one byte store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace trelvane {

/// Distinct UTF-16 lines, numbered from 0 in the order in which they were first added.
///
/// The lines' bytes stand one after another in one buffer, in the code of EncodeAddressKey
/// (engine/address_key.h: ASCII stays one byte); an open-addressing table holds, per line, half
/// of its hash and its number. A filter in front of it (a Bloom filter of one 64-bit word per
/// lookup, 8 to 16 bits a line) answers most lookups of lines not held without touching the
/// table. No line has a node or an allocation of its own. Find may run on several threads at
/// once; Add and Clear may not run beside anything else.
class LineTable
{
public:
    /// What Find gives for a line that the table does not hold.
    static constexpr std::size_t none = static_cast<std::size_t>(-1);

    /// Makes room for lines more lines, of about bytes bytes, so that adding them does not grow
    /// the table.
    void Reserve(std::size_t lines, std::size_t bytes = 0);
    /// Adds line unless an equal one is held; returns the line's number and whether it is new.
    /// Throws std::bad_alloc beyond 2^32 - 2 lines.
    std::pair<std::size_t, bool> Add(std::u16string_view line);
    /// The number of the line equal to line, or none.
    std::size_t Find(std::u16string_view line) const;
    /// Find of the line whose EncodeAddressKey bytes are key: an ASCII line's own bytes.
    std::size_t FindKey(std::string_view key) const;
    std::size_t Size() const { return ends_.size(); }
    /// Removes every line; keeps the memory for the next lines.
    void Clear();

private:
    std::string_view Key(std::size_t number) const;
    void Resize(std::size_t slotCount);
    std::uint64_t& FilterWord(std::uint32_t tag);
    const std::uint64_t& FilterWord(std::uint32_t tag) const;

    /// Per slot: the upper half of the line's hash, then its number + 1; 0 is an empty slot.
    std::vector<std::uint64_t> slots_;
    std::size_t slotMask_ = 0;
    std::vector<std::uint64_t> filter_;
    std::vector<std::size_t> ends_; ///< where each line's bytes end in bytes_
    std::string bytes_;
};

} // namespace trelvane
