// LargeBuffer on Linux: anonymous mappings, grown by mremap.
#include "engine/os/huge_memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <new>

namespace trelvane {
namespace {

std::size_t RoundUp(std::size_t bytes, std::size_t unit)
{
    return (bytes + unit - 1) / unit * unit;
}

std::size_t PageSize()
{
    static const auto pageSize = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return pageSize;
}

std::size_t MappingSize(std::size_t bytes)
{
    return RoundUp(bytes, PageSize());
}

void* Map(std::size_t bytes)
{
    void* address =
        mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (address == MAP_FAILED)
        throw std::bad_alloc();
    return address;
}

} // namespace

void LargeBuffer::Allocate(std::size_t bytes)
{
    Release();
    if (bytes == 0)
        return;
    const auto mappingSize = MappingSize(bytes);
    data_ = Map(mappingSize);
    size_ = mappingSize;
}

void LargeBuffer::Grow(std::size_t bytes)
{
    if (bytes <= size_)
        return;
    if (data_ == nullptr) {
        Allocate(bytes);
        return;
    }
    const auto mappingSize = MappingSize(bytes);
    // Moving the page tables to a fresh place keeps the contents without a copy.
    void* target = Map(mappingSize);
    void* moved = mremap(data_, size_, mappingSize, MREMAP_MAYMOVE | MREMAP_FIXED, target);
    if (moved == MAP_FAILED) {
        munmap(target, mappingSize);
        throw std::bad_alloc();
    }
    data_ = moved;
    size_ = mappingSize;
}

void LargeBuffer::Release() noexcept
{
    if (data_ != nullptr)
        munmap(data_, size_);
    data_ = nullptr;
    size_ = 0;
}

} // namespace trelvane
