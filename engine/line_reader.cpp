// Cutting input files into numbered address lines, and counting their lines.
#include "engine/line_reader.h"

#include "engine/address_line.h"
#include "engine/os/file.h"

#include <algorithm>
#include <memory>

namespace trelvane {
namespace {

bool IsStopped(const StopFlag* stop)
{
    return stop != nullptr && stop->IsRequested();
}

ReadOutcome Failed(int errorNumber)
{
    return ReadOutcome{false, errorNumber, false, 0};
}

/// Reads the file at path block by block, handing each block to onBlock, until its end, a
/// failure or a stop request (checked before every block, and while a pipe has no data yet).
/// Every byte is read exactly once.
template <typename OnBlock>
ReadOutcome ReadBlocks(const std::u16string& path, const StopFlag* stop, OnBlock&& onBlock)
{
    os::InputFile file(path);
    if (!file.IsOpen())
        return Failed(file.Error());
    const auto block = std::make_unique_for_overwrite<char[]>(readBlockBytes);
    for (;;) {
        if (IsStopped(stop))
            return ReadOutcome{true, 0, true, 0};
        const std::ptrdiff_t count = file.Read(block.get(), readBlockBytes);
        if (count == os::InputFile::noDataYet)
            continue;
        if (count < 0)
            return Failed(file.Error());
        if (count == 0)
            return ReadOutcome{};
        onBlock(std::string_view(block.get(), static_cast<std::size_t>(count)));
    }
}

void HandOverLines(LineCutter& cutter, const CodePage& codePage, std::u16string& text,
                   const std::function<void(const ReadLine&)>& step)
{
    CutLine cut;
    ReadLine line;
    while (cutter.Next(cut)) {
        if (cut.overLong)
            text.clear();
        else
            NormaliseLine(cut.bytes, codePage, text);
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
                             const std::function<void(const ReadLine&)>& step, const StopFlag* stop)
{
    LineCutter cutter;
    std::u16string text;
    ReadOutcome outcome = ReadBlocks(path, stop, [&](std::string_view block) {
        cutter.Feed(block);
        HandOverLines(cutter, codePage, text, step);
    });
    outcome.lines = cutter.Lines();
    return outcome;
}

LineCount CountLines(const std::u16string& path, const StopFlag* stop)
{
    LineCount result;
    result.outcome = ReadBlocks(path, stop, [&result](std::string_view block) {
        result.lines += std::count(block.begin(), block.end(), '\n');
    });
    result.outcome.lines = result.lines;
    return result;
}

} // namespace trelvane
