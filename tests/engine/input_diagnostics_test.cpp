// Tests of the per-line input findings.
#include "engine/input_diagnostics.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace trelvane {
namespace {

using namespace std::literals;

TEST(InputDiagnostics, CountsAtSignsEscapedBytesAndBlanksOfEachLine)
{
    struct Row
    {
        const char* name;
        std::u16string text;
        std::int64_t atSigns; // findings of each kind for the line
        std::int64_t invalid;
        std::int64_t blanks;
    };
    const Row rows[] = {
        {"address", u"a@b.example", 0, 0, 0},
        {"empty line", u"", 0, 0, 0},
        {"no at sign", u"ab.example", 1, 0, 0},
        {"two at signs, in two words", u"abcdef@hijk@m", 1, 0, 0},
        {"at sign in the last partial word", u"abcdefgh@ij", 0, 0, 0},
        {"at signs in every place of a word", u"@@@@", 1, 0, 0},
        {"first escaped byte", u"a@\xDC80", 0, 1, 0},
        {"last escaped byte, in a whole word", u"a@bcdefg\xDCFF", 0, 1, 0},
        {"units next to the escapes", u"a@b\xDC7F\xDD00", 0, 0, 0},
        {"non-ascii letters", u"\u540D@\u00E9.example", 0, 0, 0},
        {"leading blank", u" a@b.example", 0, 0, 1},
        {"trailing ideographic space", u"a@b.example\u3000", 0, 0, 1},
        {"tab, two at signs and an escape", u"\ta@@b\xDCC3", 1, 1, 1},
    };
    const std::u16string path = u"in.txt";
    for (const Row& row : rows) {
        // An ASCII line is also checked as the reader hands it over in a plain job: as bytes
        // alone.
        std::string bytes;
        for (const char16_t unit : row.text)
            bytes += static_cast<char>(unit);
        bytes += '\r';
        const bool ascii = std::all_of(row.text.begin(), row.text.end(),
                                       [](char16_t unit) { return unit < 0x80; });
        for (const bool throughBytes : {false, true}) {
            if (throughBytes && !ascii)
                continue;
            InputDiagnostics diagnostics;
            diagnostics.BeginFile(path);
            ReadLine line;
            line.number = 2;
            line.text = throughBytes ? std::u16string_view() : std::u16string_view(row.text);
            line.bytes = throughBytes ? std::string_view(bytes) : "x";
            line.ascii = throughBytes;
            diagnostics.OnLine(line);
            diagnostics.EndFile();
            EXPECT_EQ(diagnostics.Finding(DiagnosticKind::AtSigns).count, row.atSigns) << row.name;
            EXPECT_EQ(diagnostics.Finding(DiagnosticKind::InvalidBytes).count, row.invalid)
                << row.name;
            EXPECT_EQ(diagnostics.Finding(DiagnosticKind::Blanks).count, row.blanks) << row.name;
        }
    }
}

} // namespace
} // namespace trelvane
