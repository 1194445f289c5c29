// Splitting, lower-casing and number reading for the settings texts.
#include "engine/settings_text.h"

namespace trelvane {

std::vector<std::u16string> SplitList(std::u16string_view text, char16_t delimiter)
{
    std::vector<std::u16string> tokens;
    std::size_t position = 0;
    while (position < text.size()) {
        if (text[position] == delimiter) {
            ++position;
            continue;
        }
        std::size_t end = text.find(delimiter, position);
        if (end == std::u16string_view::npos)
            end = text.size();
        tokens.emplace_back(text.substr(position, end - position));
        position = end;
    }
    return tokens;
}

std::u16string LowerAscii(std::u16string_view text)
{
    std::u16string lowered(text);
    for (char16_t& c : lowered) {
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return lowered;
}

std::int32_t ReadSignedInt(std::u16string_view text)
{
    std::size_t position = 0;
    while (position < text.size() && text[position] == u' ')
        ++position;
    const bool negative = position < text.size() && text[position] == u'-';
    if (negative)
        ++position;
    constexpr std::int64_t limit = std::int64_t{1} << 31;
    std::int64_t value = 0;
    std::size_t digits = 0;
    for (; position < text.size() && text[position] >= u'0' && text[position] <= u'9';
         ++position, ++digits) {
        value = value * 10 + (text[position] - u'0');
        if (value > limit)
            return 0;
    }
    if (digits == 0 || (!negative && value == limit))
        return 0;
    return static_cast<std::int32_t>(negative ? -value : value);
}

std::u16string DecimalText(int number)
{
    const std::string digits = std::to_string(number);
    return {digits.begin(), digits.end()};
}

bool IsWideSpace(char16_t c)
{
    switch (c) {
    case u'\t':
    case u'\n':
    case u'\v':
    case u'\f':
    case u'\r':
    case u' ':
    case u'\u00A0':
    case u'\u1680':
    case u'\u2028':
    case u'\u2029':
    case u'\u202F':
    case u'\u205F':
    case u'\u3000':
        return true;
    default:
        return c >= u'\u2000' && c <= u'\u200A';
    }
}

bool IsBlank(std::u16string_view text)
{
    for (char16_t c : text) {
        if (!IsWideSpace(c))
            return false;
    }
    return true;
}

} // namespace trelvane
