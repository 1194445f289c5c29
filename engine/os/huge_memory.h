// Large zero-filled memory blocks straight from the operating system.
#pragma once

#include <cstddef>

namespace trelvane {

/// A move-only block of zero-filled memory for big arenas and tables.
///
/// Pages are given only as they are first touched; growing keeps the contents without a copy
/// where the system can move pages. No huge pages are asked for: on the virtual machines we
/// measured, a first touch of a huge page that the host has taken back costs ten times what the
/// same memory costs in plain pages. Failure to get memory throws std::bad_alloc.
class LargeBuffer
{
public:
    LargeBuffer() = default;
    ~LargeBuffer();
    LargeBuffer(LargeBuffer&& other) noexcept;
    LargeBuffer& operator=(LargeBuffer&& other) noexcept;
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;

    /// Replaces the block by a fresh zero-filled one of at least bytes.
    void Allocate(std::size_t bytes);
    /// Makes the block at least bytes long, keeping its contents; it may move, new bytes are 0.
    void Grow(std::size_t bytes);
    /// Returns the block to the operating system; the buffer is empty afterwards.
    void Release() noexcept;

    /// Start of the block; null when empty.
    void* data() const { return data_; }
    /// Usable length of the block in bytes (the request rounded up to whole pages).
    std::size_t size() const { return size_; }

private:
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace trelvane
