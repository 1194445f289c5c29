// Windows implementation of the file layer: the C runtime's descriptor calls on UTF-16 paths,
// so that every name Windows allows works, whatever the ANSI code page.
#include "engine/os/file.h"

#include <windows.h>
// windows.h names its own ReplaceFile function by this macro; ours is os::ReplaceFile.
#undef ReplaceFile

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

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
    identity.isDirectory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    identity.isRegular = !identity.isDirectory && GetFileType(handle) == FILE_TYPE_DISK;
    return identity;
}

// A pipe or a device (NUL, CON) has no file information: only its type.
std::optional<FileIdentity> IdentityOfStream(HANDLE handle)
{
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr)
        return std::nullopt;
    const DWORD type = GetFileType(handle);
    if (type == FILE_TYPE_DISK)
        return IdentityOfHandle(handle);
    if (type != FILE_TYPE_PIPE && type != FILE_TYPE_CHAR)
        return std::nullopt;
    return FileIdentity{};
}

// The errno for a Win32 error of a file operation.
int ErrnoOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    default:
        return EIO;
    }
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

// _wopen shares the file with other programs for reading and writing (_SH_DENYNO). A pipe or a
// device is read as it comes: Read then waits for its data.
InputFile::InputFile(const std::u16string& path)
{
    if (path == StandardInputPath()) {
        fd_ = _dup(_fileno(stdin));
        if (fd_ >= 0)
            _setmode(fd_, _O_BINARY);
    } else {
        fd_ = _wopen(WidePath(path), _O_RDONLY | _O_BINARY | _O_NOINHERIT | _O_SEQUENTIAL);
    }
    if (fd_ < 0) {
        error_ = OpenError(path);
        return;
    }
    regular_ = GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd_))) == FILE_TYPE_DISK;
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

bool OutputFile::CreateBeside(const std::u16string& finalPath)
{
    static std::atomic<unsigned> sequence{0};
    Close();
    error_ = 0;
    path_.clear();
    const std::optional<FileIdentity> existing = IdentityOf(finalPath);
    if (existing && existing->isDirectory) {
        error_ = EISDIR;
        return false;
    }
    // A device or a pipe (NUL, a named pipe) must not be replaced by a file: write to it.
    if (existing && !existing->isRegular) {
        fd_ = _wsopen(WidePath(finalPath), _O_WRONLY | _O_BINARY | _O_NOINHERIT, _SH_DENYNO);
        error_ = fd_ < 0 ? OpenError(finalPath) : 0;
        return fd_ >= 0;
    }
    // A read-only file is not replaced either.
    const DWORD attributes = GetFileAttributesW(WidePath(finalPath));
    if (existing && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        error_ = EACCES;
        return false;
    }
    const std::size_t separator = finalPath.find_last_of(u"\\/");
    const std::size_t nameStart = separator == std::u16string::npos ? 0 : separator + 1;
    // Another process may have left a file of the same name (after a crash, with a reused id).
    for (;;) {
        const std::string number =
            std::to_string(GetCurrentProcessId()) + "-" + std::to_string(sequence.fetch_add(1));
        const std::u16string path = finalPath.substr(0, nameStart) + u"." +
                                    finalPath.substr(nameStart) + u".trelvane-" +
                                    std::u16string(number.begin(), number.end()) + u".tmp";
        fd_ = _wsopen(WidePath(path), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                      _SH_DENYNO, _S_IREAD | _S_IWRITE);
        if (fd_ >= 0) {
            path_ = path;
            return true;
        }
        if (errno != EEXIST) {
            error_ = OpenError(path);
            return false;
        }
    }
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
    if (path == StandardInputPath())
        return IdentityOfStream(GetStdHandle(STD_INPUT_HANDLE));
    // No access rights are needed to read a file's identity; FILE_FLAG_BACKUP_SEMANTICS opens
    // folders as well, as stat() does.
    const HANDLE handle =
        CreateFileW(WidePath(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    std::optional<FileIdentity> identity = IdentityOfStream(handle);
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    return identity;
}

// The standard input has no path on Windows; the command line's "-" names it.
std::u16string StandardInputPath()
{
    return u"-";
}

bool RemoveFile(const std::u16string& path)
{
    return _wremove(WidePath(path)) == 0;
}

int ReplaceFile(const std::u16string& from, const std::u16string& to)
{
    if (MoveFileExW(WidePath(from), WidePath(to), MOVEFILE_REPLACE_EXISTING))
        return 0;
    const DWORD error = GetLastError();
    // Windows refuses to replace a folder as it refuses access; say what it is instead.
    const DWORD attributes = GetFileAttributesW(WidePath(to));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return EISDIR;
    return ErrnoOf(error);
}

} // namespace trelvane::os
