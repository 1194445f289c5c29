// Preparing numbered pieces of work on two threads while the calling thread takes them in order.
#pragma once

#include <cstddef>
#include <functional>

namespace trelvane {

/// Fills buffer slot (below the relay's slot count) with the result of piece.
using PrepareSlot = std::function<void(std::size_t piece, std::size_t slot)>;
/// Takes the prepared slot; false ends the relay.
using ConsumeSlot = std::function<bool(std::size_t slot)>;

/// Prepares pieces 0 to pieceCount - 1 and hands each, in order, to consume on the calling
/// thread; returns false when consume did, true once every piece was consumed.
///
/// Piece p goes into slot p % slots, at most slots pieces ahead of the one being consumed, so
/// the slots bound the memory in flight. prepare runs on a helper thread and, while the next
/// piece in order is not ready, on the calling thread too: two calls may run at once, beside
/// consume, but never on the same slot. Without a thread to be had, the calling thread prepares
/// and consumes by turns. An exception from prepare or consume is passed on once the helper has
/// stopped; pieces not yet consumed are then dropped.
bool RelayPieces(std::size_t pieceCount, std::size_t slots, const PrepareSlot& prepare,
                 const ConsumeSlot& consume);

} // namespace trelvane
