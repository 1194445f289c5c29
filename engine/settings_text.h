// Turning the texts a user types into settings values; shared by the dialog and the CLI.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trelvane {

/// The tokens of text between delimiter characters; empty tokens are dropped, none is trimmed.
std::vector<std::u16string> SplitList(std::u16string_view text, char16_t delimiter);

/// text with A-Z lowered; every other code unit unchanged.
std::u16string LowerAscii(std::u16string_view text);

/// Reads a signed decimal number: leading blanks, an optional minus sign, digits. An empty or
/// non-numeric text, or a value beyond 32 bits, gives 0.
std::int32_t ReadSignedInt(std::u16string_view text);

/// The decimal text of number, with a minus sign when negative and no grouping.
std::u16string DecimalText(int number);

/// Whether c is white space as the wide-character classification counts it.
bool IsWideSpace(char16_t c);

/// Whether text is empty or white space only.
bool IsBlank(std::u16string_view text);

} // namespace trelvane
