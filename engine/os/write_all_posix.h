// Writing a whole buffer to a POSIX descriptor, shared by the output and temporary files.
#pragma once

#include <cerrno>
#include <cstddef>
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

} // namespace trelvane::os
