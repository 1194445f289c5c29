// An open-addressing index over lines kept in one buffer.
#include "engine/line_positions.h"

#include <functional>
#include <stdexcept>

namespace trelvane {

std::u16string_view LinePositions::Text(std::size_t index) const
{
    const Entry& entry = entries_[index];
    return std::u16string_view(texts_).substr(entry.offset, entry.length);
}

// The slot that holds line, or the free slot where it belongs (linear probing).
std::size_t LinePositions::SlotOf(std::u16string_view line) const
{
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = std::hash<std::u16string_view>{}(line)&mask;;
         slot = (slot + 1) & mask) {
        const std::uint32_t held = slots_[slot];
        if (held == 0 || Text(held - 1) == line)
            return slot;
    }
}

// Doubles the index (starting at 1024 slots) and places every entry anew.
void LinePositions::Grow()
{
    if (entries_.size() >= UINT32_MAX - 1)
        throw std::length_error("too many lines for the removal report");
    slots_.assign(slots_.empty() ? 1024 : slots_.size() * 2, 0);
    for (std::size_t index = 0; index < entries_.size(); ++index)
        slots_[SlotOf(Text(index))] = static_cast<std::uint32_t>(index + 1);
}

void LinePositions::Add(std::u16string_view line, Position position)
{
    // The index stays at most half full, so probes stay short.
    if ((entries_.size() + 1) * 2 > slots_.size())
        Grow();
    entries_.push_back({texts_.size(), line.size(), position});
    texts_.append(line);
    slots_[SlotOf(line)] = static_cast<std::uint32_t>(entries_.size());
}

LinePositions::Position* LinePositions::Find(std::u16string_view line)
{
    if (slots_.empty())
        return nullptr;
    const std::uint32_t held = slots_[SlotOf(line)];
    return held == 0 ? nullptr : &entries_[held - 1].position;
}

} // namespace trelvane
