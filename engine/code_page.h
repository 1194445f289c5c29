// Conversion between the bytes of a code page and UTF-16 code units, without loss.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace trelvane {

/// A character encoding in which the engine reads input and writes output.
///
/// Decoding never fails and never loses a byte: a byte that is not part of a valid sequence
/// becomes the code unit U+DC00 + byte (U+DC80 to U+DCFF), and encoding turns such a unit back
/// into that byte, so encoding the decoding of any byte string gives the bytes back; the one
/// exception are the few duplicate codes of the Windows tables for Shift_JIS and Big5, which
/// decode to their character, as on Windows, and encode to the table's preferred code. Other
/// tables decode only through mappings that go both ways: a sequence that a table maps to a
/// character only one way (a fallback, as in EUC-JP) is escaped byte by byte. UTF-8 is decoded
/// strictly (no overlong forms, no encoded surrogates, nothing above U+10FFFF). A CodePage may be
/// used from several threads at once.
class CodePage
{
public:
    /// The UTF-8 code page (also the code page of the plain C/POSIX locale).
    static CodePage Utf8();
    /// The code page named by a locale codeset ("UTF-8", "GBK", "CP1252", "ANSI_X3.4-1968", ...);
    /// nullopt when no converter for it exists or it does not keep ASCII bytes as they are
    /// (UTF-16, EBCDIC, ISO-2022). Names of Windows code pages, and the codesets their tables
    /// extend (GB2312, EUC-KR, TIS-620), get the Windows tables.
    static std::optional<CodePage> FromName(std::string_view codeset);

    /// The name this code page was made from.
    const std::string& Name() const;
    /// Whether this is the UTF-8 code page (also for the C locale's ASCII).
    bool IsUtf8() const;

    /// Appends the UTF-16 code units of bytes to out.
    void Decode(std::string_view bytes, std::u16string& out) const;
    std::u16string Decode(std::string_view bytes) const;
    /// Appends the bytes of text to out. Returns false when a character has no form in this
    /// code page; such a character is left out and the rest is still encoded.
    bool Encode(std::u16string_view text, std::string& out) const;
    /// Whether every character of text has a form in this code page.
    bool CanEncode(std::u16string_view text) const;

    /// The conversion behind a code page; defined in engine/code_page_converter.h.
    struct Converter;

private:
    explicit CodePage(std::shared_ptr<const Converter> converter);
    std::shared_ptr<const Converter> converter_;
};

/// The code page of the system (the locale's codeset), read once on first use.
///
/// Call it early on the main thread, before any toolkit changes the locale.
const CodePage& SystemCodePage();

/// The notice that tells the user that the locale codeset has no converter here and that text is
/// read and written as UTF-8 instead, naming the codeset; empty when codeset has a converter.
std::u16string UnsupportedCodesetNotice(std::string_view codeset);

/// UnsupportedCodesetNotice for the system's codeset; front ends show it once at start-up.
const std::u16string& SystemCodePageNotice();

/// Converts bytes of the system code page to UTF-16 (paths, arguments).
std::u16string FromSystemBytes(std::string_view bytes);
/// Converts text to bytes of the system code page; escaped bytes come back unchanged.
std::string ToSystemBytes(std::u16string_view text);

} // namespace trelvane
