// Tests of cutting byte streams into lines and of reading input files.
#include "engine/line_reader.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <random>

namespace trelvane {
namespace {

using namespace std::literals;
using test::U16;

/// A cut line as text: "3:bytes", or "3:over-long".
std::string Show(std::int64_t number, std::string_view bytes, bool overLong)
{
    return std::to_string(number) + ":" + (overLong ? "over-long" : std::string(bytes));
}

/// Feeds text to a cutter in blocks whose sizes nextSize gives, and shows every line.
template <typename NextSize>
std::vector<std::string> Cut(std::string_view text, std::size_t maxBytes, NextSize nextSize)
{
    LineCutter cutter(maxBytes);
    std::vector<std::string> lines;
    CutLine line;
    while (!text.empty()) {
        const std::size_t size = std::min(nextSize(), text.size());
        cutter.Feed(text.substr(0, size));
        text.remove_prefix(size);
        while (cutter.Next(line))
            lines.push_back(Show(line.number, line.bytes, line.overLong));
    }
    return lines;
}

/// The lines of the whole text at once: split at LF, the rest after the last LF dropped.
std::vector<std::string> ReferenceSplit(std::string_view text, std::size_t maxBytes)
{
    std::vector<std::string> lines;
    for (std::size_t lf = text.find('\n'); lf != std::string_view::npos; lf = text.find('\n')) {
        const int number = static_cast<int>(lines.size()) + 1;
        lines.push_back(Show(number, text.substr(0, lf), lf > maxBytes));
        text.remove_prefix(lf + 1);
    }
    return lines;
}

TEST(LineCutter, GivesTheSameLinesForEveryBlockSize)
{
    struct Row
    {
        const char* name;
        std::string text;
        std::vector<std::string> lines;
    };
    const std::string longLine(9, 'L');
    const Row rows[] = {
        {"empty", "", {}},
        {"no lf", "abc", {}},
        {"single lf", "\n", {"1:"}},
        {"last line without lf dropped", "a@b\nd@e", {"1:a@b"}},
        {"blank lines numbered", "a\n\n\r\nb\n", {"1:a", "2:", "3:\r", "4:b"}},
        {"line of the maximum kept",
         "ab\n" + longLine.substr(1) + "\nc\n",
         {"1:ab", "2:" + longLine.substr(1), "3:c"}},
        {"longer line over-long, still numbered",
         "ab\n" + longLine + "\nc\n",
         {"1:ab", "2:over-long", "3:c"}},
        {"over-long line at the end", longLine + longLine + "\n", {"1:over-long"}},
        {"over-long then a short unfinished line", longLine + "\nxy", {"1:over-long"}},
    };
    // Block size 0 stands for the whole text as exactly one block.
    for (const std::size_t blockSize : {0u, 1u, 2u, 3u, 5u, 8u, 16u, 4096u}) {
        for (const Row& row : rows) {
            const std::size_t size = blockSize == 0 ? row.text.size() : blockSize;
            EXPECT_EQ(Cut(row.text, 8, [size] { return size; }), row.lines)
                << row.name << ", block size " << blockSize;
        }
    }
}

TEST(LineCutter, MatchesWholeTextSplitOnRandomInput)
{
    std::mt19937 random(20261209);
    const std::string alphabet = "ab@\r\n\n\0x"s;
    for (int round = 0; round < 300; ++round) {
        std::string text(std::uniform_int_distribution<std::size_t>(0, 600)(random), ' ');
        for (char& byte : text)
            byte = alphabet[random() % alphabet.size()];
        const std::size_t maxBytes = std::uniform_int_distribution<std::size_t>(0, 12)(random);
        const std::size_t largest = std::uniform_int_distribution<std::size_t>(1, 64)(random);
        auto nextSize = [&] {
            return std::uniform_int_distribution<std::size_t>(1, largest)(random);
        };
        ASSERT_EQ(Cut(text, maxBytes, nextSize), ReferenceSplit(text, maxBytes))
            << "round " << round;
    }
}

class ReaderTest : public ::testing::Test
{
protected:
    /// Reads the file at path and shows every line handed over.
    std::vector<std::string> Read(const std::u16string& path, const StopFlag* stop = nullptr)
    {
        std::vector<std::string> lines;
        const auto step = [&](const ReadLine& line) {
            lines.push_back(Show(line.number, test::Utf8(line.text), line.overLong));
        };
        outcome = ReadAddressLines(path, CodePage::Utf8(), step, stop);
        return lines;
    }
    std::vector<std::string> Read(const std::string& name, std::string_view bytes)
    {
        dir.Write(name, bytes);
        return Read(dir.Wide(name));
    }

