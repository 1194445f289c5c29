// Code pages other than UTF-8 on Windows, through MultiByteToWideChar and WideCharToMultiByte.
//
// The system's own tables decide what bytes mean. A byte that starts no sequence the code page
// defines (MB_ERR_INVALID_CHARS refuses it) is escaped on its own, so that no byte is lost; a
// character without a form of its own (no best fit, no default character) is left out.
#include "engine/code_page_converter.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <utility>

namespace trelvane::codepage {
namespace {

/// Locale codeset names of Windows code pages; "CP<n>", "WINDOWS<n>" and "MS<n>" name n.
constexpr std::array<std::pair<std::string_view, UINT>, 11> namedCodePages{{
    {"GBK", 936},
    {"GB2312", 936},
    {"EUCCN", 936},
    {"BIG5", 950},
    {"SHIFTJIS", 932},
    {"SJIS", 932},
    {"WINDOWS31J", 932},
    {"EUCKR", 949},
    {"UHC", 949},
    {"TIS620", 874},
    {"KOI8R", 20866},
}};

/// The Windows code page that key names; 0 when it names none.
UINT CodePageNumber(std::string_view key)
{
    for (const auto& [name, number] : namedCodePages) {
        if (key == name)
            return number;
    }
    for (const std::string_view prefix : {"CP", "WINDOWS", "MS"}) {
        if (key.substr(0, prefix.size()) != prefix)
            continue;
        const std::string_view digits = key.substr(prefix.size());
        UINT number = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), number);
        return error == std::errc() && end == digits.data() + digits.size() ? number : 0;
    }
    return 0;
}

/// Decodes one character's bytes alone; false when the code page defines no such character.
bool DecodeAlone(UINT codePage, std::string_view bytes, char16_t& unit)
{
    wchar_t wide = 0;
    const int count = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                          static_cast<int>(bytes.size()), &wide, 1);
    unit = static_cast<char16_t>(wide);
    return count == 1;
}

/// Encodes text into out from offset at on (out has room); the count of bytes, or -1 when a
/// character has no form of its own.
int EncodeRun(UINT codePage, std::u16string_view text, std::string& out, std::size_t at)
{
    BOOL usedDefault = FALSE;
    const int count = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS,
                                          reinterpret_cast<const wchar_t*>(text.data()),
                                          static_cast<int>(text.size()), out.data() + at,
                                          static_cast<int>(out.size() - at), nullptr, &usedDefault);
    return count > 0 && !usedDefault ? count : -1;
}

class Win32Converter final : public CodePage::Converter
{
public:
    Win32Converter(std::string codesetName, UINT codePage, const CPINFO& info)
        : Converter(std::move(codesetName)), codePage_(codePage)
    {
        for (std::size_t i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
            for (unsigned byte = info.LeadByte[i]; byte <= info.LeadByte[i + 1]; ++byte)
                isLeadByte_[byte] = true;
        }
    }

    void Decode(std::string_view bytes, std::u16string& out) const override
    {
        const std::size_t ascii = AsciiPrefixLength(bytes);
        AppendAscii(bytes.substr(0, ascii), out);
        bytes.remove_prefix(ascii);
        if (bytes.empty())
            return;
        // One or two bytes give one code unit, so the text never outgrows its bytes.
        const std::size_t start = out.size();
        out.resize(start + bytes.size());
        const int count = bytes.size() > INT_MAX
                              ? 0
                              : MultiByteToWideChar(codePage_, MB_ERR_INVALID_CHARS, bytes.data(),
                                                    static_cast<int>(bytes.size()),
                                                    reinterpret_cast<wchar_t*>(out.data() + start),
                                                    static_cast<int>(bytes.size()));
        if (count > 0) {
            out.resize(start + static_cast<std::size_t>(count));
            return;
        }
        out.resize(start);
        DecodeByCharacter(bytes, out);
    }

    bool Encode(std::u16string_view text, std::string& out) const override
    {
        const std::size_t ascii = AsciiPrefixLength(text);
        AppendAscii(text.substr(0, ascii), out);
        text.remove_prefix(ascii);
        bool complete = true;
        while (!text.empty()) {
            std::size_t run = 0;
            while (run < text.size() && !IsEscapedByte(text[run]))
                ++run;
            if (run > 0)
                complete = EncodeText(text.substr(0, run), out) && complete;
            if (run < text.size())
                out += static_cast<char>(text[run] - escapeBase);
            text.remove_prefix(std::min(run + 1, text.size()));
        }
        return complete;
    }

    bool CanEncode(std::u16string_view text) const override
    {
        thread_local std::string scratch;
        scratch.clear();
        return Encode(text, scratch);
    }

private:
    /// The slow road for bytes with an invalid sequence: one character at a time, a lead byte
    /// with its trail byte, and a byte that starts no valid character escaped on its own, so
    /// that a valid byte after it is still decoded.
    void DecodeByCharacter(std::string_view bytes, std::u16string& out) const
    {
        for (std::size_t i = 0; i < bytes.size();) {
            const auto byte = static_cast<unsigned char>(bytes[i]);
            const std::size_t length = isLeadByte_[byte] && i + 1 < bytes.size() ? 2 : 1;
            char16_t unit = 0;
            if (byte >= 0x80 && DecodeAlone(codePage_, bytes.substr(i, length), unit)) {
                out += unit;
                i += length;
                continue;
            }
            out += byte < 0x80 ? static_cast<char16_t>(byte) : EscapeOf(byte);
            ++i;
        }
    }

    /// Encodes text without escapes; a character without a form is left out.
    bool EncodeText(std::u16string_view text, std::string& out) const
    {
        const std::size_t start = out.size();
        out.resize(start + maxBytesPerUnit * text.size());
        const int count =
            text.size() > INT_MAX / maxBytesPerUnit ? -1 : EncodeRun(codePage_, text, out, start);
        if (count >= 0) {
            out.resize(start + static_cast<std::size_t>(count));
            return true;
        }
        std::size_t written = start;
        bool complete = true;
        for (std::size_t i = 0; i < text.size();) {
            const std::size_t length =
                IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]) ? 2
                                                                                               : 1;
            const int bytes = EncodeRun(codePage_, text.substr(i, length), out, written);
            complete = complete && bytes > 0;
            written += static_cast<std::size_t>(std::max(bytes, 0));
            i += length;
        }
        out.resize(written);
        return complete;
    }

    static constexpr std::size_t maxBytesPerUnit = 2;
    UINT codePage_;
    std::array<bool, 0x100> isLeadByte_{};
};

/// Whether every ASCII byte is a character of its own that stands for itself.
bool KeepsAscii(UINT codePage)
{
    for (int value = 0; value < 0x80; ++value) {
        const char byte = static_cast<char>(value);
        char16_t unit = 0;
        if (!DecodeAlone(codePage, std::string_view(&byte, 1), unit) || unit != value)
            return false;
    }
    return true;
}

} // namespace

std::shared_ptr<const CodePage::Converter> MakePlatformConverter(std::string codeset,
                                                                 const std::string& key)
{
    const UINT codePage = CodePageNumber(key);
    if (codePage == CP_UTF8)
        return MakeUtf8Converter(std::move(codeset));
    CPINFO info{};
    // Single- and double-byte code pages only: GB18030, UTF-7 and ISO-2022 forms are left out.
    if (codePage == 0 || !IsValidCodePage(codePage) || !GetCPInfo(codePage, &info) ||
        info.MaxCharSize > 2 || !KeepsAscii(codePage))
        return nullptr;
    return std::make_shared<const Win32Converter>(std::move(codeset), codePage, info);
}

} // namespace trelvane::codepage
