// Turning consecutive keys of a sorted set into the bytes of output lines, off the writing thread.
#include "engine/output_piece.h"

#include "engine/address_key.h"
#include "engine/address_line.h"

namespace trelvane {
namespace {

constexpr std::string_view lineEnd = "\r\n";

// Asked of the code page rather than assumed from its name: a code page that keeps ASCII bytes
// for reading may still write some of them otherwise.
bool WritesAsciiAsIs(const CodePage& codePage)
{
    std::u16string characters;
    std::string bytes;
    for (char16_t unit = 0; unit < 0x80; ++unit) {
        characters += unit;
        bytes += static_cast<char>(unit);
    }
    std::string encoded;
    return codePage.Encode(characters, encoded) && encoded == bytes;
}

bool IsAsciiKey(std::string_view key)
{
    const auto* next = reinterpret_cast<const unsigned char*>(key.data());
    const auto* end = next + key.size();
    for (; end - next >= 8; next += 8) {
        if (!addresskey::IsAsciiOctet(next))
            return false;
    }
    for (; next != end; ++next) {
        if (*next >= 0x80)
            return false;
    }
    return true;
}

void DecodeInto(std::string_view key, std::u16string& line)
{
    line.resize(key.size());
    line.resize(DecodeAddressKey(key, line.data()));
}

} // namespace

OutputPieceMaker::OutputPieceMaker(const CodePage& codePage,
                                   const std::vector<std::u16string>* keepSuffixes,
                                   bool tellSkipped)
    : codePage_(codePage), keepSuffixes_(keepSuffixes), tellSkipped_(tellSkipped),
      asciiAsIs_(WritesAsciiAsIs(codePage))
{
}

void OutputPieceMaker::Make(const KeyPiece& keys, OutputPiece& piece) const
{
    piece.bytes.clear();
    piece.ends.clear();
    piece.skipped.clear();
    piece.skippedText.clear();
    for (std::size_t i = 0; i < keys.Size(); ++i) {
        const std::string_view key = keys.KeyAt(i);
        if (key.empty())
            Skip(piece, RemovalReason::Empty, {}, keys.TagAt(i));
        else
            AddLine(key, keys.TagAt(i), piece);
        piece.ends.push_back(static_cast<std::uint32_t>(piece.bytes.size()));
    }
}

void OutputPieceMaker::AddLine(std::string_view key, std::uint64_t tag, OutputPiece& piece) const
{
    const bool asIs = asciiAsIs_ && IsAsciiKey(key);
    if (!asIs || keepSuffixes_ != nullptr)
        DecodeInto(key, piece.line);
    if (!IsKept(piece.line)) {
        Skip(piece, RemovalReason::NotKeptSuffix, piece.line, tag);
        return;
    }
    // Address lines were decoded with this code page, so every character has a form.
    if (asIs)
        piece.bytes.append(key);
    else
        codePage_.Encode(piece.line, piece.bytes);
    piece.bytes.append(lineEnd);
}

void OutputPieceMaker::Skip(OutputPiece& piece, RemovalReason reason, std::u16string_view line,
                            std::uint64_t place) const
{
    if (tellSkipped_)
        piece.skippedText.append(line);
    piece.skipped.push_back({reason, piece.skippedText.size(), place});
}

bool OutputPieceMaker::IsKept(std::u16string_view line) const
{
    return keepSuffixes_ == nullptr || HasListedSuffix(line, *keepSuffixes_);
}

} // namespace trelvane
