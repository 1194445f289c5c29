// Fuzzes the settings text helpers against simple models: splitting, lower-casing, numbers.
#include "engine/settings_text.h"
#include "tests/fuzz/fuzz_support.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <limits>

using namespace trelvane;
using trelvane::fuzz::Hex;
using trelvane::fuzz::Mismatch;

namespace {

/// A text of mostly single-byte units (digits, signs, blanks, letters), with now and then any
/// code unit at all.
std::u16string SomeText(FuzzedDataProvider& input)
{
    std::u16string text;
    const std::string bytes = input.ConsumeRandomLengthString(64);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0xF0 || i + 2 >= bytes.size()) {
            text.push_back(byte);
            continue;
        }
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i + 1]) << 8 |
                                             static_cast<unsigned char>(bytes[i + 2])));
        i += 2;
    }
    return text;
}

std::vector<std::u16string> SplitModel(std::u16string_view text, char16_t delimiter)
{
    std::vector<std::u16string> tokens{u""};
    for (const char16_t c : text) {
        if (c == delimiter)
            tokens.emplace_back();
        else
            tokens.back().push_back(c);
    }
    std::erase(tokens, u"");
    return tokens;
}

std::string Listed(const std::vector<std::u16string>& tokens)
{
    std::string text;
    for (const std::u16string& token : tokens)
        text += "[" + Hex(token) + "] ";
    return text;
}

/// Spaces, a minus sign, then digits read as a number; 0 when there are none or it does not fit
/// in 32 bits.
std::int64_t ReadIntModel(std::u16string_view text)
{
    std::size_t i = text.find_first_not_of(u' ');
    if (i == std::u16string_view::npos)
        return 0;
    const bool negative = text[i] == u'-';
    i += negative ? 1 : 0;
    const std::size_t end = std::min(text.find_first_not_of(u"0123456789", i), text.size());
    if (end == i)
        return 0;
    std::int64_t value = 0;
    for (; i < end; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > std::int64_t{1} << 32)
            return 0;
    }
    value = negative ? -value : value;
    const bool fits = value >= std::numeric_limits<std::int32_t>::min() &&
                      value <= std::numeric_limits<std::int32_t>::max();
    return fits ? value : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const auto delimiter = input.ConsumeIntegral<char16_t>();
    const auto number = input.ConsumeIntegral<std::int32_t>();
    const std::u16string text = SomeText(input);
    const std::u16string other = SomeText(input);

    if (SplitList(text, delimiter) != SplitModel(text, delimiter))
        Mismatch(("SplitList at " + Hex(std::u16string(1, delimiter)) + "of " + Hex(text)).c_str(),
                 Listed(SplitModel(text, delimiter)), Listed(SplitList(text, delimiter)));

    std::u16string lowered = text;
    for (char16_t& c : lowered)
        c = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 0x20) : c;
    if (LowerAscii(text) != lowered)
        Mismatch("LowerAscii", Hex(lowered), Hex(LowerAscii(text)));

    if (ReadSignedInt(text) != ReadIntModel(text))
        Mismatch(("ReadSignedInt of " + Hex(text)).c_str(), std::to_string(ReadIntModel(text)),
                 std::to_string(ReadSignedInt(text)));
    if (ReadSignedInt(DecimalText(number)) != number)
        Mismatch(("ReadSignedInt of DecimalText " + Hex(DecimalText(number))).c_str(),
                 std::to_string(number), std::to_string(ReadSignedInt(DecimalText(number))));

    if (IsBlank(text + other) != (IsBlank(text) && IsBlank(other)))
        Mismatch(("IsBlank of " + Hex(text) + "+ " + Hex(other)).c_str(),
                 std::to_string(IsBlank(text) && IsBlank(other)),
                 std::to_string(IsBlank(text + other)));
    return 0;
}
