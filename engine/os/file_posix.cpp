// POSIX implementation of the file layer.
#include "engine/os/file.h"

#include "engine/async_task.h"
#include "engine/code_page.h"
#include "engine/os/huge_memory.h"
#include "engine/os/write_all_posix.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trelvane::os {
namespace {

// A new output file is written around the system's cache (O_DIRECT) in blocks of stagingBytes,
// each by a thread of its own while the next one fills: a large list then costs no page-cache
// pages, whose first use is slow on some machines, and the caller does not wait for the disk.
constexpr std::size_t stagingBytes = std::size_t{4} << 20;

FileIdentity IdentityFromStat(const struct stat& info)
{
    constexpr std::int64_t nanosPerSecond = 1'000'000'000;
    FileIdentity identity;
    identity.device = static_cast<std::uint64_t>(info.st_dev);
    identity.inode = static_cast<std::uint64_t>(info.st_ino);
    identity.size = static_cast<std::int64_t>(info.st_size);
    identity.modifiedNanoseconds =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * nanosPerSecond + info.st_mtim.tv_nsec;
    identity.changedNanoseconds =
        static_cast<std::int64_t>(info.st_ctim.tv_sec) * nanosPerSecond + info.st_ctim.tv_nsec;
    identity.isRegular = S_ISREG(info.st_mode);
    identity.isDirectory = S_ISDIR(info.st_mode);
    return identity;
}

} // namespace

std::string ErrorText(int errorNumber)
{
    char buffer[256] = {};
    // GNU strerror_r may return a static string instead of filling the buffer.
    return strerror_r(errorNumber, buffer, sizeof buffer);
}

InputFile::InputFile(const std::u16string& path)
{
    const std::string bytes = ToSystemBytes(path);
    // O_NONBLOCK: opening a FIFO would otherwise wait for a writer, beyond any stop request.
    // It changes nothing for a regular file.
    fd_ = ::open(bytes.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    struct stat info
    {
    };
    regular_ = ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode);
    if (regular_)
        ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

InputFile::~InputFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::ptrdiff_t InputFile::Read(char* buffer, std::size_t size)
{
    for (;;) {
        // A FIFO that never had a writer does not report readable, so the wait ends only when
        // a writer has sent data or gone, or the time is up.
        if (!regular_) {
            pollfd ready{fd_, POLLIN, 0};
            const int polled = ::poll(&ready, 1, readWaitMs);
            if (polled == 0)
                return noDataYet;
            if (polled < 0 && errno != EINTR) {
                error_ = errno;
                return -1;
            }
        }
        const ssize_t count = ::read(fd_, buffer, size);
        if (count >= 0)
            return count;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN)
            return noDataYet;
        error_ = errno;
        return -1;
    }
}

bool InputFile::SeekTo(std::uint64_t offset)
{
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0)
        return true;
    error_ = errno;
    return false;
}

std::optional<FileIdentity> InputFile::Identity() const
{
    struct stat info
    {
    };
    if (::fstat(fd_, &info) != 0)
        return std::nullopt;
    return IdentityFromStat(info);
}

struct OutputFile::Staging
{
    // Whether the descriptor still writes around the cache; touched only by one write at a time.
    bool direct = true;
    LargeBuffer blocks[2];
    std::size_t filling = 0;  ///< the block being filled
    std::size_t filled = 0;   ///< its bytes
    std::future<int> pending; ///< the write of the other block: 0 or its errno

    // Waits for the write of the other block; its errno, or 0.
    int Wait() { return pending.valid() ? pending.get() : 0; }
    // Starts writing the filled block and turns to the other one; the errno of the write
    // before it, or 0.
    int Hand(int fd)
    {
        const int error = Wait();
        if (error != 0)
            return error;
        const char* block = static_cast<const char*>(blocks[filling].data());
        const std::size_t bytes = filled;
        pending =
            StartAsync([this, fd, block, bytes] { return WriteAround(fd, direct, block, bytes); });
        filling = 1 - filling;
        filled = 0;
        return 0;
    }
    // Writes what is still staged: its whole blocks around the cache, the rest through it.
    int Finish(int fd)
    {
        if (const int error = Wait(); error != 0)
            return error;
        const char* block = static_cast<const char*>(blocks[filling].data());
        const std::size_t whole = filled / directBlockBytes * directBlockBytes;
        if (const int error = WriteAround(fd, direct, block, whole); error != 0)
            return error;
        if (direct && whole != filled && TurnDirectOff(fd))
            direct = false;
        const int error = WriteAround(fd, direct, block + whole, filled - whole);
        filled = 0;
        return error;
    }
};

