// Where each distinct line of a job was first stored; built only for the removal report.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trelvane {

/// A map from distinct lines to the place of their first stored occurrence, compact enough for
/// tens of millions of lines: the texts share one buffer, the index is open addressing.
class LinePositions
{
public:
    struct Position
    {
        std::uint32_t file = 0; ///< index of the input file, in the order files were started
        bool skipped = false;   ///< the writer skipped the line
        std::int64_t line = 0;  ///< line number in that file, from 1
    };

    /// Records line, which must not be recorded yet, at position.
    void Add(std::u16string_view line, Position position);
    /// The position of line; nullptr when it is not recorded.
    Position* Find(std::u16string_view line);
    std::size_t Size() const { return entries_.size(); }
    /// The text of entry index (from 0, in the order of Add).
    std::u16string_view Text(std::size_t index) const;
    const Position& At(std::size_t index) const { return entries_[index].position; }

private:
    struct Entry
    {
        std::size_t offset = 0;
        std::size_t length = 0;
        Position position;
    };

    std::size_t SlotOf(std::u16string_view line) const;
    void Grow();

    std::u16string texts_;
    std::vector<Entry> entries_;
    std::vector<std::uint32_t> slots_; ///< entry index + 1; 0 is a free slot
};

} // namespace trelvane
