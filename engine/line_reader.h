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

/// One line handed over by the reader.
struct ReadLine
{
    int number = 0;            ///< number of the line in its file, from 1
    std::u16string_view text;  ///< the address line; empty when overLong; valid during the call
    bool overLong = false;     ///< the line was longer than maxLineBytes and is not given
};

/// How reading a file ended.
struct ReadOutcome
{
    bool ok = true;      ///< the whole file was read (or reading was stopped on request)
    int errorNumber = 0; ///< errno of the failed open or read when !ok
    bool stopped = false;
};

/// Calls step for every LF-ended line of the file at path, in file order; bytes after the last
/// LF are not a line. Streams the file with memory bounded by one block and the longest kept
/// line. Stops at a failed open or read (reported in the outcome) or when stop is requested.
ReadOutcome ReadAddressLines(const std::u16string& path, const CodePage& codePage,
                             const std::function<void(const ReadLine&)>& step,
                             const StopFlag* stop = nullptr);

/// The number of LF bytes in the file at path, and how reading it ended.
struct LineCount
{
    int lines = 0;
    ReadOutcome outcome;
};
LineCount CountLines(const std::u16string& path, const StopFlag* stop = nullptr);

} // namespace trelvane
