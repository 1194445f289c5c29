// Writing a whole buffer to a POSIX descriptor, and reading and writing around the system's
// cache; shared by the output and temporary files.
#pragma once

#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <unistd.h>

namespace trelvane::os {

/// Writes all size bytes of data to fd, retrying after a signal, and after a refused write
/// (EINVAL) when retryRefused() says the descriptor was changed to take it; 0 on success, else
/// the errno (EIO when the system wrote nothing without saying why).
template <typename RetryRefused>
int WriteAll(int fd, const char* data, std::size_t size, RetryRefused&& retryRefused)
{
    while (size > 0) {
        const ssize_t count = ::write(fd, data, size);
        const int error = count < 0 ? errno : 0;
        if (error == EINTR || (error == EINVAL && retryRefused()))
            continue;
        if (count <= 0)
            return count < 0 ? error : EIO;
        data += count;
        size -= static_cast<std::size_t>(count);
    }
    return 0;
}

inline int WriteAll(int fd, const char* data, std::size_t size)
{
    return WriteAll(fd, data, size, [] { return false; });
}

/// What a read or write around the cache (O_DIRECT) must be aligned to, in memory and in the file.
constexpr std::size_t directBlockBytes = 4096;

inline bool TurnDirectOn(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags != -1 && ::fcntl(fd, F_SETFL, flags | O_DIRECT) == 0;
}

inline bool TurnDirectOff(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags != -1 && ::fcntl(fd, F_SETFL, flags & ~O_DIRECT) == 0;
}

/// Writes size bytes of data; a file system that refuses a write around its cache (EINVAL) gets
/// the rest through the cache, and direct turns false. Returns 0 or the errno of the failure.
inline int WriteAround(int fd, bool& direct, const char* data, std::size_t size)
{
    return WriteAll(fd, data, size, [fd, &direct] {
        if (!direct || !TurnDirectOff(fd))
            return false;
        direct = false;
        return true;
    });
}

} // namespace trelvane::os
