// Text to the standard streams on POSIX systems, in the system code page.
#include "cli/console.h"

#include "engine/code_page.h"

#include <cstdio>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

namespace trelvane {
namespace {

void WriteEncoded(std::FILE* stream, std::u16string_view text)
{
    const std::string bytes = ToSystemBytes(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

} // namespace

void WriteToStdout(std::u16string_view text)
{
    WriteEncoded(stdout, text);
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
