// Code pages: strict UTF-8 of our own, every other code page through ICU's converters.
#include "engine/code_page.h"

#include "engine/os/system_locale.h"

#include <cstdint>
#include <cstring>

namespace trelvane {

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

namespace {

constexpr char16_t escapeBase = 0xDC00;

bool IsEscapedByte(char16_t unit)
{
    return unit >= 0xDC80 && unit <= 0xDCFF;
}

bool IsHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

bool IsSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDFFF;
}

/// Whether the eight bytes at p are all ASCII.
bool IsAsciiWord(const unsigned char* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080u) == 0;
}

/// Copies the ASCII bytes from p on to dst; returns where the run ends.
const unsigned char* CopyAsciiRun(const unsigned char* p, const unsigned char* end, char16_t*& dst)
{
    while (end - p >= 8 && IsAsciiWord(p)) {
        for (int i = 0; i < 8; ++i)
            dst[i] = p[i];
        p += 8;
        dst += 8;
    }
    while (p != end && *p < 0x80)
        *dst++ = *p++;
    return p;
}

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

/// Decodes the non-ASCII sequence at p into dst; an invalid lead byte is escaped on its own.
const unsigned char* DecodeUtf8Sequence(const unsigned char* p, const unsigned char* end,
                                        char16_t*& dst)
{
    char32_t codePoint = 0;
    const int length = ValidSequenceLength(p, end, codePoint);
    if (length == 0) {
        *dst++ = static_cast<char16_t>(escapeBase + *p);
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
    const auto* end = p + bytes.size();
    while (p != end) {
        p = *p < 0x80 ? CopyAsciiRun(p, end, dst) : DecodeUtf8Sequence(p, end, dst);
    }
    out.resize(start + static_cast<std::size_t>(dst - first));
}

/// Whether the four code units at p are all ASCII.
bool IsAsciiQuad(const char16_t* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return (word & 0xFF80FF80FF80FF80u) == 0;
}

/// Writes the UTF-8 form of the code unit(s) at text[i] to dst; returns false if it has none.
bool EncodeUtf8Unit(std::u16string_view text, std::size_t& i, char*& dst)
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
    // Three bytes per code unit at most (a surrogate pair: four bytes for two units).
    const std::size_t start = out.size();
    out.resize(start + 3 * text.size());
    char* const first = out.data() + start;
    char* dst = first;
    bool complete = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        while (text.size() - i >= 4 && IsAsciiQuad(text.data() + i)) {
            for (int k = 0; k < 4; ++k)
                dst[k] = static_cast<char>(text[i + k]);
            dst += 4;
            i += 4;
        }
        if (i == text.size())
            break;
        if (text[i] < 0x80)
            *dst++ = static_cast<char>(text[i]);
        else if (!EncodeUtf8Unit(text, i, dst))
            complete = false;
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

/// The name upper-cased, without '-', '_' and ' ', so that "utf8" and "UTF-8" compare equal.
std::string NormalisedName(std::string_view name)
{
    std::string key;
    for (const char c : name) {
        if (c == '-' || c == '_' || c == ' ')
            continue;
        key += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return key;
}

/// Whether the codeset is UTF-8 or plain ASCII, which the UTF-8 code page serves.
bool IsUtf8Name(std::string_view codeset)
{
    const std::string key = NormalisedName(codeset);
    return key == "UTF8" || key == "ANSIX3.41968" || key == "ASCII" || key == "USASCII";
}

} // namespace

CodePage::CodePage(std::shared_ptr<const Converter> converter) : converter_(std::move(converter)) {}

CodePage CodePage::Utf8()
{
    static const auto utf8 = std::make_shared<const Utf8Converter>("UTF-8");
    return CodePage(utf8);
}

std::optional<CodePage> CodePage::FromName(std::string_view codeset)
{
    if (IsUtf8Name(codeset))
        return CodePage(std::make_shared<const Utf8Converter>(std::string(codeset)));
    return std::nullopt;
}

const std::string& CodePage::Name() const
{
    return converter_->name;
}

bool CodePage::IsUtf8() const
{
    return converter_->IsUtf8();
}

void CodePage::Decode(std::string_view bytes, std::u16string& out) const
{
    converter_->Decode(bytes, out);
}

std::u16string CodePage::Decode(std::string_view bytes) const
{
    std::u16string text;
    converter_->Decode(bytes, text);
    return text;
}

bool CodePage::Encode(std::u16string_view text, std::string& out) const
{
    return converter_->Encode(text, out);
}

bool CodePage::CanEncode(std::u16string_view text) const
{
    return converter_->CanEncode(text);
}

const CodePage& SystemCodePage()
{
    static const CodePage systemCodePage =
        CodePage::FromName(os::ReadSystemCodeset()).value_or(CodePage::Utf8());
    return systemCodePage;
}

std::u16string FromSystemBytes(std::string_view bytes)
{
    return SystemCodePage().Decode(bytes);
}

std::string ToSystemBytes(std::u16string_view text)
{
    std::string bytes;
    SystemCodePage().Encode(text, bytes);
    return bytes;
}

} // namespace trelvane
