// Tests of loading the exclusion file and of reloading it during a job.
#include "engine/exclusion_list.h"

#include "test_support.h"

#include <gtest/gtest.h>

namespace trelvane {
namespace {

using namespace std::literals;

std::vector<std::u16string> Lines(std::initializer_list<std::u16string> lines)
{
    return lines;
}

TEST(LoadExclusionList, ReadsTheFileAsTextModeDoes)
{
    struct Row
    {
        const char* name;
        std::string_view bytes;
        std::vector<std::u16string> lines; // in set order
    };
    const Row rows[] = {
        {"empty file", ""sv, {}},
        {"single lf is one empty line", "\n"sv, {u""}},
        {"crlf like lf, last line without lf", "b@x\r\na@x\r\nc@x"sv, {u"a@x", u"b@x", u"c@x"}},
        {"empty line between two", "a@x\n\nb@x\n"sv, {u"", u"a@x", u"b@x"}},
        {"case and spaces kept, repeats collapse", "A@x \nA@x\nA@x \n"sv, {u"A@x", u"A@x "}},
        {"lone cr stays", "a\rb\nc\r\r\n"sv, {u"a\rb", u"c\r"}},
        {"0x1a ends the text",
         "a@x\r\nb@\x1A"
         "c@x\n"sv,
         {u"a@x", u"b@"}},
        {"cr before 0x1a stays", "a@x\r\x1A\n"sv, {u"a@x\r"}},
        {"zero byte ends the list", "a@x\nb@\0x\nc@x\n"sv, {u"a@x", u"b@"}},
    };
    test::TempDir dir;
    for (const Row& row : rows) {
        dir.Write("exclude.txt", row.bytes);
        AddressSet set;
        EXPECT_TRUE(LoadExclusionList(set, dir.Wide("exclude.txt"))) << row.name;
        EXPECT_EQ(test::LinesOf(set), row.lines) << row.name;
    }
}

TEST(LoadExclusionList, DecodesTheWholeText)
{
    AddressSet set;
    AddExclusionLines(set, "\xE5\x90\x8D@x\r\n\xFF\n"sv, CodePage::Utf8());
    EXPECT_EQ(test::LinesOf(set), Lines({u"\u540D@x", u"\xDCFF"}));
}

TEST(LoadExclusionList, FailureLeavesTheSetUnchanged)
{
    test::TempDir dir;
    AddressSet set;
    set.Insert(u"kept");
    EXPECT_FALSE(LoadExclusionList(set, dir.Wide("missing.txt")));
    // A folder opens but cannot be read: no partial list either.
    EXPECT_FALSE(LoadExclusionList(set, test::WidePath(dir.Path())));
    EXPECT_EQ(test::LinesOf(set), Lines({u"kept"}));
}

TEST(JobExclusions, ReloadSeesAChangeOfTheSameSize)
{
    test::TempDir dir;
    dir.Write("exclude.txt", "a@x.example\n");
    JobExclusions exclusions(dir.Wide("exclude.txt"));
    EXPECT_FALSE(exclusions.Contains(u"a@x.example"));
    ASSERT_TRUE(exclusions.Reload());
    EXPECT_TRUE(exclusions.Contains(u"a@x.example"));
    EXPECT_TRUE(exclusions.Reload());
    EXPECT_TRUE(exclusions.Contains(u"a@x.example"));

    dir.Write("exclude.txt", "b@x.example\n");
    ASSERT_TRUE(exclusions.Reload());
    EXPECT_FALSE(exclusions.Contains(u"a@x.example"));
    EXPECT_TRUE(exclusions.Contains(u"b@x.example"));
}

TEST(JobExclusions, FailedReloadKeepsTheLinesLastLoaded)
{
    test::TempDir dir;
    JobExclusions exclusions(dir.Wide("exclude.txt"));
    EXPECT_FALSE(exclusions.Reload());

    dir.Write("exclude.txt", "a@x.example\n");
    ASSERT_TRUE(exclusions.Reload());
    std::filesystem::remove(dir.Path() / "exclude.txt");
    EXPECT_FALSE(exclusions.Reload());
    EXPECT_TRUE(exclusions.Contains(u"a@x.example"));
}

} // namespace
} // namespace trelvane
