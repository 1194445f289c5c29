// Tests of decoding and encoding that hold with every system's converters: strict UTF-8, byte
// escapes, the Windows tables of GBK and cp1252, round trips.
#include "code_page_checks.h"
#include "test_support.h"

#include "engine/address_set.h"

#include <thread>

namespace trelvane {
namespace {

using namespace test;

TEST(Utf8Decode, IsStrictAndEscapesEachInvalidByte)
{
    ExpectDecodesAndRoundTrips(
        CodePage::Utf8(),
        {
            {"empty", "", u""},
            {"ASCII", "a@b.example", u"a@b.example"},
            {"two bytes", "\xC3\xA9", u"\u00E9"},
            {"three bytes", "\xE4\xB8\xAD", u"\u4E2D"},
            {"four bytes give a surrogate pair", "\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
            {"U+10FFFF", "\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
            {"non-ASCII after a long ASCII run", "abcdefghi\xC3\xA9jklmnopqr",
             u"abcdefghi\u00E9jklmnopqr"},
            {"overlong two bytes", "\xC0\xAF\xC1\xBF", {0xDCC0, 0xDCAF, 0xDCC1, 0xDCBF}},
            {"overlong three bytes", "\xE0\x80\xAF", {0xDCE0, 0xDC80, 0xDCAF}},
            {"overlong four bytes", "\xF0\x8F\xBF\xBF", {0xDCF0, 0xDC8F, 0xDCBF, 0xDCBF}},
            {"encoded surrogate", "\xED\xA0\x80", {0xDCED, 0xDCA0, 0xDC80}},
            {"encoded low surrogate", "\xED\xBF\xBF", {0xDCED, 0xDCBF, 0xDCBF}},
            {"above U+10FFFF", "\xF4\x90\x80\x80", {0xDCF4, 0xDC90, 0xDC80, 0xDC80}},
            {"lead bytes F5 to FF", "\xF5\x80\xFE\xFF", {0xDCF5, 0xDC80, 0xDCFE, 0xDCFF}},
            {"truncated at the end", "a\xE4\xB8", {u'a', 0xDCE4, 0xDCB8}},
            {"truncated mid-text", "\xF0\x9F\x98z", {0xDCF0, 0xDC9F, 0xDC98, u'z'}},
            {"valid sequence right after a truncated one", "\xE4\xE4\xB8\xAD", {0xDCE4, 0x4E2D}},
            {"two-byte sequence after a cut four-byte one",
             "\xF0\x9F\xC3\xA9",
             {0xDCF0, 0xDC9F, 0x00E9}},
            {"lone continuation bytes", "\x80x\xBF", {0xDC80, u'x', 0xDCBF}},
            {"zero byte", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
        });
}

TEST(Utf8Encode, EscapesComeBackAndLoneSurrogatesHaveNoForm)
{
    ExpectEncodes(CodePage::Utf8(),
                  {
                      {"two bytes", u"\u00E9", "\xC3\xA9", true},
                      {"surrogate pair", {0xD83D, 0xDE00}, "\xF0\x9F\x98\x80", true},
                      {"escapes",
                       {0xDC80, u'a', 0xDCFF},
                       "\x80"
                       "a\xFF",
                       true},
                      {"high surrogate before an escape is a pair",
                       {0xD83D, 0xDC80},
                       "\xF0\x9F\x92\x80",
                       true},
                      {"lone high surrogate", {u'a', 0xD800, u'b'}, "ab", false},
                      {"high surrogate at the end", {u'a', 0xDBFF}, "a", false},
                      {"low surrogate below the escapes", {0xDC00, 0xDC7F, u'c'}, "c", false},
                      {"low surrogate above the escapes", {0xDD00, 0xDFFF}, "", false},
                  });
}

TEST(Utf8Encode, AppendsToOutput)
{
    std::string bytes = "x";
    EXPECT_TRUE(CodePage::Utf8().Encode(u"\u00E9", bytes));
    EXPECT_EQ(bytes, "x\xC3\xA9");
    std::u16string text = u"y";
    CodePage::Utf8().Decode("\xC3\xA9z", text);
    EXPECT_EQ(Units(text), Units(u"y\u00E9z"));
}

TEST(Utf8RoundTrip, AnyBytesComeBack)
{
    ExpectRandomBytesRoundTrip(CodePage::Utf8());
}

TEST(Gbk, DecodesWithTheWindowsTable)
{
    // glibc's GBK has no character for 0x80; Windows 936 gives U+20AC. Byte 0xFF is told
    // apart in each system's own tests.
    const std::vector<DecodeRow> rows = {
        {"two characters", "\xD6\xD0\xCE\xC4", u"\u4E2D\u6587"},
        {"ASCII before and after", "user\xD5\xC5@x.example", u"user\u5F20@x.example"},
        {"euro sign byte", "\x80", u"\u20AC"},
        {"ideographic space", "\xA1\xA1", u"\u3000"},
        {"invalid trail byte is decoded on its own", "\x81\x30", {0xDC81, u'0'}},
        {"DEL is no trail byte", "\x81\x7F", {0xDC81, 0x007F}},
        {"lead byte at the end", "\xA1\xA1\x81", {0x3000, 0xDC81}},
    };
    ExpectDecodesAndRoundTrips(Named("GBK"), rows);
    ExpectDecodesAndRoundTrips(Named("CP936"), rows);
    ExpectDecodesAndRoundTrips(Named("GB2312"), rows);
}

TEST(Gbk, EncodesEscapesAndReportsMissingCharacters)
{
    ExpectEncodes(Named("GBK"),
                  {
                      {"characters", u"\u4E2D\u20AC", "\xD6\xD0\x80", true},
                      {"escape",
                       {u'a', 0xDC81, u'b'},
                       "a\x81"
                       "b",
                       true},
                      {"Thai letter has no form", u"a\u0E01b", "ab", false},
                      {"lone surrogate", {0xD800, u'c'}, "c", false},
                      {"character outside the BMP", {0xD83D, 0xDE00, u'd'}, "d", false},
                  });
}

TEST(Gbk, RandomBytesRoundTrip)
{
    ExpectRandomBytesRoundTrip(Named("GBK"));
}

TEST(Gbk, ChineseLinesSortByTheirCodeUnitsOnEverySystem)
{
    // UTF-16 order, which is not the order of the GBK bytes (李 C0EE sorts after 张 D5C5).
    const std::vector<std::string> sorted = {
        "zhang@example.com",
        "\x80uro@example.com",
        "\xA1\xA1\xC8\xAB\xBD\xC7@example.com",
        "\xC1\xF5\xD1\xF3@\xC0\xFD\xD7\xD3.example",
        "\xD5\xC5\xC8\xFD@example.com",
        "\xD5\xC5\xCE\xB0@\xC0\xFD\xD7\xD3.example",
        "\xC0\xEE\xC4\xC8@example.com",
        "\xCD\xF5\xB7\xBC@\xD3\xCA\xBC\xFE.example",
        "\xD5\xD4\xC0\xDA@example.net",
        "\xB3\xC2\xBE\xB2@example.org",
        "\xA3\xC1"
        "bc@example.com",
    };
    std::vector<CodePage> codePages = {Named("GBK")};
    if (SystemCodePage().Name() == "GBK" || SystemCodePage().Name() == "CP936")
        codePages.push_back(SystemCodePage());
    for (const CodePage& codePage : codePages) {
        AddressSet set;
        for (auto line = sorted.rbegin(); line != sorted.rend(); ++line)
            set.Insert(codePage.Decode(*line));
        std::vector<std::string> lines;
        for (const std::u16string& line : LinesOf(set)) {
            lines.emplace_back();
            codePage.Encode(line, lines.back());
        }
        EXPECT_EQ(lines, sorted) << codePage.Name();
    }
}

TEST(Cp1252, DecodesWithTheWindowsTable)
{
    // glibc's CP1252 has no character for 0x81, 0x8D, 0x8F, 0x90 and 0x9D; Windows keeps them
    // as the C1 controls.
    const std::vector<DecodeRow> rows = {
        {"euro sign", "\x80", u"\u20AC"},
        {"bytes glibc refuses", "\x81\x8D\x8F\x90\x9D", u"\u0081\u008D\u008F\u0090\u009D"},
        {"Y with diaeresis", "\x9F", u"\u0178"},
        {"Latin-1 range", "caf\xE9", u"caf\u00E9"},
    };
    ExpectDecodesAndRoundTrips(Named("CP1252"), rows);
    ExpectDecodesAndRoundTrips(Named("WINDOWS-1252"), rows);
    ExpectEncodes(Named("CP1252"), {
                                       {"escape", {0xDC81}, "\x81", true},
                                       {"L with stroke has no form", u"\u0141x", "x", false},
                                   });
}

TEST(Cp1252, EveryByteRoundTrips)
{
    std::string all;
    for (int value = 0; value < 0x100; ++value)
        all += static_cast<char>(value);
    const CodePage codePage = Named("CP1252");
    const std::u16string text = codePage.Decode(all);
    ASSERT_EQ(text.size(), all.size());
    std::string back;
    EXPECT_TRUE(codePage.Encode(text, back));
    EXPECT_EQ(Hex(back), Hex(all));
    ExpectRandomBytesRoundTrip(codePage);
}

TEST(WindowsTables, ServeTheirLocaleCodesets)
{
    // ICU's EUC-KR has no UHC extension and its GB2312 no euro sign; the Windows tables do.
    EXPECT_EQ(Units(Named("EUC-KR").Decode("\x81\x41")), Units(u"\uAC02"));
    EXPECT_EQ(Units(Named("GB2312").Decode("\x80")), Units(u"\u20AC"));
}

TEST(ShiftJis, ControlCodesStandForThemselves)
{
    // IBM's Shift_JIS table swaps 0x1A, 0x1C and 0x7F; Windows does not.
    ExpectDecodesAndRoundTrips(
        Named("SHIFT_JIS"),
        {
            {"ASCII only", "\x1A\x1C\x7F", u"\u001A\u001C\u007F"},
            {"after a kana", "\x82\xA0\x1A\x1C\x7F", u"\u3042\u001A\u001C\u007F"},
            {"unassigned pair keeps its trail byte", "\x85\x40", {0xDC85, u'@'}},
        });
}

TEST(DuplicateCodes, DecodeToTheirCharacterAndEncodeToThePreferredCode)
{
    const struct
    {
        const char* codeset;
        std::string bytes;
        std::u16string text;
        std::string preferred;
    } rows[] = {
        {"SHIFT_JIS", "\xED\x41", u"\u891C", "\xFA\x5D"},
        {"BIG5", "\xF9\xFA", u"\u256D", "\xA2\x7E"},
    };
    for (const auto& row : rows) {
        const CodePage codePage = Named(row.codeset);
        const std::u16string text = codePage.Decode(row.bytes);
        EXPECT_EQ(Units(text), Units(row.text)) << row.codeset;
        std::string bytes;
        EXPECT_TRUE(codePage.Encode(text, bytes)) << row.codeset;
        EXPECT_EQ(Hex(bytes), Hex(row.preferred)) << row.codeset;
    }
}

TEST(CodePageThreads, ConvertersAreUsableFromSeveralThreads)
{
    const CodePage gbk = Named("GBK");
    const CodePage shiftJis = Named("SHIFT_JIS");
    const std::string gbkBytes = "\xD6\xD0\xCE\xC4\x81"
                                 "a";
    const std::string shiftJisBytes = "\x82\xA0\x85\x40";
    std::vector<int> mismatches(4, 0);
    std::vector<std::thread> threads;
    for (int& count : mismatches) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                std::string back;
                gbk.Encode(gbk.Decode(gbkBytes), back);
                shiftJis.Encode(shiftJis.Decode(shiftJisBytes), back);
                count += back != gbkBytes + shiftJisBytes;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

TEST(SystemCodePage, SystemBytesComeBack)
{
    const std::string bytes = "/tmp/a\x80\xFF"
                              "b";
    EXPECT_EQ(Hex(ToSystemBytes(FromSystemBytes(bytes))), Hex(bytes));
    EXPECT_EQ(ToSystemBytes(u"plain.txt"), "plain.txt");
}

} // namespace
} // namespace trelvane