    test::TempDir dir;
    ReadOutcome outcome;
};

TEST_F(ReaderTest, NormalisesEveryLine)
{
    const std::string longLine(300, 'l');
    const auto lines = Read("in.txt", "\xEF\xBB\xBF"
                                      "Ab@Cd.Example\r\n\xE5\x90\x8D@x\n ab\0cd \r\n"s +
                                          longLine + "\r\nrest");
    EXPECT_EQ(lines, (std::vector<std::string>{"1:\xEF\xBB\xBF"
                                               "Ab@Cd.Example",
                                               "2:\xE5\x90\x8D@x", "3: ab", "4:" + longLine}));
    EXPECT_TRUE(outcome.ok);
}

TEST_F(ReaderTest, CarriesLinesAcrossReadBlocks)
{
    // Lines of 16 bytes up to 16 bytes before the first block end, then one line across it,
    // then an over-long line across the second block end.
    const std::size_t shortLines = readBlockBytes / 16 - 1;
    std::string text;
    for (std::size_t i = 0; i < shortLines; ++i)
        text += "short@b.example\n";
    text += "straddle@b.example\n" + std::string(maxLineBytes + readBlockBytes, 'x') + "\nlast\n";
    const auto lines = Read("big.txt", text);
    ASSERT_EQ(lines.size(), shortLines + 3);
    EXPECT_EQ(lines[shortLines - 1], std::to_string(shortLines) + ":short@b.example");
    EXPECT_EQ(lines[shortLines], std::to_string(shortLines + 1) + ":straddle@b.example");
    EXPECT_EQ(lines[shortLines + 1], std::to_string(shortLines + 2) + ":over-long");
    EXPECT_EQ(lines[shortLines + 2], std::to_string(shortLines + 3) + ":last");
}

TEST_F(ReaderTest, FailureGivesErrorAndNoLines)
{
    // Opening a folder works on Linux; reading it fails.
    const std::pair<std::u16string, int> rows[] = {{dir.Wide("missing.txt"), ENOENT},
                                                   {test::WidePath(dir.Path()), EISDIR}};
    for (const auto& [path, error] : rows) {
        EXPECT_TRUE(Read(path).empty());
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(outcome.errorNumber, error);
        const LineCount count = CountLines(path);
        EXPECT_EQ(count.lines, 0);
        EXPECT_FALSE(count.outcome.ok);
        EXPECT_EQ(count.outcome.errorNumber, error);
    }
}

TEST_F(ReaderTest, StopsBeforeTheNextBlock)
{
    StopFlag stop;
    stop.Request();
    dir.Write("in.txt", "a\nb\n");
    EXPECT_TRUE(Read(dir.Wide("in.txt"), &stop).empty());
    EXPECT_TRUE(outcome.stopped);
    EXPECT_TRUE(CountLines(dir.Wide("in.txt"), &stop).outcome.stopped);
}

TEST_F(ReaderTest, CountLinesCountsLfBytes)
{
    const std::pair<std::string, std::int64_t> rows[] = {
        {"a\r\n\nb\nno lf at the end", 3},
        // Nothing but LFs, past the point where the counter of each byte place would overflow.
        {std::string(8 * 300 + 3, '\n'), 8 * 300 + 3},
        {std::string(5000, 'x') + "\n" + std::string(5000, '\r') + "\n", 2},
        // Big enough to be counted in two halves, which meet inside a line.
        {std::string(splitCountBytes + 7, 'y') + "\n" + std::string(splitCountBytes, '\n'),
         static_cast<std::int64_t>(splitCountBytes) + 1},
    };
    for (const auto& [text, lines] : rows) {
        dir.Write("in.txt", text);
        const LineCount count = CountLines(dir.Wide("in.txt"));
        EXPECT_TRUE(count.outcome.ok);
        EXPECT_EQ(count.lines, lines);
    }
}

} // namespace
} // namespace trelvane
