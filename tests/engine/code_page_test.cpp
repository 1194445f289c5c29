// Tests of decoding and encoding: strict UTF-8, byte escapes, ICU code pages, round trips.
#include "engine/code_page.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <cstdio>
#include <random>
#include <thread>
#include <vector>

namespace trelvane {
namespace {

/// Code units as hex, so that a failed comparison shows which unit differs.
std::string Units(std::u16string_view text)
{
    std::string hex;
    for (const char16_t unit : text) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "%04X ", static_cast<unsigned>(unit));
        hex += buffer;
    }
    return hex;
}

/// Bytes as hex.
std::string Hex(std::string_view bytes)
{
    std::string hex;
    for (const char byte : bytes) {
        char buffer[4];
        std::snprintf(buffer, sizeof buffer, "%02X ", static_cast<unsigned char>(byte));
        hex += buffer;
    }
    return hex;
}

CodePage Named(const char* codeset)
{
    const std::optional<CodePage> codePage = CodePage::FromName(codeset);
    EXPECT_TRUE(codePage.has_value()) << codeset;
    return codePage.value_or(CodePage::Utf8());
}

/// glibc's iconv from a codeset to UTF-16, as a second opinion on the ICU tables.
class Iconv
{
public:
    explicit Iconv(const char* codeset) : handle_(iconv_open("UTF-16LE", codeset)) {}
    ~Iconv()
    {
        if (IsOpen())
            iconv_close(handle_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool IsOpen() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    /// The code units of bytes; nullopt when iconv refuses them.
    std::optional<std::u16string> Decode(std::string bytes) const
    {
        char16_t units[8];
        char* in = bytes.data();
        std::size_t inLeft = bytes.size();
        char* out = reinterpret_cast<char*>(units);
        std::size_t outLeft = sizeof units;
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(handle_, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1))
            return std::nullopt;
        return std::u16string(units, (sizeof units - outLeft) / sizeof(char16_t));
    }

private:
    iconv_t handle_;
};

/// The byte strings iconv refuses, as hex; each other one must give the same text here.
std::vector<std::string> RefusedByIconv(const CodePage& codePage, const Iconv& iconv,
                                        const std::vector<std::string>& byteStrings)
{
    std::vector<std::string> refused;
    int mismatches = 0;
    for (const std::string& bytes : byteStrings) {
        const std::optional<std::u16string> expected = iconv.Decode(bytes);
        if (!expected)
            refused.push_back(Hex(bytes));
        else if (codePage.Decode(bytes) != *expected && ++mismatches <= 5)
            ADD_FAILURE() << Hex(bytes) << "gives " << Units(codePage.Decode(bytes))
                          << "instead of " << Units(*expected);
    }
    EXPECT_EQ(mismatches, 0);
    return refused;
}

/// Every byte string of one byte.
std::vector<std::string> SingleBytes()
{
    std::vector<std::string> strings;
    for (int value = 0; value < 0x100; ++value)
        strings.emplace_back(1, static_cast<char>(value));
    return strings;
}

struct DecodeRow
{
    const char* name;
    std::string bytes;
    std::u16string expected;
};

/// Checks that each row decodes to its units and encodes back to its bytes.
void ExpectDecodesAndRoundTrips(const CodePage& codePage, const std::vector<DecodeRow>& rows)
{
    for (const DecodeRow& row : rows) {
        const std::u16string text = codePage.Decode(row.bytes);
        EXPECT_EQ(Units(text), Units(row.expected)) << codePage.Name() << ": " << row.name;
        std::string bytes;
        EXPECT_TRUE(codePage.Encode(text, bytes)) << codePage.Name() << ": " << row.name;
        EXPECT_EQ(Hex(bytes), Hex(row.bytes)) << codePage.Name() << ": " << row.name;
    }
}

struct EncodeRow
{
    const char* name;
    std::u16string text;
    std::string expected;
    bool complete;
};

/// Checks that each row encodes to its bytes, reporting characters without a form.
void ExpectEncodes(const CodePage& codePage, const std::vector<EncodeRow>& rows)
{
    for (const EncodeRow& row : rows) {
        std::string bytes;
        EXPECT_EQ(codePage.Encode(row.text, bytes), row.complete) << row.name;
        EXPECT_EQ(Hex(bytes), Hex(row.expected)) << row.name;
        EXPECT_EQ(codePage.CanEncode(row.text), row.complete) << row.name;
    }
}

/// Random byte strings, mostly of high bytes so that multi-byte sequences come up often.
std::vector<std::string> RandomByteStrings(unsigned seed, int count)
{
    std::mt19937 random(seed);
    std::vector<std::string> strings;
    for (int i = 0; i < count; ++i) {
        std::string bytes(random() % 24, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random() % 4 == 0 ? random() % 0x80 : 0x80 + random() % 0x80);
        strings.push_back(bytes);
    }
    return strings;
}

void ExpectRandomBytesRoundTrip(const CodePage& codePage)
{
    for (const std::string& bytes : RandomByteStrings(20261209, 4000)) {
        std::string back;
        EXPECT_TRUE(codePage.Encode(codePage.Decode(bytes), back)) << Hex(bytes);
        ASSERT_EQ(Hex(back), Hex(bytes)) << codePage.Name();
    }
}

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

TEST(CodePageName, FindsConvertersAndRefusesOthers)
{
    const struct
    {
        const char* codeset;
        bool exists;
        bool utf8;
    } rows[] = {
        {"UTF-8", true, true},    {"utf8", true, true},          {"ANSI_X3.4-1968", true, true},
        {"US-ASCII", true, true}, {"GBK", true, false},          {"gb2312", true, false},
        {"GB18030", true, false}, {"CP1252", true, false},       {"ISO-8859-15", true, false},
        {"BIG5", true, false},    {"EUC-JP", true, false},       {"SHIFT_JIS", true, false},
        {"EUC-KR", true, false},  {"KOI8-R", true, false},       {"UTF-16", false, false},
        {"IBM037", false, false}, {"ISO-2022-JP", false, false}, {"no-such-codeset", false, false},
        {"", false, false},
    };
    for (const auto& row : rows) {
        const std::optional<CodePage> codePage = CodePage::FromName(row.codeset);
        ASSERT_EQ(codePage.has_value(), row.exists) << row.codeset;
        if (!codePage)
            continue;
        EXPECT_EQ(codePage->Name(), row.codeset);
        EXPECT_EQ(codePage->IsUtf8(), row.utf8) << row.codeset;
    }
}

TEST(Gbk, DecodesWithTheWindowsTable)
{
    // glibc's GBK has no character for 0x80 and 0xFF; Windows 936 gives U+20AC and U+F8F5.
    const std::vector<DecodeRow> rows = {
        {"two characters", "\xD6\xD0\xCE\xC4", u"\u4E2D\u6587"},
        {"ASCII before and after", "user\xD5\xC5@x.example", u"user\u5F20@x.example"},
        {"euro sign byte", "\x80", u"\u20AC"},
        {"byte FF", "\xFF", u"\uF8F5"},
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

TEST(Gbk, AgreesWithIconvApartFromByteFF)
{
    const Iconv iconv("CP936");
    if (!iconv.IsOpen())
        GTEST_SKIP() << "iconv has no CP936";
    std::vector<std::string> pairs;
    for (int lead = 0x81; lead < 0xFF; ++lead) {
        for (int trail = 0x40; trail < 0xFF; ++trail)
            pairs.push_back({static_cast<char>(lead), static_cast<char>(trail)});
    }
    RefusedByIconv(Named("GBK"), iconv, pairs); // glibc refuses the user-defined areas
    std::vector<std::string> refused;
    for (int lead = 0x81; lead < 0x100; ++lead)
        refused.push_back(Hex(std::string(1, static_cast<char>(lead)))); // lead bytes, and 0xFF
    EXPECT_EQ(RefusedByIconv(Named("GBK"), iconv, SingleBytes()), refused);
}

TEST(Gbk, RandomBytesRoundTrip)
{
    ExpectRandomBytesRoundTrip(Named("GBK"));
    ExpectRandomBytesRoundTrip(Named("GB18030"));
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

TEST(Cp1252, AgreesWithIconvApartFromTheControlBytes)
{
    const Iconv iconv("CP1252");
    if (!iconv.IsOpen())
        GTEST_SKIP() << "iconv has no CP1252";
    EXPECT_EQ(RefusedByIconv(Named("CP1252"), iconv, SingleBytes()),
              (std::vector<std::string>{"81 ", "8D ", "8F ", "90 ", "9D "}));
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

TEST(EucJp, OneWayMappingsAreEscapedSoEveryByteComesBack)
{
    const CodePage eucJp = Named("EUC-JP");
    // ICU maps these to characters whose own codes differ (U+00A2 has none, U+2252 is A2 E2).
    ExpectDecodesAndRoundTrips(eucJp,
                               {
                                   {"kana", "\xA4\xA2", u"\u3042"},
                                   {"one-way half-width code", "\x8E\xE0", {0xDC8E, 0xDCE0}},
                                   {"one-way NEC row", "\xAD\xF0", {0xDCAD, 0xDCF0}},
                                   {"after a kana", "\xA4\xA2\xAD\xF0", {0x3042, 0xDCAD, 0xDCF0}},
                               });
    const std::u16string supplementary = eucJp.Decode("\x8F\xA2\xB7");
    EXPECT_EQ(supplementary.find(u'\uFF5E'), std::u16string::npos);
    std::string back;
    EXPECT_TRUE(eucJp.Encode(supplementary, back));
    EXPECT_EQ(Hex(back), Hex("\x8F\xA2\xB7"));
    // Other tables that are not Windows' own and hold one-way mappings.
    for (const char* codeset : {"EUC-JP", "EUC-TW", "BIG5-HKSCS"})
        ExpectRandomBytesRoundTrip(Named(codeset));
}

TEST(UnsupportedCodeset, IsToldByName)
{
    for (const char* codeset : {"ARMSCII-8", "GEORGIAN-PS", "TCVN5712-1"}) {
        const std::u16string notice = UnsupportedCodesetNotice(codeset);
        const std::string_view name(codeset);
        EXPECT_NE(notice.find(std::u16string(name.begin(), name.end())), std::u16string::npos)
            << codeset;
        EXPECT_NE(notice.find(u"UTF-8"), std::u16string::npos) << codeset;
    }
    for (const char* codeset : {"UTF-8", "GBK", "EUC-JP", "CP1252"})
        EXPECT_EQ(UnsupportedCodesetNotice(codeset), u"") << codeset;
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
