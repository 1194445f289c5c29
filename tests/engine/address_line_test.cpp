// Tests of address-line normalisation and domain suffixes.
#include "engine/address_line.h"

#include "test_support.h"

#include <gtest/gtest.h>

namespace trelvane {
namespace {

TEST(NormaliseLine, RemovesLastLfThenLastCrAndNothingElse)
{
    struct Row
    {
        const char* name;
        std::string_view bytes;
        std::u16string expected;
    };
    using namespace std::string_view_literals;
    const Row rows[] = {
        {"crlf line end", "a@b.example\r"sv, u"a@b.example"},
        {"cr inside is removed", "ab\rcd"sv, u"abcd"},
        {"two crs keep the first", "ab\r\r"sv, u"ab\r"},
        {"lf goes before cr", "a\r\nb\r"sv, u"a\rb"},
        {"zero byte ends the text", "ab\0cd\r"sv, u"ab"},
        {"spaces and case stay", " A@b.Example \t"sv, u" A@b.Example \t"},
        {"empty", ""sv, u""},
        {"utf-8 bom kept",
         "\xEF\xBB\xBF"
         "a"sv,
         u"\uFEFFa"},
        {"non-ascii", "\xE5\x90\x8D@b\r"sv, u"\u540D@b"},
        {"invalid byte escaped", "a\xFF"sv, u"a\xDCFF"},
        // Lines longer than one word of eight bytes, each rule in the second word.
        {"long crlf line", "abcdefghij\r"sv, u"abcdefghij"},
        {"long, cr inside", "abcdefghij\rk"sv, u"abcdefghijk"},
        {"long, zero inside", "abcdefghi\0jk\r"sv, u"abcdefghi"},
        {"long, lf inside", "abcdefghi\njk\r"sv, u"abcdefghijk"},
        {"long, cr inside and at the end", "abcdefghi\rjk\r"sv, u"abcdefghi\rjk"},
        {"long, non-ascii", "abcdefghi\xC3\xA9\r"sv, u"abcdefghi\u00E9"},
        {"non-ascii, lf inside", "\xC3\xA9\nb\r"sv, u"\u00E9b"},
        {"non-ascii, cr inside and at the end", "\xC3\xA9\rb\r\r"sv, u"\u00E9\rb\r"},
    };
    std::u16string out = u"left over from the line before";
    for (const Row& row : rows) {
        NormaliseLine(row.bytes, CodePage::Utf8(), out);
        EXPECT_EQ(out, row.expected) << row.name;
    }
}

struct SuffixRow
{
    const char* name;
    std::u16string line;
    std::u16string suffix;
};

const SuffixRow suffixRows[] = {
    {"lowered", u"Jo@Mx.Ab.Example", u"mx.ab.example"},
    {"no at", u"jo.example", u""},
    {"at is last", u"jo@", u""},
    {"first at splits", u"a@b@C.Example", u"b@c.example"},
    {"at is first", u"@Host", u"host"},
    {"full-width capitals stay", u"x@\uFF21\uFF22.Example", u"\uFF21\uFF22.example"},
    {"last cr removed", u"x@B.Example\r", u"b.example"},
    {"only the last cr removed", u"x@b\r\r", u"b\r"},
    {"cr inside removed", u"x@a\rb", u"ab"},
    {"lf then cr removed", u"x@b\n\r", u"b"},
    {"cr then lf removed", u"x@a\rb\nc", u"abc"},
    {"cr before the at", u"x\r@b", u"b"},
    {"blank", u"", u""},
    {"letters lowered, their neighbours kept",
     u"x@@AZ[`az{.EXAMPLE.\u00C0B.ABCDEFGHIJKLMNOPQRSTUVWXYZ",
     u"@az[`az{.example.\u00C0b.abcdefghijklmnopqrstuvwxyz"},
    {"long, cr in the second word", u"x@ABCDEFG\rHI", u"abcdefghi"},
};

TEST(ExtractDomainSuffix, GivesLoweredTextAfterFirstAt)
{
    for (const SuffixRow& row : suffixRows)
        EXPECT_EQ(ExtractDomainSuffix(row.line), row.suffix) << row.name;
}

// HasListedSuffix's answer, checked to be SuffixLookup's too.
bool Listed(std::u16string_view line, const std::vector<std::u16string>& suffixes)
{
    const bool listed = HasListedSuffix(line, suffixes);
    SuffixLookup lookup(suffixes);
    EXPECT_EQ(lookup.Holds(line), listed);
    return listed;
}

TEST(HasListedSuffix, MatchesExactlyWhatExtractDomainSuffixGives)
{
    for (const SuffixRow& row : suffixRows) {
        const std::u16string suffix = ExtractDomainSuffix(row.line);
        EXPECT_TRUE(Listed(row.line, {u"other.example", suffix})) << row.name;
        EXPECT_FALSE(Listed(row.line, {})) << row.name;
        EXPECT_FALSE(Listed(row.line, {suffix + u"x", u"x" + suffix})) << row.name;
        if (!suffix.empty()) {
            EXPECT_FALSE(Listed(row.line, {u"", suffix.substr(1)})) << row.name;
        }
    }
}

TEST(HasListedSuffix, ComparesEntriesUnchanged)
{
    const std::vector<std::u16string> list = {u"B.Example", u"b.example"};
    EXPECT_TRUE(Listed(u"x@B.EXAMPLE", list));
    EXPECT_FALSE(Listed(u"x@B.EXAMPLE", {u"B.Example"}));
    EXPECT_FALSE(Listed(u"x@mail.b.example", list));
    EXPECT_FALSE(Listed(u"x@b.example ", list));
}

} // namespace
} // namespace trelvane
