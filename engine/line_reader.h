// Reading an input file as a stream of numbered address lines.
#pragma once

#include "engine/code_page.h"
#include "engine/stop_flag.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace trelvane {

/// Lines longer than this many bytes (before the LF) are not kept.
inline constexpr std::size_t maxLineBytes = 64 * 1024;

/// The size of the blocks in which input files are read.
inline constexpr std::size_t readBlockBytes = 256 * 1024;

/// One line handed over by the reader.
struct ReadLine
{
    std::int64_t number = 0; ///< number of the line in its file, from 1
    /// The address line; empty when overLong, and for an ASCII line when the reader was asked to
    /// leave such lines as bytes. Valid during the call.
    std::u16string_view text;
    std::string_view bytes; ///< the line's bytes without its LF; empty when overLong
    bool overLong = false;  ///< the line was longer than maxLineBytes and is not given
    /// The line is ASCII without zero, LF or CR but a final CR: its text is AsciiBody, one unit
    /// a byte.
    bool ascii = false;

    /// An ASCII line's bytes less a final CR.
    std::string_view AsciiBody() const
    {
        return bytes.ends_with('\r') ? bytes.substr(0, bytes.size() - 1) : bytes;
    }
};

/// How reading a file ended.
struct ReadOutcome
{
    bool ok = true;      ///< the whole file was read (or reading was stopped on request)
    int errorNumber = 0; ///< errno of the failed open or read when !ok
    bool stopped = false;
    std::int64_t lines = 0; ///< the LF-ended lines read (handed over, or counted)
};

/// One LF-ended line cut from a byte stream.
struct CutLine
{
    std::int64_t number = 0; ///< number of the line in the stream, from 1
    std::string_view bytes;  ///< the line's bytes without its LF; empty when overLong
    bool overLong = false;   ///< the line had more than the cutter's maximum of bytes
};

/// Cuts a byte stream, fed in blocks of any size, into LF-ended lines.
///
/// A line that is not finished at the end of a block is carried over to the next one; its
/// bytes are kept only up to the maximum, so memory stays bounded by that. Bytes after the
/// last LF of the stream never form a line.
class LineCutter
{
public:
    explicit LineCutter(std::size_t maxBytes = maxLineBytes) : maxBytes_(maxBytes) {}

    /// Makes block the bytes that the next calls of Next cut; block must stay valid until Next
    /// returns false.
    void Feed(std::string_view block);
    /// Sets line to the next line that ends in the fed block; false when the block holds no
    /// further LF. The line's bytes stay valid until the next call.
    bool Next(CutLine& line);
    /// The number of lines handed out so far.
    std::int64_t Lines() const { return number_; }

private:
    bool Carry(std::string_view piece);

    std::size_t maxBytes_;
    std::string_view block_;
    std::string carry_;
    bool carryOverLong_ = false;
    bool carryHandedOut_ = false;
    std::int64_t number_ = 0;
};

/// Calls step for every LF-ended line of the file at path, in file order, decoded with
/// codePage and normalised; bytes after the last LF are not a line. Without widenAscii, ASCII
/// lines are given as bytes only (see ReadLine::text). Streams the file with memory bounded by
/// one block and the longest kept line. Stops at a failed open or read (reported in the outcome,
/// no further lines) or when stop is requested (checked per block).
ReadOutcome ReadAddressLines(const std::u16string& path, const CodePage& codePage,
                             const std::function<void(const ReadLine&)>& step,
                             const StopFlag* stop = nullptr, bool widenAscii = true);

/// Regular files of at least this many bytes are counted in two halves, on two threads.
inline constexpr std::uint64_t splitCountBytes = std::uint64_t{8} << 20;

/// The number of LF bytes in the file at path, and how reading it ended.
struct LineCount
{
    std::int64_t lines = 0;
    ReadOutcome outcome;
};

/// Counts the LF bytes of the file at path; a file that cannot be read gives its outcome and the
/// count so far (0 when it cannot be opened). Stop is checked per block. Meant for a regular
/// file: the bytes of a pipe would be gone for the reading that follows.
LineCount CountLines(const std::u16string& path, const StopFlag* stop = nullptr);

} // namespace trelvane
