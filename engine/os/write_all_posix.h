// Writing a whole buffer to a POSIX descriptor, shared by the output and temporary files.
#pragma once

#include <cerrno>
#include <cstddef>
#include <unistd.h>

namespace trelvane::os {

/// Writes all size bytes of data to fd, retrying after a signal; 0 on success, else the errno
/// (EIO when the system wrote nothing without saying why).
inline int WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t count = ::write(fd, data, size);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return count < 0 ? errno : EIO;
        data += count;
        size -= static_cast<std::size_t>(count);
    }
    return 0;
}

} // namespace trelvane::os
