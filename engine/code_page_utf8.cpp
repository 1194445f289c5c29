// Strict UTF-8 with byte escapes, with a fast path for ASCII runs.
#include "engine/code_page_converter.h"

#include "engine/word_scan.h"

namespace trelvane::codepage {
namespace {

/// The length of the valid UTF-8 sequence at p (its code point in codePoint), or 0.
int ValidSequenceLength(const unsigned char* p, const unsigned char* end, char32_t& codePoint)
{
    const unsigned char lead = *p;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    int length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;   // overlong below U+0800
        high = lead == 0xED ? 0x9F : high; // encoded surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;   // overlong below U+10000
        high = lead == 0xF4 ? 0x8F : high; // above U+10FFFF
    } else {
        return 0;
    }
    if (end - p < length || p[1] < low || p[1] > high)
        return 0;
    char32_t value = lead & (0x7Fu >> length);
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (p[i] & 0x3Fu);
    }
    codePoint = value;
    return length;
}

/// Decodes the non-ASCII sequence at p into dst. An invalid lead byte is escaped on its own and
/// decoding goes on at the next byte, so a valid sequence right after it is kept.
const unsigned char* DecodeSequence(const unsigned char* p, const unsigned char* end,
                                    char16_t*& dst)
{
    char32_t codePoint = 0;
    const int length = ValidSequenceLength(p, end, codePoint);
    if (length == 0) {
        *dst++ = EscapeOf(*p);
        return p + 1;
    }
    if (codePoint < 0x10000) {
        *dst++ = static_cast<char16_t>(codePoint);
    } else {
        codePoint -= 0x10000;
        *dst++ = static_cast<char16_t>(0xD800 + (codePoint >> 10));
        *dst++ = static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
    }
    return p + length;
}

void DecodeUtf8(std::string_view bytes, std::u16string& out)
{
    // A byte never gives more than one code unit (four bytes give two), so this is enough room.
    const std::size_t start = out.size();
    out.resize(start + bytes.size());
    char16_t* const first = out.data() + start;
    char16_t* dst = first;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    while (p != end) {
        if (end - p >= 8 && (wordscan::Load(p) & wordscan::byteHighBits) == 0) {
            for (int i = 0; i < 8; ++i)
                dst[i] = p[i];
            dst += 8;
            p += 8;
        } else if (*p < 0x80) {
            *dst++ = *p++;
        } else {
            p = DecodeSequence(p, end, dst);
        }
    }
    out.resize(start + static_cast<std::size_t>(dst - first));
}

/// Writes the UTF-8 form of the non-ASCII character at text[i] to dst, moving i past a
/// surrogate pair; returns false if the character has none.
bool EncodeCharacter(std::u16string_view text, std::size_t& i, char*& dst)
{
    const char16_t unit = text[i];
    if (unit < 0x800) {
        *dst++ = static_cast<char>(0xC0 | (unit >> 6));
        *dst++ = static_cast<char>(0x80 | (unit & 0x3F));
    } else if (!IsSurrogate(unit)) {
        *dst++ = static_cast<char>(0xE0 | (unit >> 12));
        *dst++ = static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
        *dst++ = static_cast<char>(0x80 | (unit & 0x3F));
    } else if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
        const char32_t codePoint = 0x10000 + ((unit - 0xD800u) << 10) + (text[++i] - 0xDC00u);
        *dst++ = static_cast<char>(0xF0 | (codePoint >> 18));
        *dst++ = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        *dst++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *dst++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (IsEscapedByte(unit)) {
        *dst++ = static_cast<char>(unit - escapeBase);
    } else {
        return false;
    }
    return true;
}

bool EncodeUtf8(std::u16string_view text, std::string& out)
{
    // An ASCII start takes one byte a unit, the rest three at most (a surrogate pair: four bytes
    // for two units).
    const std::size_t ascii = AsciiPrefixLength(text);
    const std::size_t start = out.size();
    out.resize(start + ascii + 3 * (text.size() - ascii));
    char* const first = out.data() + start;
    for (std::size_t i = 0; i < ascii; ++i)
        first[i] = static_cast<char>(text[i]);
    char* dst = first + ascii;
    bool complete = true;
    for (std::size_t i = ascii; i < text.size(); ++i) {
        if (text.size() - i >= 4 &&
            (wordscan::Load(text.data() + i) & wordscan::nonAsciiUnitBits) == 0) {
            for (std::size_t k = 0; k < 4; ++k)
                dst[k] = static_cast<char>(text[i + k]);
            dst += 4;
            i += 3;
        } else if (text[i] < 0x80) {
            *dst++ = static_cast<char>(text[i]);
        } else if (!EncodeCharacter(text, i, dst)) {
            complete = false;
        }
    }
    out.resize(start + static_cast<std::size_t>(dst - first));
    return complete;
}

bool CanEncodeUtf8(std::u16string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (!IsSurrogate(unit) || IsEscapedByte(unit))
            continue;
        if (!IsHighSurrogate(unit) || i + 1 == text.size() || !IsLowSurrogate(text[i + 1]))
            return false;
        ++i;
    }
    return true;
}

class Utf8Converter final : public CodePage::Converter
{
public:
    using Converter::Converter;
    bool IsUtf8() const override { return true; }
    void Decode(std::string_view bytes, std::u16string& out) const override
    {
        DecodeUtf8(bytes, out);
    }
    bool Encode(std::u16string_view text, std::string& out) const override
    {
        return EncodeUtf8(text, out);
    }
    bool CanEncode(std::u16string_view text) const override { return CanEncodeUtf8(text); }
};

} // namespace

std::shared_ptr<const CodePage::Converter> MakeUtf8Converter(std::string name)
{
    return std::make_shared<const Utf8Converter>(std::move(name));
}

} // namespace trelvane::codepage
