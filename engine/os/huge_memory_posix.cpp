// LargeBuffer on Linux: anonymous mappings, madvise(MADV_HUGEPAGE) and mremap.
#include "engine/os/huge_memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <new>

namespace trelvane {
namespace {

constexpr std::size_t hugePageSize = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t bytes, std::size_t unit)
{
    return (bytes + unit - 1) / unit * unit;
}

std::size_t PageSize()
{
    static const auto pageSize = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return pageSize;
}

// Huge pages need 2 MiB aligned regions; smaller blocks keep plain pages.
std::size_t MappingSize(std::size_t bytes)
{
    return RoundUp(bytes, bytes >= hugePageSize ? hugePageSize : PageSize());
}

void* MapAnonymous(std::size_t bytes)
{
    void* address =
        mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (address == MAP_FAILED)
        throw std::bad_alloc();
    return address;
}

// Maps bytes (a multiple of 2 MiB) at a 2 MiB boundary by trimming an over-sized mapping.
void* MapAligned(std::size_t bytes)
{
    auto* raw = static_cast<char*>(MapAnonymous(bytes + hugePageSize));
    const auto rawAddress = reinterpret_cast<std::uintptr_t>(raw);
    const auto head = RoundUp(rawAddress, hugePageSize) - rawAddress;
    if (head != 0)
        munmap(raw, head);
    munmap(raw + head + bytes, hugePageSize - head);
    return raw + head;
}

// Only a hint: without transparent huge pages the block still works, with slower first touches.
void AdviseHugePages(void* address, std::size_t bytes)
{
    if (bytes >= hugePageSize)
        madvise(address, bytes, MADV_HUGEPAGE);
}

void* Map(std::size_t bytes)
{
    if (bytes < hugePageSize)
        return MapAnonymous(bytes);
    void* address = MapAligned(bytes);
    AdviseHugePages(address, bytes);
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
    // Moving the page tables to a fresh aligned place keeps the contents without a copy.
    void* target = Map(mappingSize);
    void* moved = mremap(data_, size_, mappingSize, MREMAP_MAYMOVE | MREMAP_FIXED, target);
    if (moved == MAP_FAILED) {
        munmap(target, mappingSize);
        throw std::bad_alloc();
    }
    AdviseHugePages(moved, mappingSize);
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
