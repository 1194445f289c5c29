// An open-addressing index over lines kept in large blocks.
#include "engine/line_positions.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace trelvane {
namespace {

// Texts are stored in blocks of this many code units; a longer line gets a block of its own.
constexpr std::size_t blockUnits = std::size_t{1} << 20;

std::size_t HashOf(std::u16string_view line)
{
    return std::hash<std::u16string_view>{}(line);
}

std::uint32_t TagOf(std::size_t hash)
{
    return static_cast<std::uint32_t>(hash >> 32) | 1u;
}

} // namespace

LinePositions::LinePositions() = default;
LinePositions::~LinePositions() = default;

std::u16string_view LinePositions::Text(std::size_t index) const
{
    return std::u16string_view(entries_[index].text, entries_[index].length);
}

// The slot that holds line, or the free slot where it belongs (linear probing).
std::size_t LinePositions::SlotOf(std::u16string_view line, std::size_t hash) const
{
    const std::size_t mask = slots_.size() - 1;
    const std::uint32_t tag = TagOf(hash);
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const Slot& held = slots_[slot];
        if (held.entry == 0 || (held.hashTag == tag && Text(held.entry - 1) == line))
            return slot;
    }
}

// Doubles the index (starting at 1024 slots) and places every entry anew by its kept hash.
void LinePositions::Grow()
{
    if (entries_.size() >= UINT32_MAX - 1)
        throw std::length_error("too many lines for the removal report");
    slots_.assign(slots_.empty() ? 1024 : slots_.size() * 2, Slot{});
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t index = 0; index < entries_.size(); ++index) {
        std::size_t slot = hashes_[index] & mask;
        while (slots_[slot].entry != 0)
            slot = (slot + 1) & mask;
        slots_[slot] = {static_cast<std::uint32_t>(index + 1), entries_[index].hashTag};
    }
}

const char16_t* LinePositions::Store(std::u16string_view line)
{
    if (blocks_.empty() || blockUsed_ + line.size() > blockUnits) {
        blocks_.push_back(
            std::make_unique_for_overwrite<char16_t[]>(std::max(blockUnits, line.size())));
        blockUsed_ = 0;
    }
    char16_t* const text = blocks_.back().get() + blockUsed_;
    std::copy(line.begin(), line.end(), text);
    blockUsed_ += line.size();
    return text;
}

void LinePositions::Add(std::u16string_view line, Position position)
{
    // The index stays at most half full, so probes stay short.
    if ((entries_.size() + 1) * 2 > slots_.size())
        Grow();
    const std::size_t hash = HashOf(line);
    const std::size_t slot = SlotOf(line, hash);
    entries_.push_back(
        {Store(line), static_cast<std::uint32_t>(line.size()), TagOf(hash), position});
    hashes_.push_back(hash);
    slots_[slot] = {static_cast<std::uint32_t>(entries_.size()), entries_.back().hashTag};
}

LinePositions::Position* LinePositions::Find(std::u16string_view line)
{
    if (slots_.empty())
        return nullptr;
    const Slot& held = slots_[SlotOf(line, HashOf(line))];
    return held.entry == 0 ? nullptr : &entries_[held.entry - 1].position;
}

} // namespace trelvane
