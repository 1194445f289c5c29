// LargeBuffer on Windows: committed pages from VirtualAlloc, which come zero-filled.
#include "engine/os/huge_memory.h"

#include <windows.h>

#include <cstring>
#include <new>

namespace trelvane {
namespace {

std::size_t PageSize()
{
    static const std::size_t pageSize = [] {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        return static_cast<std::size_t>(info.dwPageSize);
    }();
    return pageSize;
}

std::size_t RoundUpToPages(std::size_t bytes)
{
    return (bytes + PageSize() - 1) / PageSize() * PageSize();
}

void* Commit(std::size_t bytes)
{
    void* address = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (address == nullptr)
        throw std::bad_alloc();
    return address;
}

} // namespace

void LargeBuffer::Allocate(std::size_t bytes)
{
    Release();
    if (bytes == 0)
        return;
    const std::size_t size = RoundUpToPages(bytes);
    data_ = Commit(size);
    size_ = size;
}

void LargeBuffer::Grow(std::size_t bytes)
{
    if (bytes <= size_)
        return;
    if (data_ == nullptr) {
        Allocate(bytes);
        return;
    }
    // Windows cannot move pages to a larger region, so the contents are copied.
    const std::size_t size = RoundUpToPages(bytes);
    void* grown = Commit(size);
    std::memcpy(grown, data_, size_);
    Release();
    data_ = grown;
    size_ = size;
}

void LargeBuffer::Release() noexcept
{
    if (data_ != nullptr)
        VirtualFree(data_, 0, MEM_RELEASE);
    data_ = nullptr;
    size_ = 0;
}

} // namespace trelvane
