// Address-line normalisation and domain suffixes.
#include "engine/address_line.h"

#include <array>
#include <utility>

namespace trelvane {
namespace {

/// Removes the last occurrence of unit from text, if any.
void EraseLast(std::u16string& text, char16_t unit)
{
    const std::size_t at = text.rfind(unit);
    if (at != std::u16string::npos)
        text.erase(at, 1);
}

char16_t LowerAscii(char16_t unit)
{
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + (u'a' - u'A')) : unit;
}

/// The domain suffix before lowering, as up to three pieces of the line: the text after the
/// first "@" with the line's last LF and last CR left out. Neither removal can move the "@",
/// so the suffix is the tail of the line itself minus at most two code units.
class SuffixPieces
{
public:
    explicit SuffixPieces(std::u16string_view line)
    {
        const std::size_t at = line.find(u'@');
        if (at == std::u16string_view::npos)
            return;
        const std::u16string_view tail = line.substr(at + 1);
        std::size_t cuts[2] = {tail.rfind(u'\n'), tail.rfind(u'\r')};
        if (cuts[1] < cuts[0])
            std::swap(cuts[0], cuts[1]);
        std::size_t start = 0;
        for (const std::size_t cut : cuts) {
            if (cut == std::u16string_view::npos)
                break;
            Add(tail.substr(start, cut - start));
            start = cut + 1;
        }
        Add(tail.substr(start));
    }

    std::size_t Length() const { return length_; }
    const std::u16string_view* begin() const { return pieces_.data(); }
    const std::u16string_view* end() const { return pieces_.data() + count_; }

private:
    void Add(std::u16string_view piece)
    {
        pieces_[count_++] = piece;
        length_ += piece.size();
    }

    std::array<std::u16string_view, 3> pieces_{};
    std::size_t count_ = 0;
    std::size_t length_ = 0;
};

bool SuffixEquals(const SuffixPieces& suffix, std::u16string_view entry)
{
    if (entry.size() != suffix.Length())
        return false;
    std::size_t position = 0;
    for (const std::u16string_view piece : suffix) {
        for (const char16_t unit : piece) {
            if (LowerAscii(unit) != entry[position++])
                return false;
        }
    }
    return true;
}

// Writes the domain suffix of line to out, replacing its content.
void LowerSuffixInto(std::u16string_view line, std::u16string& out)
{
    const SuffixPieces suffix(line);
    out.clear();
    out.reserve(suffix.Length());
    for (const std::u16string_view piece : suffix) {
        for (const char16_t unit : piece)
            out.push_back(LowerAscii(unit));
    }
}

} // namespace

void NormaliseLine(std::string_view segment, const CodePage& codePage, std::u16string& out)
{
    segment = segment.substr(0, segment.find('\0'));
    out.clear();
    codePage.Decode(segment, out);
    EraseLast(out, u'\n');
    EraseLast(out, u'\r');
}

std::u16string ExtractDomainSuffix(std::u16string_view line)
{
    std::u16string result;
    LowerSuffixInto(line, result);
    return result;
}

bool HasListedSuffix(std::u16string_view line, const std::vector<std::u16string>& suffixes)
{
    const SuffixPieces suffix(line);
    for (const std::u16string& entry : suffixes) {
        if (SuffixEquals(suffix, entry))
            return true;
    }
    return false;
}

SuffixLookup::SuffixLookup(const std::vector<std::u16string>& suffixes)
    : suffixes_(suffixes.begin(), suffixes.end())
{
}

bool SuffixLookup::Holds(std::u16string_view line)
{
    LowerSuffixInto(line, suffix_);
    return suffixes_.contains(suffix_);
}

} // namespace trelvane
