// Windows implementation of the file layer: the C runtime's descriptor calls on UTF-16 paths,
// so that every name Windows allows works, whatever the ANSI code page.
#include "engine/os/file.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace trelvane::os {
namespace {

const wchar_t* WidePath(const std::u16string& path)
{
    return reinterpret_cast<const wchar_t*>(path.c_str());
}

// FILETIME counts 100 ns steps from 1601; the engine's clock counts nanoseconds from 1970.
std::int64_t UnixNanoseconds(const FILETIME& time)
{
    constexpr std::int64_t ticksFrom1601To1970 = 116'444'736'000'000'000;
    const auto ticks = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    return (ticks - ticksFrom1601To1970) * 100;
}

std::optional<FileIdentity> IdentityOfHandle(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info))
        return std::nullopt;
    FileIdentity identity;
    identity.device = info.dwVolumeSerialNumber;
    identity.inode = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    identity.size =
        static_cast<std::int64_t>((std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
    // Windows keeps no change time here; a replaced file shows in its file index instead.
    identity.modifiedNanoseconds = UnixNanoseconds(info.ftLastWriteTime);
    identity.changedNanoseconds = identity.modifiedNanoseconds;
    return identity;
}

// The runtime reports a folder opened as a file as EACCES; say what it is instead.
int OpenError(const std::u16string& path)
{
    const int error = errno;
    const DWORD attributes = GetFileAttributesW(WidePath(path));
    if (error == EACCES && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return EISDIR;
    return error;
}

// Calls of the runtime take int counts.
unsigned int ChunkOf(std::size_t size)
{
    return static_cast<unsigned int>(std::min<std::size_t>(size, INT_MAX));
}

} // namespace

std::string ErrorText(int errorNumber)
{
    char buffer[256] = {};
    strerror_s(buffer, sizeof buffer, errorNumber);
    return buffer;
}

// _wopen shares the file with other programs for reading and writing (_SH_DENYNO).
InputFile::InputFile(const std::u16string& path)
{
    fd_ = _wopen(WidePath(path), _O_RDONLY | _O_BINARY | _O_NOINHERIT | _O_SEQUENTIAL);
    if (fd_ < 0)
        error_ = OpenError(path);
}

InputFile::~InputFile()
{
    if (fd_ >= 0)
        _close(fd_);
}

std::ptrdiff_t InputFile::Read(char* buffer, std::size_t size)
{
    const int count = _read(fd_, buffer, ChunkOf(size));
    if (count < 0)
        error_ = errno;
    return count;
}

std::optional<FileIdentity> InputFile::Identity() const
{
    return IdentityOfHandle(reinterpret_cast<HANDLE>(_get_osfhandle(fd_)));
}

OutputFile::~OutputFile()
{
    if (fd_ >= 0)
        _close(fd_);
}

bool OutputFile::Open(const std::u16string& path)
{
    Close();
    error_ = 0;
    fd_ = _wsopen(WidePath(path), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                  _SH_DENYNO, _S_IREAD | _S_IWRITE);
    if (fd_ < 0) {
        error_ = OpenError(path);
        return false;
    }
    return true;
}

bool OutputFile::Write(const char* data, std::size_t size)
{
    while (size > 0) {
        const int count = _write(fd_, data, ChunkOf(size));
        if (count <= 0) {
            error_ = count < 0 ? errno : ENOSPC;
            return false;
        }
        data += count;
        size -= static_cast<std::size_t>(count);
    }
    return true;
}

bool OutputFile::Close()
{
    if (fd_ < 0)
        return true;
    const int result = _close(fd_);
    fd_ = -1;
    if (result != 0) {
        error_ = errno;
        return false;
    }
    return true;
}

std::optional<FileIdentity> IdentityOf(const std::u16string& path)
{
    // No access rights are needed to read a file's identity; FILE_FLAG_BACKUP_SEMANTICS opens
    // folders as well, as stat() does.
    const HANDLE handle =
        CreateFileW(WidePath(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    std::optional<FileIdentity> identity = IdentityOfHandle(handle);
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    return identity;
}

bool RemoveFile(const std::u16string& path)
{
    return _wremove(WidePath(path)) == 0;
}

} // namespace trelvane::os
