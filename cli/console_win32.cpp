// Text to the standard streams on Windows: UTF-16 to a console, so that every character shows
// whatever the code page; bytes of the system code page to a file or pipe.
#include "cli/console.h"

#include "engine/code_page.h"

#include <windows.h>

#include <algorithm>
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

bool WriteBytes(HANDLE handle, std::string_view bytes)
{
    while (!bytes.empty()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// False when the stream is open but refuses the text; a program without the stream has
// nothing to tell.
bool WriteTo(DWORD stream, std::u16string_view text)
{
    const HANDLE handle = GetStdHandle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return true;
    if (IsConsole(handle))
        return WriteConsoleText(handle, text);
    return WriteBytes(handle, ToSystemBytes(text));
}

} // namespace

bool WriteToStdout(std::u16string_view text)
{
    if (WriteTo(STD_OUTPUT_HANDLE, text))
        return true;
    WriteToStderr(u"trelvane-cli: 写入标准输出失败！stdout\n");
    return false;
}

void WriteToStderr(std::u16string_view text)
{
    WriteTo(STD_ERROR_HANDLE, text);
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
