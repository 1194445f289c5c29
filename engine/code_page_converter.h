// The converters behind CodePage; used only by the code page sources.
#pragma once

#include "engine/code_page.h"

#include <cstdint>
#include <cstring>

namespace trelvane {

/// Turns bytes of one code page into UTF-16 and back; immutable, shared between threads.
struct CodePage::Converter
{
    explicit Converter(std::string codesetName) : name(std::move(codesetName)) {}
    virtual ~Converter() = default;
    virtual bool IsUtf8() const { return false; }
    virtual void Decode(std::string_view bytes, std::u16string& out) const = 0;
    virtual bool Encode(std::u16string_view text, std::string& out) const = 0;
    virtual bool CanEncode(std::u16string_view text) const = 0;

    std::string name;
};

namespace codepage {

/// The first code unit of the escapes that stand for bytes outside any valid sequence.
constexpr char16_t escapeBase = 0xDC00;

inline char16_t EscapeOf(unsigned char byte)
{
    return static_cast<char16_t>(escapeBase + byte);
}

/// Whether unit stands for an escaped byte (0x80 to 0xFF).
inline bool IsEscapedByte(char16_t unit)
{
    return unit >= 0xDC80 && unit <= 0xDCFF;
}

inline bool IsHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

inline bool IsLowSurrogate(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

inline bool IsSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDFFF;
}

/// The number of ASCII bytes at the start of bytes, checked eight at a time.
inline std::size_t AsciiPrefixLength(std::string_view bytes)
{
    std::size_t i = 0;
    for (; bytes.size() - i >= 8; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, sizeof word);
        if ((word & 0x8080808080808080u) != 0)
            break;
    }
    while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80)
        ++i;
    return i;
}

/// The number of ASCII code units at the start of text, checked four at a time.
inline std::size_t AsciiPrefixLength(std::u16string_view text)
{
    std::size_t i = 0;
    for (; text.size() - i >= 4; i += 4) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, sizeof word);
        if ((word & 0xFF80FF80FF80FF80u) != 0)
            break;
    }
    while (i < text.size() && text[i] < 0x80)
        ++i;
    return i;
}

/// Appends ASCII bytes to out, one code unit each.
inline void AppendAscii(std::string_view ascii, std::u16string& out)
{
    const std::size_t start = out.size();
    out.resize(start + ascii.size());
    for (std::size_t i = 0; i < ascii.size(); ++i)
        out[start + i] = static_cast<char16_t>(ascii[i]);
}

/// Appends ASCII code units to out, one byte each.
inline void AppendAscii(std::u16string_view ascii, std::string& out)
{
    const std::size_t start = out.size();
    out.resize(start + ascii.size());
    for (std::size_t i = 0; i < ascii.size(); ++i)
        out[start + i] = static_cast<char>(ascii[i]);
}

/// The strict UTF-8 converter.
std::shared_ptr<const CodePage::Converter> MakeUtf8Converter(std::string name);

/// A converter through ICU's converter icuName; null when ICU has none or it is not
/// ASCII-compatible. An ICU converter for UTF-8 or ASCII gives the strict UTF-8 converter.
/// With roundTripOnly, a multi-byte table decodes only sequences that encode back to themselves
/// (single-byte tables always do so).
std::shared_ptr<const CodePage::Converter>
MakeIcuConverter(std::string name, const std::string& icuName, bool roundTripOnly);

} // namespace codepage
} // namespace trelvane
