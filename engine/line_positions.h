// Where each distinct line of a job was first stored; built only for the removal report.
#pragma once

#include "engine/os/huge_memory.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace trelvane {

/// A map from distinct lines to the place of their first stored occurrence, for tens of
/// millions of lines: it keeps a 64-bit hash of each line, not the line (the job's set holds
/// the lines). A line whose hash equals that of a line recorded before it is kept whole
/// beside the table, so every answer is exact.
class LinePositions
{
public:
    struct Position
    {
        std::uint32_t file = 0; ///< index of the input file, in the order files were started
        std::int64_t line = 0;  ///< line number in that file, from 1
    };

    /// Records line, which must not be recorded yet, at position.
    void Add(std::u16string_view line, Position position);
    /// The position of a line that was recorded; for any other line the result means nothing
    /// (nullopt or some position).
    std::optional<Position> Find(std::u16string_view line) const;
    std::size_t Size() const { return size_ + collided_.size(); }

private:
    struct Slot
    {
        std::uint64_t hash = 0;
        std::uint64_t place = 0; ///< file and line packed; 0 is a free slot
    };

    Slot* Slots() const { return static_cast<Slot*>(table_.data()); }
    std::size_t SlotOf(std::uint64_t hash) const;
    void Grow();

    LargeBuffer table_; ///< slotCount_ slots; huge pages keep the random probes cheap
    std::size_t slotCount_ = 0;
    std::size_t size_ = 0;
    std::unordered_map<std::u16string, Position> collided_;
};

} // namespace trelvane
