// Windows implementation of the file layer: the C runtime's descriptor calls on UTF-16 paths,
// so that every name Windows allows works, whatever the ANSI code page.
#include "engine/os/file.h"

#include "engine/os/errno_win32.h"

#include <windows.h>
// <windows.h> names ReplaceFileW so; the file layer's own ReplaceFile is meant here.
#undef ReplaceFile

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

namespace trelvane::os {
namespace {

// No file can have this name: Windows allows no '<' or '>' in one.
constexpr std::u16string_view standardInputPath = u"<stdin>";

const wchar_t* WidePath(const std::u16string& path)
{
    return reinterpret_cast<const wchar_t*>(path.c_str());
}

HANDLE HandleOf(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// FILETIME counts 100 ns steps from 1601; the engine's clock counts nanoseconds from 1970.
std::int64_t UnixNanoseconds(const FILETIME& time)
{
    constexpr std::int64_t ticksFrom1601To1970 = 116'444'736'000'000'000;
    const auto ticks = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    return (ticks - ticksFrom1601To1970) * 100;
}

// A pipe or a character device (the console, NUL) has only its type to tell.
std::optional<FileIdentity> IdentityOfHandle(HANDLE handle)
{
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    const DWORD type = GetFileType(handle);
    if (type == FILE_TYPE_PIPE || type == FILE_TYPE_CHAR)
        return FileIdentity{};
    BY_HANDLE_FILE_INFORMATION info{};
    if (type != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info))
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
    identity.isRegular = !identity.isDirectory;
    return identity;
}

bool IsDirectory(const std::u16string& path)
{
    const DWORD attributes = GetFileAttributesW(WidePath(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The runtime reports a folder opened as a file as EACCES; say what it is instead.
int OpenError(const std::u16string& path)
{
    const int error = errno;
    return error == EACCES && IsDirectory(path) ? EISDIR : error;
}

// Calls of the runtime take int counts.
unsigned int ChunkOf(std::size_t size)
{
    return static_cast<unsigned int>(std::min<std::size_t>(size, INT_MAX));
}

// Waits up to waitMs for bytes in a pipe; false when none came. A pipe whose writer has gone
// counts as ready: the read then tells the end.
bool PipeHasData(HANDLE pipe, int waitMs)
{
    constexpr int stepMs = 10;
    for (int waited = 0;; waited += stepMs) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available > 0)
            return true;
        if (waited >= waitMs)
            return false;
        Sleep(stepMs);
    }
}

// Waits up to waitMs until a read of fd will not block; false when it would still.
bool IsReadable(int fd, int waitMs)
{
    const HANDLE handle = HandleOf(fd);
    switch (GetFileType(handle)) {
    case FILE_TYPE_PIPE:
        return PipeHasData(handle, waitMs);
    case FILE_TYPE_CHAR: // the console signals its handle when input is waiting; NUL never blocks
        return WaitForSingleObject(handle, static_cast<DWORD>(waitMs)) != WAIT_TIMEOUT;
    default:
        return true;
    }
}

// The name of finalPath's folder with its separator, and finalPath's own name.
std::pair<std::u16string, std::u16string> SplitPath(const std::u16string& path)
{
    const std::size_t separator = path.find_last_of(u"/\\:");
    const std::size_t nameStart = separator == std::u16string::npos ? 0 : separator + 1;
    return {path.substr(0, nameStart), path.substr(nameStart)};
}

std::u16string Utf16(const std::string& ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

// A file given as standard input is read from its start at every opening, as /dev/stdin is on
// Linux: the job reads it twice. A pipe or the console is taken as it is.
int OpenStandardInput()
{
    const int fd = _dup(0);
    if (fd >= 0 && GetFileType(HandleOf(fd)) == FILE_TYPE_DISK)
        _lseeki64(fd, 0, SEEK_SET);
    return fd;
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
    fd_ = path == standardInputPath
              ? OpenStandardInput()
              : _wopen(WidePath(path), _O_RDONLY | _O_BINARY | _O_NOINHERIT | _O_SEQUENTIAL);
    if (fd_ < 0) {
        error_ = OpenError(path);
        return;
    }
    _setmode(fd_, _O_BINARY);
    regular_ = GetFileType(HandleOf(fd_)) == FILE_TYPE_DISK;
}

InputFile::~InputFile()
{
    if (fd_ >= 0)
        _close(fd_);
}

std::ptrdiff_t InputFile::Read(char* buffer, std::size_t size)
{
    if (!regular_ && !IsReadable(fd_, readWaitMs))
        return noDataYet;
    const int count = _read(fd_, buffer, ChunkOf(size));
    if (count < 0)
        error_ = errno;
    return count;
}

bool InputFile::SeekTo(std::uint64_t offset)
{
    if (_lseeki64(fd_, static_cast<__int64>(offset), SEEK_SET) >= 0)
        return true;
    error_ = errno;
    return false;
}

std::optional<FileIdentity> InputFile::Identity() const
{
    return IdentityOfHandle(HandleOf(fd_));
}

// Windows writes every output file through its cache: nothing is staged.
struct OutputFile::Staging
{
};

OutputFile::OutputFile() = default;

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
    if (IsDirectory(finalPath)) {
        error_ = EISDIR;
        return false;
    }
    // Opening an existing file for writing, without emptying it, tells whether it may be
    // replaced (not read-only, not locked by another program), and whether it is a device
    // (NUL, CON) or a pipe, which is written itself.
    const int existing =
        _wsopen(WidePath(finalPath), _O_WRONLY | _O_BINARY | _O_NOINHERIT, _SH_DENYNO);
    if (existing < 0 && errno != ENOENT) {
        error_ = errno;
        return false;
    }
    if (existing >= 0 && GetFileType(HandleOf(existing)) != FILE_TYPE_DISK) {
        fd_ = existing;
        return true;
    }
    if (existing >= 0)
        _close(existing);
    const auto [folder, name] = SplitPath(finalPath);
    // Another process may have left a file of the same name (after a crash, with a reused id).
    for (;;) {
        const std::u16string path = folder + u"." + name + u".trelvane-" +
                                    Utf16(std::to_string(GetCurrentProcessId())) + u"-" +
                                    Utf16(std::to_string(sequence.fetch_add(1))) + u".tmp";
        fd_ = _wsopen(WidePath(path), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                      _SH_DENYNO, _S_IREAD | _S_IWRITE);
        if (fd_ >= 0) {
            path_ = path;
            return true;
        }
        if (errno != EEXIST) {
            error_ = errno;
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
    if (path == standardInputPath)
        return IdentityOfHandle(GetStdHandle(STD_INPUT_HANDLE));
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

std::u16string StandardInputPath()
{
    return std::u16string(standardInputPath);
}

bool RemoveFile(const std::u16string& path)
{
    return _wremove(WidePath(path)) == 0;
}

// The file keeps the security of its folder, as a file written in place there would; a
// read-only file is never replaced (CreateBeside refuses it).
int ReplaceFile(const std::u16string& from, const std::u16string& to)
{
    if (MoveFileExW(WidePath(from), WidePath(to), MOVEFILE_REPLACE_EXISTING))
        return 0;
    const int error = ErrnoOf(GetLastError());
    return error == EACCES && IsDirectory(to) ? EISDIR : error;
}

} // namespace trelvane::os
