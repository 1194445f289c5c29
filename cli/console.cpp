// Text to the standard streams, in the system code page.
#include "cli/console.h"

#include "engine/code_page.h"
#include "engine/notice.h"

#include <cerrno>
#include <cstdio>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

namespace trelvane {
namespace {

// Writes text and flushes it; false (errno set) when either fails.
bool WriteEncoded(std::FILE* stream, std::u16string_view text)
{
    const std::string bytes = ToSystemBytes(text);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
    return std::fflush(stream) == 0 && written;
}

} // namespace

bool WriteToStdout(std::u16string_view text)
{
    if (WriteEncoded(stdout, text))
        return true;
    const int error = errno;
    std::clearerr(stdout);
    WriteToStderr(u"trelvane-cli: " + FailureText(u"写入标准输出失败！", u"stdout", error) + u"\n");
    return false;
}

void WriteToStderr(std::u16string_view text)
{
    WriteEncoded(stderr, text);
}

bool StderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

int StderrColumns()
{
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0)
        return 80;
    return size.ws_col;
}

} // namespace trelvane
