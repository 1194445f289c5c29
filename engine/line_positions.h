// Where each distinct line of a job was first stored; built only for the removal report.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace trelvane {

/// A map from distinct lines to the place of their first stored occurrence, compact enough for
/// tens of millions of lines: the texts sit in large shared blocks, the index is open
/// addressing with a part of each line's hash beside its entry number, so that a probe seldom
/// has to look at a text.
class LinePositions
{
public:
    struct Position
    {
        std::uint32_t file = 0; ///< index of the input file, in the order files were started
        bool skipped = false;   ///< the writer skipped the line
        std::int64_t line = 0;  ///< line number in that file, from 1
    };

    LinePositions();
    ~LinePositions();

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
        const char16_t* text = nullptr;
        std::uint32_t length = 0;
        std::uint32_t hashTag = 0;
        Position position;
    };
    struct Slot
    {
        std::uint32_t entry = 0; ///< entry index + 1; 0 is a free slot
        std::uint32_t hashTag = 0;
    };

    std::size_t SlotOf(std::u16string_view line, std::size_t hash) const;
    void Grow();
    const char16_t* Store(std::u16string_view line);

    std::vector<std::unique_ptr<char16_t[]>> blocks_;
    std::size_t blockUsed_ = 0;
    std::vector<Entry> entries_;
    std::vector<std::size_t> hashes_; ///< the full hash of each entry, for growing the index
    std::vector<Slot> slots_;
};

} // namespace trelvane
