// Fuzzes decoding then encoding: the bytes come back, except where a table has duplicate codes.
#include "engine/code_page.h"
#include "tests/fuzz/fuzz_support.h"

#include <algorithm>
#include <array>

using namespace trelvane;
using trelvane::fuzz::Hex;
using trelvane::fuzz::Mismatch;

namespace {

struct Subject
{
    CodePage codePage;
    /// Whether every decoded text has a form in the code page again.
    bool encodesCompletely;
    /// Whether the bytes themselves come back; otherwise only their text does, because some
    /// bytes decode to a character whose preferred code is another one.
    bool bytesComeBack;
};

Subject Named(const char* codeset, bool encodesCompletely, bool bytesComeBack)
{
    return {*CodePage::FromName(codeset), encodesCompletely, bytesComeBack};
}

bool HasEscapes(std::u16string_view text)
{
    return std::any_of(text.begin(), text.end(),
                       [](char16_t c) { return c >= 0xDC80 && c <= 0xDCFF; });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Shift_JIS and Big5 have duplicate codes (NEC and IBM extensions, a few Big5 symbols): for
    // these only the text is checked to come back, not the bytes. EUC-JP decodes one-way codes
    // (fallbacks such as 8E E0 or AD F0) as escaped bytes, so its bytes come back too.
    static const std::array<Subject, 6> subjects{
        Subject{CodePage::Utf8(), true, true}, Named("GBK", true, true),
        Named("CP1252", true, true),           Named("EUC-JP", true, true),
        Named("SHIFT_JIS", true, false),       Named("BIG5", true, false),
    };
    if (size == 0)
        return 0;
    const Subject& subject = subjects[data[0] % subjects.size()];
    const CodePage& codePage = subject.codePage;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    const std::u16string text = codePage.Decode(bytes);
    std::string back;
    const bool complete = codePage.Encode(text, back);
    if (complete != codePage.CanEncode(text))
        Mismatch((codePage.Name() + ": CanEncode as Encode found of " + Hex(text)).c_str(),
                 std::to_string(complete), std::to_string(!complete));
    if (!complete && subject.encodesCompletely)
        Mismatch((codePage.Name() + ": decoded text encodes completely").c_str(), Hex(text),
                 "incomplete, gave " + Hex(back));
    if (!complete)
        return 0;
    if (subject.bytesComeBack && back != bytes)
        Mismatch((codePage.Name() + ": bytes after decode and encode").c_str(), Hex(bytes),
                 Hex(back));
    // With duplicate codes, an escaped lead byte may pair with the first byte of a preferred
    // code when the result is decoded again, so the text comes back only from valid bytes.
    if (!subject.bytesComeBack && HasEscapes(text))
        return 0;
    const std::u16string again = codePage.Decode(back);
    if (again != text)
        Mismatch((codePage.Name() + ": text after encode and decode").c_str(), Hex(text),
                 Hex(again));
    return 0;
}
