// Building a text from pieces.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace trelvane {

/// The pieces one after the other. Used instead of chains of operator+, on which g++ 12 at -O2
/// and above gives false -Wrestrict warnings.
inline std::u16string Joined(std::initializer_list<std::u16string_view> pieces)
{
    std::u16string text;
    for (std::u16string_view piece : pieces)
        text.append(piece);
    return text;
}

} // namespace trelvane
