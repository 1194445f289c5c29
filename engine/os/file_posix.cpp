// POSIX implementation of the file layer.
#include "engine/os/file.h"

#include "engine/code_page.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trelvane::os {
namespace {

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

std::optional<FileIdentity> InputFile::Identity() const
{
    struct stat info
    {
    };
    if (::fstat(fd_, &info) != 0)
        return std::nullopt;
    return IdentityFromStat(info);
}

OutputFile::~OutputFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool OutputFile::Open(const std::u16string& path)
{
    Close();
    error_ = 0;
    const std::string bytes = ToSystemBytes(path);
    fd_ = ::open(bytes.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        error_ = errno;
        return false;
    }
    return true;
}

bool OutputFile::Write(const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t count = ::write(fd_, data, size);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            error_ = count < 0 ? errno : EIO;
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

} // namespace trelvane::os
