// Text to the standard streams on Windows: UTF-16 to a console, so that every character shows
// whatever the code page; bytes of the system code page to a file or pipe.
#include "cli/console.h"

#include "engine/code_page.h"
#include "engine/notice.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace trelvane {
namespace {

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

bool WriteConsoleText(HANDLE handle, std::u16string_view text)
{
    while (!text.empty()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1 << 14));
        DWORD written = 0;
        if (!WriteConsoleW(handle, text.data(), chunk, &written, nullptr) || written == 0)
            return false;
        text.remove_prefix(written);
    }
    return true;
}

// Through the runtime, which sets errno; in binary mode, so that LF stays LF as on Linux.
bool WriteBytes(int fd, std::string_view bytes)
{
    _setmode(fd, _O_BINARY);
    while (!bytes.empty()) {
        const auto chunk = static_cast<unsigned>(std::min<std::size_t>(bytes.size(), 1 << 20));
        const int written = _write(fd, bytes.data(), chunk);
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Writes text to the standard stream fd (1 or 2); 0, or the errno value that says why it failed.
int WriteTo(int fd, std::u16string_view text)
{
    errno = 0;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE)
        return EBADF;
    const bool written =
        IsConsole(handle) ? WriteConsoleText(handle, text) : WriteBytes(fd, ToSystemBytes(text));
    if (written)
        return 0;
    // The runtime calls a pipe whose reader has gone an invalid argument.
    const DWORD error = GetLastError();
    if (error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED)
        return EPIPE;
    return errno != 0 ? errno : EIO;
}

} // namespace

bool WriteToStdout(std::u16string_view text)
{
    const int error = WriteTo(1, text);
    if (error == 0)
        return true;
    WriteToStderr(u"trelvane-cli: " + FailureText(u"写入标准输出失败！", u"stdout", error) + u"\n");
    return false;
}

void WriteToStderr(std::u16string_view text)
{
    WriteTo(2, text);
}

// The progress line redraws itself with escape sequences, which a console shows only with
// virtual terminal processing on; where that cannot be had, the console counts as none.
bool StderrIsTerminal()
{
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(handle, &mode))
        return false;
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
           SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

int StderrColumns()
{
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
        return 80;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

} // namespace trelvane
