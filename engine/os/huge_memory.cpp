// The parts of LargeBuffer that do not depend on the platform: ownership.
#include "engine/os/huge_memory.h"

#include <utility>

namespace trelvane {

LargeBuffer::~LargeBuffer()
{
    Release();
}

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0))
{
}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept
{
    if (this != &other) {
        Release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

} // namespace trelvane
