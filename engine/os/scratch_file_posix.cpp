// POSIX implementation of the temporary file: mkstemp, then unlink at once; O_DIRECT where the
// file system takes it.
#include "engine/os/scratch_file.h"

#include "engine/code_page.h"
#include "engine/os/write_all_posix.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace trelvane::os {

ScratchFile::~ScratchFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool ScratchFile::Create()
{
    const char* folder = std::getenv("TMPDIR");
    std::string bytes = folder != nullptr && *folder != '\0' ? folder : "/tmp";
    folder_ = FromSystemBytes(bytes);
    std::string name = bytes + "/trelvane-XXXXXX";
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) {
        error_ = errno;
        return false;
    }
    ::unlink(name.c_str());
    direct_ = TurnDirectOn(fd_);
    return true;
}

bool ScratchFile::Append(const char* data, std::size_t size)
{
    const int error = WriteAround(fd_, direct_, data, size);
    if (error != 0)
        error_ = error;
    return error == 0;
}

std::ptrdiff_t ScratchFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t count = ::pread(fd_, buffer, size, static_cast<off_t>(offset));
        if (count >= 0)
            return count;
        const int error = errno;
        // A file system that takes writes around its cache but not such reads: read through it.
        const int flags = ::fcntl(fd_, F_GETFL);
        if (error == EINVAL && flags != -1 && (flags & O_DIRECT) != 0 && TurnDirectOff(fd_))
            continue;
        if (error != EINTR) {
            error_ = error;
            return -1;
        }
    }
}

std::uint64_t PhysicalMemoryBytes()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

} // namespace trelvane::os
