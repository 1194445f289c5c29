// Turning one line's bytes into an address line, and an address line's domain suffix.
#pragma once

#include "engine/code_page.h"
#include "engine/line_table.h"

#include <string>
#include <string_view>
#include <vector>

namespace trelvane {

/// Makes out the text of ASCII bytes, one unit a byte; reuses out's storage.
void WidenAscii(std::string_view bytes, std::u16string& out);

/// Makes the address line of one line's bytes (without its LF) into out, replacing its content:
/// the text ends at the first zero byte, is decoded with codePage, then loses its last LF and
/// then its last CR, wherever they stand. Nothing else changes. Reuses out's storage. Returns
/// whether the line was plain ASCII: then out holds the segment's bytes, one unit each, less a
/// final CR, or nothing when widenAscii is false (for callers that read such a line's bytes).
bool NormaliseLine(std::string_view segment, const CodePage& codePage, std::u16string& out,
                   bool widenAscii = true);

/// The text after the first "@" of line, with A-Z lowered (after removing the last LF, then the
/// last CR, as NormaliseLine does); empty when line holds no "@".
std::u16string ExtractDomainSuffix(std::u16string_view line);

/// Whether ExtractDomainSuffix(line) equals one of suffixes, entries compared unchanged (so an
/// entry with a capital letter never matches). Allocates nothing.
bool HasListedSuffix(std::u16string_view line, const std::vector<std::u16string>& suffixes);

/// A suffix list made ready for many lines: Holds(line) gives HasListedSuffix(line, suffixes)
/// with one hash lookup instead of a walk over the list.
class SuffixLookup
{
public:
    explicit SuffixLookup(const std::vector<std::u16string>& suffixes);
    /// Allocates nothing once its buffer has grown to the longest suffix seen.
    bool Holds(std::u16string_view line);
    /// Holds of a line of ASCII bytes without LF or CR, as ReadLine::AsciiBody gives it.
    bool HoldsAscii(std::string_view line);

private:
    LineTable suffixes_;
    std::u16string suffix_;
    std::string asciiSuffix_;
};

} // namespace trelvane
