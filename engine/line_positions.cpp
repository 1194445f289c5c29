// An open-addressing table of line hashes and their first positions.
#include "engine/line_positions.h"

#include <functional>
#include <stdexcept>
#include <utility>

namespace trelvane {
namespace {

// A place packs the file index above the line number.
constexpr int lineBits = 44;
constexpr std::uint64_t lineMask = (std::uint64_t{1} << lineBits) - 1;

std::uint64_t HashOf(std::u16string_view line)
{
    return std::hash<std::u16string_view>{}(line);
}

std::uint64_t Pack(LinePositions::Position position)
{
    if (position.file >= (std::uint64_t{1} << (64 - lineBits)) || position.line < 1 ||
        static_cast<std::uint64_t>(position.line) > lineMask)
        throw std::length_error("too many files or lines for the removal report");
    return std::uint64_t{position.file} << lineBits | static_cast<std::uint64_t>(position.line);
}

LinePositions::Position Unpack(std::uint64_t place)
{
    return {static_cast<std::uint32_t>(place >> lineBits),
            static_cast<std::int64_t>(place & lineMask)};
}

} // namespace

// The slot that holds hash, or the free slot where it belongs (linear probing).
std::size_t LinePositions::SlotOf(std::uint64_t hash) const
{
    const Slot* const slots = Slots();
    const std::size_t mask = slotCount_ - 1;
    std::size_t slot = static_cast<std::size_t>(hash) & mask;
    while (slots[slot].place != 0 && slots[slot].hash != hash)
        slot = (slot + 1) & mask;
    return slot;
}

// Doubles the table (starting at 1024 slots) and places every slot anew.
void LinePositions::Grow()
{
    LargeBuffer old = std::move(table_);
    const Slot* const oldSlots = static_cast<const Slot*>(old.data());
    const std::size_t oldCount = slotCount_;
    slotCount_ = slotCount_ == 0 ? 1024 : slotCount_ * 2;
    table_.Allocate(slotCount_ * sizeof(Slot));
    for (std::size_t index = 0; index < oldCount; ++index) {
        if (oldSlots[index].place != 0)
            Slots()[SlotOf(oldSlots[index].hash)] = oldSlots[index];
    }
}

void LinePositions::Add(std::u16string_view line, Position position)
{
    // The table stays at most half full, so probes stay short.
    if ((size_ + 1) * 2 > slotCount_)
        Grow();
    const std::uint64_t hash = HashOf(line);
    Slot& slot = Slots()[SlotOf(hash)];
    if (slot.place != 0) {
        collided_.try_emplace(std::u16string(line), position);
        return;
    }
    slot = {hash, Pack(position)};
    ++size_;
}

std::optional<LinePositions::Position> LinePositions::Find(std::u16string_view line) const
{
    if (!collided_.empty()) {
        const auto found = collided_.find(std::u16string(line));
        if (found != collided_.end())
            return found->second;
    }
    if (slotCount_ == 0)
        return std::nullopt;
    const Slot& slot = Slots()[SlotOf(HashOf(line))];
    return slot.place == 0 ? std::nullopt : std::optional<Position>(Unpack(slot.place));
}

} // namespace trelvane
