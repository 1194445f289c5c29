// Tests of loading the exclusion file and of reloading it during a job.
#include "engine/exclusion_list.h"

#include "test_support.h"

#include <gtest/gtest.h>

namespace trelvane {
namespace {

using namespace std::literals;

/// One distinct exclusion line and the line number of its first entry.
struct Entry
{
    std::u16string line;
    std::int64_t number;
};

/// Checks that lines holds exactly entries, each with its number.
void ExpectEntries(const ExclusionLines& lines, const std::vector<Entry>& entries, const char* name)
{
    EXPECT_EQ(lines.Size(), entries.size()) << name;
    for (const Entry& entry : entries) {
        EXPECT_TRUE(lines.Contains(entry.line)) << name << ", entry " << entry.number;
        EXPECT_EQ(lines.EntryLine(entry.line), entry.number) << name << ", entry " << entry.number;
    }
}

TEST(LoadExclusionList, ReadsTheFileAsTextModeDoes)
{
    struct Row
    {
        const char* name;
        std::string_view bytes;
        std::vector<Entry> entries;
    };
    const Row rows[] = {
        {"empty file", ""sv, {}},
        {"single lf is one empty line", "\n"sv, {{u"", 1}}},
        {"crlf like lf, last line without lf",
         "b@x\r\na@x\r\nc@x"sv,
         {{u"b@x", 1}, {u"a@x", 2}, {u"c@x", 3}}},
        {"empty line between two", "a@x\n\nb@x\n"sv, {{u"a@x", 1}, {u"", 2}, {u"b@x", 3}}},
        {"case and spaces kept, repeats keep the first entry",
         "A@x \nA@x\nA@x \na@x\n"sv,
         {{u"A@x ", 1}, {u"A@x", 2}, {u"a@x", 4}}},
        {"lone cr stays", "a\rb\nc\r\r\n"sv, {{u"a\rb", 1}, {u"c\r", 2}}},
        {"0x1a ends the text",
         "a@x\r\nb@\x1A"
         "c@x\n"sv,
         {{u"a@x", 1}, {u"b@", 2}}},
        {"cr before 0x1a stays", "a@x\r\x1A\n"sv, {{u"a@x\r", 1}}},
        {"zero byte ends the list", "a@x\nb@\0x\nc@x\n"sv, {{u"a@x", 1}, {u"b@", 2}}},
    };
    test::TempDir dir;
    for (const Row& row : rows) {
        dir.Write("exclude.txt", row.bytes);
        ExclusionLines lines;
        EXPECT_TRUE(LoadExclusionList(lines, dir.Wide("exclude.txt"))) << row.name;
        ExpectEntries(lines, row.entries, row.name);
        EXPECT_FALSE(lines.Contains(u"c@x\n")) << row.name;
        EXPECT_EQ(lines.EntryLine(u"never@listed.example"), 0) << row.name;
    }
}

TEST(LoadExclusionList, DecodesTheWholeText)
{
    ExclusionLines lines;
    AddExclusionLines(lines, "\xE5\x90\x8D@x\r\n\xFF\n\xC3\xA9\n"sv, CodePage::Utf8());
    // U+00C3 U+00A9 has the very bytes of U+00E9 in UTF-8, but is another line.
    ExpectEntries(lines, {{u"\u540D@x", 1}, {u"\xDCFF", 2}, {u"\u00E9", 3}}, "utf-8");
    EXPECT_FALSE(lines.Contains(u"\u00C3\u00A9"));
}

TEST(LoadExclusionList, FailureLeavesTheLinesUnchanged)
{
    test::TempDir dir;
    ExclusionLines lines;
    lines.Add(u"kept", 7);
    EXPECT_FALSE(LoadExclusionList(lines, dir.Wide("missing.txt")));
    // A folder opens but cannot be read: no partial list either.
    EXPECT_FALSE(LoadExclusionList(lines, test::WidePath(dir.Path())));
    ExpectEntries(lines, {{u"kept", 7}}, "after failures");
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