OutputFile::OutputFile() = default;

OutputFile::~OutputFile()
{
    // A block still being written is waited for before its descriptor is closed.
    if (staging_)
        staging_->Wait();
    if (fd_ >= 0)
        ::close(fd_);
}

bool OutputFile::CreateBeside(const std::u16string& finalPath)
{
    static std::atomic<unsigned> sequence{0};
    Close();
    error_ = 0;
    const std::string finalBytes = ToSystemBytes(finalPath);
    path_.clear();
    struct stat info
    {
    };
    const bool exists = ::stat(finalBytes.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) {
        error_ = EISDIR;
        return false;
    }
    // A device or a pipe (/dev/null, a FIFO) must not be replaced by a file: write to it.
    if (exists && !S_ISREG(info.st_mode)) {
        fd_ = ::open(finalBytes.c_str(), O_WRONLY | O_CLOEXEC);
        error_ = fd_ < 0 ? errno : 0;
        return fd_ >= 0;
    }
    // A file that may not be written is not replaced either.
    if (exists && ::access(finalBytes.c_str(), W_OK) != 0) {
        error_ = errno;
        return false;
    }
    const std::size_t slash = finalBytes.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    // Another process may have left a file of the same name (after a crash, with a reused pid).
    for (;;) {
        const std::string bytes =
            finalBytes.substr(0, nameStart) + "." + finalBytes.substr(nameStart) + ".trelvane-" +
            std::to_string(::getpid()) + "-" + std::to_string(sequence.fetch_add(1)) + ".tmp";
        fd_ = ::open(bytes.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            path_ = FromSystemBytes(bytes);
            if (TurnDirectOn(fd_))
                staging_ = std::make_unique<Staging>();
            // The result keeps the permissions of the file it replaces (a private list stays so).
            if (exists)
                ::fchmod(fd_, info.st_mode & 07777);
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
    if (!staging_) {
        const int error = WriteAll(fd_, data, size);
        if (error != 0)
            error_ = error;
        return error == 0;
    }
    Staging& staging = *staging_;
    while (size > 0) {
        LargeBuffer& block = staging.blocks[staging.filling];
        if (block.data() == nullptr)
            block.Allocate(stagingBytes);
        const std::size_t count = std::min(size, stagingBytes - staging.filled);
        std::memcpy(static_cast<char*>(block.data()) + staging.filled, data, count);
        staging.filled += count;
        data += count;
        size -= count;
        if (staging.filled == stagingBytes) {
            if (const int error = staging.Hand(fd_); error != 0) {
                error_ = error;
                return false;
            }
        }
    }
    return true;
}

bool OutputFile::Close()
{
    if (fd_ < 0)
        return true;
    if (staging_) {
        const int error = staging_->Finish(fd_);
        staging_.reset();
        if (error != 0) {
            error_ = error;
            ::close(fd_);
            fd_ = -1;
            return false;
        }
    }
    // No retry on EINTR: on Linux the descriptor is released whatever close() returns.
    const int result = ::close(fd_);
    fd_ = -1;
    if (result != 0) {
        error_ = errno;
        return false;
    }
    return true;
}

std::optional<FileIdentity> IdentityOf(const std::u16string& path)
{
    struct stat info
    {
    };
    if (::stat(ToSystemBytes(path).c_str(), &info) != 0)
        return std::nullopt;
    return IdentityFromStat(info);
}

std::u16string StandardInputPath()
{
    return u"/dev/stdin";
}

bool RemoveFile(const std::u16string& path)
{
    return ::unlink(ToSystemBytes(path).c_str()) == 0;
}

int ReplaceFile(const std::u16string& from, const std::u16string& to)
{
    return std::rename(ToSystemBytes(from).c_str(), ToSystemBytes(to).c_str()) == 0 ? 0 : errno;
}

} // namespace trelvane::os
