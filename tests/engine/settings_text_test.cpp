// Tests of splitting, lower-casing and number reading of the settings texts.
#include "engine/settings_text.h"

#include "test_support.h"

#include <gtest/gtest.h>

namespace trelvane {
namespace {

using test::U16;
using List = std::vector<std::u16string>;

TEST(SplitList, DropsEmptyTokensAndKeepsBlanks)
{
    const struct
    {
        const char* name;
        std::u16string text;
        List expected;
    } rows[] = {
        {"empty text", u"", {}},
        {"delimiters only", u",,,", {}},
        {"one token", u"a@x.example", {u"a@x.example"}},
        {"leading, trailing and doubled delimiters", u",a,,b,", {u"a", u"b"}},
        {"blanks stay in the token", u" a , b", {u" a ", u" b"}},
        {"full-width comma does not split", u"a\uFF0Cb", {u"a\uFF0Cb"}},
        {"duplicates stay", u"a,a", {u"a", u"a"}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(SplitList(row.text, u','), row.expected) << row.name;
    EXPECT_EQ(SplitList(u"qq.example|163.example", u'|'), (List{u"qq.example", u"163.example"}));
    EXPECT_EQ(SplitList(u"a,b|c", u'|'), (List{u"a,b", u"c"}));
}

TEST(LowerAscii, LowersOnlyAsciiCapitals)
{
    EXPECT_EQ(LowerAscii(u"QQ.Example|ABC"), u"qq.example|abc");
    EXPECT_EQ(LowerAscii(U16("Ä\uFF21z@")), U16("Ä\uFF21z@"));
}

TEST(ReadSignedInt, ReadsAsTheDialogNumberReadingDoes)
{
    const struct
    {
        const char* name;
        std::u16string text;
        std::int32_t expected;
    } rows[] = {
        {"empty", u"", 0},
        {"plain", u"1000", 1000},
        {"leading blanks", u"   42", 42},
        {"minus", u"-7", -7},
        {"lone minus", u"-", 0},
        {"not a number", u"abc", 0},
        {"digits then text", u"12ab", 12},
        {"largest", u"2147483647", 2147483647},
        {"one beyond", u"2147483648", 0},
        {"smallest", u"-2147483648", -2147483647 - 1},
        {"eleven nines", u"99999999999", 0},
        {"leading zeros", u"007", 7},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ReadSignedInt(row.text), row.expected) << row.name;
}

TEST(DecimalText, PlainDigitsWithMinusSign)
{
    EXPECT_EQ(DecimalText(0), u"0");
    EXPECT_EQ(DecimalText(1234567), u"1234567");
    EXPECT_EQ(DecimalText(-42), u"-42");
}

TEST(IsBlank, UsesWideWhiteSpace)
{
    EXPECT_TRUE(IsBlank(u""));
    EXPECT_TRUE(IsBlank(u" \t\r\n\v\f\u00A0\u3000"));
    EXPECT_FALSE(IsBlank(u" out.txt "));
    EXPECT_FALSE(IsBlank(u"\u200B"));
}

} // namespace
} // namespace trelvane
