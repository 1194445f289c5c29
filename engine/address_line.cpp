// Address-line normalisation and domain suffixes.
#include "engine/address_line.h"

#include "engine/word_scan.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace trelvane {
namespace {

using wordscan::BytesEqual;
using wordscan::Load;
using wordscan::UnitsEqual;

/// Whether bytes are all ASCII and hold no zero, LF or CR byte: the bytes that every code page
/// decodes to the same units, and that normalising leaves alone.
bool IsPlainAscii(std::string_view bytes)
{
    if (bytes.size() < 8) {
        for (const char byte : bytes) {
            if (static_cast<unsigned char>(byte) >= 0x80 || byte == '\0' || byte == '\n' ||
                byte == '\r')
                return false;
        }
        return true;
    }
    std::uint64_t marks = 0;
    const auto scan = [&marks](std::uint64_t word) {
        marks |= word | wordscan::ZeroBytes(word) | BytesEqual(word, '\n') | BytesEqual(word, '\r');
    };
    for (std::size_t at = 0; at + 8 < bytes.size(); at += 8)
        scan(Load(bytes.data() + at));
    scan(Load(bytes.data() + bytes.size() - 8)); // the last eight, overlapping the word before
    return (marks & wordscan::byteHighBits) == 0;
}

/// Whether text holds an LF or a CR.
bool HoldsLineEndUnit(std::u16string_view text)
{
    std::uint64_t marks = 0;
    std::size_t at = 0;
    for (; at + 4 <= text.size(); at += 4) {
        const std::uint64_t word = Load(text.data() + at);
        marks |= UnitsEqual(word, u'\n') | UnitsEqual(word, u'\r');
    }
    for (; at < text.size(); ++at)
        marks |= text[at] == u'\n' || text[at] == u'\r';
    return marks != 0;
}

/// Removes the last occurrence of unit from text, if any.
void EraseLast(std::u16string& text, char16_t unit)
{
    const std::size_t at = text.rfind(unit);
    if (at != std::u16string::npos)
        text.erase(at, 1);
}

/// Removes the last LF of text, then its last CR. Most lines hold no LF and no CR but a final
/// one, which one pass over the rest tells.
void EraseLineEnds(std::u16string& text)
{
    const bool finalCr = !text.empty() && text.back() == u'\r';
    if (!HoldsLineEndUnit(std::u16string_view(text).substr(0, text.size() - finalCr))) {
        if (finalCr)
            text.pop_back();
        return;
    }
    EraseLast(text, u'\n');
    EraseLast(text, u'\r');
}

/// The position of the first unit of text, or npos.
std::size_t FindUnit(std::u16string_view text, char16_t unit)
{
    std::size_t at = 0;
    for (; at + 4 <= text.size(); at += 4) {
        if (const std::uint64_t marks = UnitsEqual(Load(text.data() + at), unit); marks != 0)
            return at + wordscan::FirstUnitMark(marks);
    }
    for (; at < text.size(); ++at) {
        if (text[at] == unit)
            return at;
    }
    return std::u16string_view::npos;
}

char16_t LowerAscii(char16_t unit)
{
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + (u'a' - u'A')) : unit;
}

/// Four ASCII units with A-Z lowered: a unit of 0x41 to 0x5A alone gets bit 7 from adding
/// 0x3F but not from adding 0x25, and no sum of units below 0x80 reaches the next unit.
std::uint64_t LowerAsciiWord(std::uint64_t word)
{
    const std::uint64_t upper =
        ((word + 0x3F * wordscan::eachUnit) & ~(word + 0x25 * wordscan::eachUnit)) &
        (0x80 * wordscan::eachUnit);
    return word + (upper >> 2);
}

/// Writes text with A-Z lowered to out; false, with out unfinished, when text holds an LF or a
/// CR.
bool LowerHoldingNoLineEnd(std::u16string_view text, char16_t* out)
{
    std::uint64_t lineEnds = 0;
    std::size_t at = 0;
    for (; at + 4 <= text.size(); at += 4) {
        std::uint64_t word = Load(text.data() + at);
        lineEnds |= UnitsEqual(word, u'\n') | UnitsEqual(word, u'\r');
        if ((word & wordscan::nonAsciiUnitBits) != 0)
            break;
        word = LowerAsciiWord(word);
        std::memcpy(out + at, &word, sizeof word);
    }
    for (; at < text.size(); ++at) {
        out[at] = LowerAscii(text[at]);
        lineEnds |= text[at] == u'\n' || text[at] == u'\r';
    }
    return lineEnds == 0;
}

/// The domain suffix before lowering, as up to three pieces of the line: the text after the
/// first "@" with the line's last LF and last CR left out. Neither removal can move the "@",
/// so the suffix is the tail of the line itself minus at most two code units.
class SuffixPieces
{
public:
    explicit SuffixPieces(std::u16string_view line)
    {
        const std::size_t at = FindUnit(line, u'@');
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

void WidenAscii(std::string_view bytes, std::u16string& out)
{
    out.resize(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out[i] = static_cast<unsigned char>(bytes[i]);
}

bool NormaliseLine(std::string_view segment, const CodePage& codePage, std::u16string& out,
                   bool widenAscii)
{
    // Most lines are ASCII: widened as they stand, after the CR of a CR LF end, which is then
    // their last CR.
    const std::string_view body =
        segment.ends_with('\r') ? segment.substr(0, segment.size() - 1) : segment;
    if (IsPlainAscii(body)) {
        if (widenAscii)
            WidenAscii(body, out);
        else
            out.clear();
        return true;
    }
    segment = segment.substr(0, segment.find('\0'));
    out.clear();
    codePage.Decode(segment, out);
    EraseLineEnds(out);
    return false;
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
{
    suffixes_.Reserve(suffixes.size());
    for (const std::u16string& suffix : suffixes)
        suffixes_.Add(suffix);
}

bool SuffixLookup::Holds(std::u16string_view line)
{
    const std::size_t at = FindUnit(line, u'@');
    if (at == std::u16string_view::npos) {
        suffix_.clear();
    } else {
        // The text after the "@", lowered; it is the suffix unless it holds an LF or a CR.
        const std::u16string_view tail = line.substr(at + 1);
        suffix_.resize(tail.size());
        if (!LowerHoldingNoLineEnd(tail, suffix_.data()))
            LowerSuffixInto(line, suffix_);
    }
    return suffixes_.Find(suffix_) != LineTable::none;
}

bool SuffixLookup::HoldsAscii(std::string_view line)
{
    const std::size_t at = line.find('@');
    const std::string_view tail =
        at == std::string_view::npos ? std::string_view() : line.substr(at + 1);
    asciiSuffix_.resize(tail.size());
    std::transform(tail.begin(), tail.end(), asciiSuffix_.begin(),
                   [](char byte) { return static_cast<char>(LowerAscii(byte)); });
    return suffixes_.FindKey(asciiSuffix_) != LineTable::none;
}

} // namespace trelvane
