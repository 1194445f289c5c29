// Tests of the Windows converters: code pages by name, the system's ANSI code page, and the
// bytes that Windows' tables leave undefined.
#include "code_page_checks.h"

#include <windows.h>

namespace trelvane {
namespace {

using namespace test;

TEST(SystemCodePage, IsTheAnsiCodePage)
{
    const std::string acp = std::to_string(GetACP());
    std::printf("GetACP() = %s\n", acp.c_str());
    RecordProperty("acp", acp);
    EXPECT_EQ(SystemCodePage().Name(), "CP" + acp);
    EXPECT_EQ(SystemCodePage().IsUtf8(), GetACP() == CP_UTF8);
}

TEST(CodePageName, FindsWindowsCodePagesAndRefusesOthers)
{
    const struct
    {
        const char* codeset;
        bool exists;
        bool utf8;
    } rows[] = {
        {"CP936", true, false},
        {"GBK", true, false},
        {"gb2312", true, false},
        {"CP1252", true, false},
        {"WINDOWS-1252", true, false},
        {"BIG5", true, false},
        {"SHIFT_JIS", true, false},
        {"EUC-KR", true, false},
        {"CP65001", true, true},
        {"UTF-8", true, true},
        {"CP1200", false, false},
        {"CP037", false, false},
        {"CP54936", false, false},
        {"CP50220", false, false},
        {"CP99999", false, false},
        {"no-such-codeset", false, false},
        {"", false, false},
    };
    for (const auto& row : rows) {
        const std::optional<CodePage> codePage = CodePage::FromName(row.codeset);
        ASSERT_EQ(codePage.has_value(), row.exists) << row.codeset;
        if (!codePage)
            continue;
        EXPECT_EQ(codePage->IsUtf8(), row.utf8) << row.codeset;
    }
}

TEST(Gbk, ByteFFIsEscaped)
{
    // Windows' 936 table defines no character for 0xFF.
    ExpectDecodesAndRoundTrips(
        Named("CP936"), {
                            {"byte FF", "\xFF", {0xDCFF}},
                            {"between characters", "\xD6\xD0\xFF\x80", {0x4E2D, 0xDCFF, 0x20AC}},
                        });
}

} // namespace
} // namespace trelvane
