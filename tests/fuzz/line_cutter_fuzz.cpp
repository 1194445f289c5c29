// Fuzzes LineCutter against a plain split at LF, feeding the stream in blocks of fuzzed sizes.
#include "engine/line_reader.h"
#include "tests/fuzz/fuzz_support.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <memory>
#include <vector>

using namespace trelvane;
using trelvane::fuzz::Hex;
using trelvane::fuzz::Mismatch;

namespace {

struct ModelLine
{
    std::string_view bytes;
    bool overLong;
};

/// The LF-ended lines of stream; the bytes after its last LF are no line.
std::vector<ModelLine> SplitAtLf(std::string_view stream, std::size_t maxBytes)
{
    std::vector<ModelLine> lines;
    for (std::size_t lf; (lf = stream.find('\n')) != std::string_view::npos;) {
        const std::string_view line = stream.substr(0, lf);
        lines.push_back(line.size() > maxBytes ? ModelLine{{}, true} : ModelLine{line, false});
        stream.remove_prefix(lf + 1);
    }
    return lines;
}

void ExpectLine(const std::vector<ModelLine>& expected, std::size_t index, const CutLine& line)
{
    if (index >= expected.size())
        Mismatch("line count", std::to_string(expected.size()), "more, got " + Hex(line.bytes));
    if (line.number != static_cast<int>(index + 1))
        Mismatch("line number", std::to_string(index + 1), std::to_string(line.number));
    const ModelLine& model = expected[index];
    if (line.overLong != model.overLong)
        Mismatch("overLong of a line", std::to_string(model.overLong),
                 std::to_string(line.overLong));
    if (line.bytes != model.bytes)
        Mismatch("line bytes", Hex(model.bytes), Hex(line.bytes));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    // A small maximum lets lines both fit and overflow within short inputs.
    const auto maxBytes = input.ConsumeIntegralInRange<std::size_t>(0, 24);
    std::vector<std::size_t> blockSizes(input.ConsumeIntegralInRange<std::size_t>(1, 8));
    for (std::size_t& blockSize : blockSizes)
        blockSize = input.ConsumeIntegralInRange<std::size_t>(0, 16);
    blockSizes.front() += 1; // empty blocks are fed too, but the stream must move on
    const std::string stream = input.ConsumeRemainingBytesAsString();
    const std::vector<ModelLine> expected = SplitAtLf(stream, maxBytes);

    LineCutter cutter(maxBytes);
    std::size_t cut = 0;
    for (std::size_t position = 0, turn = 0; position < stream.size(); ++turn) {
        const std::size_t length = blockSizes[turn % blockSizes.size()];
        // A block of its own on the heap, so that a line pointing into an earlier block is caught.
        const auto block = std::make_unique<std::string>(stream.substr(position, length));
        position += block->size();
        cutter.Feed(*block);
        CutLine line;
        while (cutter.Next(line))
            ExpectLine(expected, cut++, line);
    }
    if (cut != expected.size())
        Mismatch("line count", std::to_string(expected.size()), std::to_string(cut));
    return 0;
}
