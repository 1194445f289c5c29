// Turning consecutive keys of a sorted set into the bytes of output lines, off the writing thread.
#pragma once

#include "engine/address_set.h"
#include "engine/code_page.h"
#include "engine/removal_sink.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trelvane {

/// The output of consecutive lines of a set: what the writer needs to handle them in order.
struct OutputPiece
{
    /// A line the writer leaves out.
    struct Skipped
    {
        RemovalReason reason = RemovalReason::Empty;
        std::size_t textEnd = 0; ///< end of its text in skippedText
        std::uint64_t place = 0; ///< its tag
    };

    /// The written lines in the code page, each with its CR LF.
    std::string bytes;
    /// Per line, the end of its bytes; a skipped line ends where the line before it ended.
    std::vector<std::uint32_t> ends;
    /// The skipped lines in order; their texts only when asked for.
    std::vector<Skipped> skipped;
    std::u16string skippedText;
    /// The line being converted.
    std::u16string line;
};

/// Makes OutputPieces from the keys of a set; one maker may serve several threads at once.
class OutputPieceMaker
{
public:
    /// Lines go out in codePage; with keepSuffixes, only lines whose domain suffix is listed
    /// are written (HasListedSuffix). tellSkipped keeps the texts of skipped lines.
    OutputPieceMaker(const CodePage& codePage, const std::vector<std::u16string>* keepSuffixes,
                     bool tellSkipped);

    /// Replaces piece's content by the output of keys; empty lines are skipped.
    void Make(const KeyPiece& keys, OutputPiece& piece) const;

private:
    void AddLine(std::string_view key, std::uint64_t tag, OutputPiece& piece) const;
    void Skip(OutputPiece& piece, RemovalReason reason, std::u16string_view line,
              std::uint64_t place) const;
    bool IsKept(std::u16string_view line) const;

    const CodePage& codePage_;
    const std::vector<std::u16string>* keepSuffixes_;
    bool tellSkipped_;
    // Whether the code page writes every ASCII character as that same byte: then an ASCII key
    // is its own output.
    bool asciiAsIs_;
};

} // namespace trelvane
