// UTF-16 text between the engine's std::u16string and the Win32 API's wchar_t.
#pragma once

#include <windows.h>

#include <string>

namespace trelvane {

/// The text as the API's wide characters (UTF-16 on Windows).
inline const wchar_t* Wide(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

/// The text of a window or control.
inline std::u16string WindowText(HWND window)
{
    std::u16string text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, u'\0');
    const int length = GetWindowTextW(window, reinterpret_cast<wchar_t*>(text.data()),
                                      static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return text;
}

} // namespace trelvane
