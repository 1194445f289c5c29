// Tests of the ICU converters of the Linux build: the codeset names ICU serves, its tables that
// are not Windows' own, and glibc's iconv as a second opinion on its tables.
#include "code_page_checks.h"

#include <iconv.h>

namespace trelvane {
namespace {

using namespace test;

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

TEST(Gbk, ByteFFIsAPrivateUseCharacter)
{
    // ICU's Windows 936 table has U+F8F5 for it, as Windows' best-fit table does.
    ExpectDecodesAndRoundTrips(Named("GBK"), {{"byte FF", "\xFF", u"\uF8F5"}});
}

TEST(Gb18030, RandomBytesRoundTrip)
{
    ExpectRandomBytesRoundTrip(Named("GB18030"));
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

TEST(Cp1252, AgreesWithIconvApartFromTheControlBytes)
{
    const Iconv iconv("CP1252");
    if (!iconv.IsOpen())
        GTEST_SKIP() << "iconv has no CP1252";
    EXPECT_EQ(RefusedByIconv(Named("CP1252"), iconv, SingleBytes()),
              (std::vector<std::string>{"81 ", "8D ", "8F ", "90 ", "9D "}));
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

} // namespace
} // namespace trelvane
