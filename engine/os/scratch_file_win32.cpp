// Windows implementation of the temporary file: a file that Windows deletes when its handle
// closes, also when the process ends in any other way.
#include "engine/os/scratch_file.h"

#include "engine/os/errno_win32.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <string>

namespace trelvane::os {
namespace {

HANDLE HandleOf(int fd)
{
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd));
}

std::u16string Utf16(const std::string& ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

// The folder for temporary files (TMP, TEMP, the user's own), without its final separator.
std::u16string TemporaryFolder()
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, path);
    std::u16string folder(reinterpret_cast<const char16_t*>(path), length);
    if (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/'))
        folder.pop_back();
    return folder;
}

} // namespace

// The handle is kept in fd_: Windows keeps kernel handles within 32 bits, also on 64-bit systems.
ScratchFile::~ScratchFile()
{
    if (fd_ >= 0)
        CloseHandle(HandleOf(fd_));
}

bool ScratchFile::Create()
{
    static std::atomic<unsigned> sequence{0};
    folder_ = TemporaryFolder();
    for (;;) {
        const std::u16string path = folder_ + u"\\trelvane-" +
                                    Utf16(std::to_string(GetCurrentProcessId())) + u"-" +
                                    Utf16(std::to_string(sequence.fetch_add(1))) + u".tmp";
        // Appending only: every write goes to the end, whatever was read before.
        const HANDLE handle = CreateFileW(
            reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ | FILE_APPEND_DATA, 0,
            nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            fd_ = static_cast<int>(reinterpret_cast<std::intptr_t>(handle));
            return true;
        }
        const DWORD failure = GetLastError();
        if (failure != ERROR_FILE_EXISTS) {
            error_ = ErrnoOf(failure);
            return false;
        }
    }
}

bool ScratchFile::Append(const char* data, std::size_t size)
{
    while (size > 0) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(size, INT_MAX));
        DWORD written = 0;
        const BOOL ok = WriteFile(HandleOf(fd_), data, chunk, &written, nullptr);
        if (!ok || written == 0) {
            error_ = ok ? ENOSPC : ErrnoOf(GetLastError());
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

std::ptrdiff_t ScratchFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD count = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(size, INT_MAX));
    if (ReadFile(HandleOf(fd_), buffer, chunk, &count, &at))
        return static_cast<std::ptrdiff_t>(count);
    if (GetLastError() == ERROR_HANDLE_EOF)
        return 0;
    error_ = ErrnoOf(GetLastError());
    return -1;
}

std::uint64_t PhysicalMemoryBytes()
{
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

} // namespace trelvane::os
