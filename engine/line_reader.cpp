// Cutting input files into numbered address lines, and counting their lines.
#include "engine/line_reader.h"

#include "engine/address_line.h"
#include "engine/os/file.h"
#include "engine/word_scan.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>

namespace trelvane {
namespace {

/// The number of LF bytes in bytes, eight at a time: each byte of a word of counters counts
/// the LFs at its place, for up to 255 words, before they are summed.
std::int64_t CountLf(std::string_view bytes)
{
    std::int64_t count = 0;
    while (bytes.size() >= 8) {
        const std::size_t words = std::min<std::size_t>(bytes.size() / 8, 255);
        std::uint64_t counters = 0;
        for (std::size_t i = 0; i < words; ++i)
            counters += wordscan::BytesEqual(wordscan::Load(bytes.data() + 8 * i), '\n') >> 7;
        const std::uint64_t pairs =
            (counters & 0x00FF'00FF'00FF'00FFu) + ((counters >> 8) & 0x00FF'00FF'00FF'00FFu);
        count += static_cast<std::int64_t>((pairs * wordscan::eachUnit) >> 48);
        bytes.remove_prefix(8 * words);
    }
    return count + std::count(bytes.begin(), bytes.end(), '\n');
}

ReadOutcome Failed(int errorNumber)
{
    return ReadOutcome{false, errorNumber, false, 0};
}

/// Reads an open file block by block, at most limit bytes, handing each block to onBlock, until
/// its end, a failure or a stop request (checked before every block, and while a pipe has no data
/// yet). Every byte is read exactly once.
template <typename OnBlock>
ReadOutcome ReadOpenFile(os::InputFile& file, std::uint64_t limit, const StopFlag* stop,
                         OnBlock&& onBlock)
{
    const auto block = std::make_unique_for_overwrite<char[]>(readBlockBytes);
    for (std::uint64_t left = limit; left != 0;) {
        if (StopRequested(stop))
            return ReadOutcome{true, 0, true, 0};
        const std::ptrdiff_t count = file.Read(
            block.get(), static_cast<std::size_t>(std::min<std::uint64_t>(readBlockBytes, left)));
        if (count == os::InputFile::noDataYet)
            continue;
        if (count < 0)
            return Failed(file.Error());
        if (count == 0)
            break;
        left -= static_cast<std::uint64_t>(count);
        onBlock(std::string_view(block.get(), static_cast<std::size_t>(count)));
    }
    return ReadOutcome{};
}

constexpr std::uint64_t wholeFile = ~std::uint64_t{0};

/// ReadOpenFile of the whole file at path.
template <typename OnBlock>
ReadOutcome ReadBlocks(const std::u16string& path, const StopFlag* stop, OnBlock&& onBlock)
{
    os::InputFile file(path);
    if (!file.IsOpen())
        return Failed(file.Error());
    return ReadOpenFile(file, wholeFile, stop, onBlock);
}

/// Counts the LF bytes of file from offset on.
LineCount CountFrom(os::InputFile& file, std::uint64_t offset, std::uint64_t limit,
                    const StopFlag* stop)
{
    LineCount count;
    if (offset != 0 && !file.SeekTo(offset)) {
        count.outcome = Failed(file.Error());
        return count;
    }
    count.outcome = ReadOpenFile(
        file, limit, stop, [&count](std::string_view block) { count.lines += CountLf(block); });
    return count;
}

void HandOverLines(LineCutter& cutter, const CodePage& codePage, bool widenAscii,
                   std::u16string& text, const std::function<void(const ReadLine&)>& step)
{
    CutLine cut;
    ReadLine line;
    while (cutter.Next(cut)) {
        if (cut.overLong)
            text.clear();
        line.ascii = !cut.overLong && NormaliseLine(cut.bytes, codePage, text, widenAscii);
        line.number = cut.number;
        line.text = text;
        line.bytes = cut.bytes;
        line.overLong = cut.overLong;
        step(line);
    }
}

} // namespace

void LineCutter::Feed(std::string_view block)
{
    block_ = block;
}

bool LineCutter::Next(CutLine& line)
{
    if (carryHandedOut_) {
        carry_.clear();
        carryHandedOut_ = false;
    }
    const std::size_t length = block_.find('\n');
    if (length == std::string_view::npos) {
        Carry(block_);
        block_ = {};
        return false;
    }
    const std::string_view piece = block_.substr(0, length);
    block_.remove_prefix(length + 1);
    line.number = ++number_;
    if (carry_.empty() && !carryOverLong_) {
        // The whole line lies in this block: hand it over without copying.
        line.overLong = piece.size() > maxBytes_;
        line.bytes = line.overLong ? std::string_view() : piece;
        return true;
    }
    line.overLong = !Carry(piece);
    line.bytes = line.overLong ? std::string_view() : std::string_view(carry_);
    carryOverLong_ = false;
    carryHandedOut_ = true;
    return true;
}

/// Adds piece to the unfinished line; false once the line has grown beyond the maximum, after
/// which its bytes are dropped instead of stored.
bool LineCutter::Carry(std::string_view piece)
{
    if (carryOverLong_)
        return false;
    if (carry_.size() + piece.size() > maxBytes_) {
        carryOverLong_ = true;
        carry_.clear();
        return false;
    }
    carry_.append(piece);
    return true;
}

ReadOutcome ReadAddressLines(const std::u16string& path, const CodePage& codePage,
                             const std::function<void(const ReadLine&)>& step, const StopFlag* stop,
                             bool widenAscii)
{
    LineCutter cutter;
    std::u16string text;
    ReadOutcome outcome = ReadBlocks(path, stop, [&](std::string_view block) {
        cutter.Feed(block);
        HandOverLines(cutter, codePage, widenAscii, text, step);
    });
    outcome.lines = cutter.Lines();
    return outcome;
}

LineCount CountLines(const std::u16string& path, const StopFlag* stop)
{
    os::InputFile file(path);
    if (!file.IsOpen())
        return {0, Failed(file.Error())};
    // The count comes before any line is processed: the second half of a big file is counted on
    // a thread of its own, on the core that would wait otherwise.
    const std::optional<os::FileIdentity> identity =
        file.IsRegular() ? file.Identity() : std::nullopt;
    std::uint64_t half = 0;
    if (identity && static_cast<std::uint64_t>(identity->size) >= splitCountBytes)
        half = static_cast<std::uint64_t>(identity->size) / 2;
    LineCount second;
    std::thread helper;
    if (half != 0) {
        try {
            helper = std::thread([&] {
                os::InputFile own(path);
                second = own.IsOpen() ? CountFrom(own, half, wholeFile, stop)
                                      : LineCount{0, Failed(own.Error())};
            });
        } catch (const std::system_error&) {
            half = 0;
        }
    }
    LineCount result = CountFrom(file, 0, half != 0 ? half : wholeFile, stop);
    if (helper.joinable()) {
        helper.join();
        result.lines += second.lines;
        if (result.outcome.ok && !result.outcome.stopped)
            result.outcome = second.outcome;
    }
    result.outcome.lines = result.lines;
    return result;
}

} // namespace trelvane
