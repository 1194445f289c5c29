// Tests of the per-line rules: suffix filter, exclusion, de-duplication, counting, reports.
#include "engine/process_file.h"

#include "engine/code_page.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <set>

namespace trelvane {
namespace {

using Lines = std::vector<std::u16string>;
using Calls = std::vector<std::string>;

class ProcessFileTest : public ::testing::Test
{
protected:
    ProcessFileTest() { job.report = &report; }

    /// Writes bytes to the input file name and processes it into the job's chosen set.
    FileOutcome Process(const std::string& name, std::string_view bytes, int totalLines = 9)
    {
        dir.Write(name, bytes);
        return ProcessFile(job, job.ChosenSet(), dir.Wide(name), totalLines, exclusions.get(),
                           nullptr);
    }

    /// job.filteredCount once the repeats that the set holds are counted, as the job runner
    /// counts them when every file is processed.
    std::int32_t Filtered()
    {
        job.filteredCount += static_cast<std::int32_t>(job.ChosenSet().Settle(nullptr));
        return job.filteredCount;
    }

    /// Turns on the exclusion rule with a file holding bytes.
    void Exclude(std::string_view bytes)
    {
        dir.Write("exclude.txt", bytes);
        job.useExclusionFile = true;
        exclusions = std::make_unique<JobExclusions>(dir.Wide("exclude.txt"));
        ASSERT_TRUE(exclusions->Reload());
    }

    /// The report call for line number of input file name.
    std::string Reported(const std::string& name, int number, int totalLines = 9) const
    {
        return "line " + test::Utf8(dir.Wide(name)) + " " + std::to_string(totalLines) + " " +
               std::to_string(number);
    }

    test::TempDir dir;
    AddressJobRecord job;
    test::RecordingReport report;
    std::unique_ptr<JobExclusions> exclusions;
};

TEST_F(ProcessFileTest, SuffixFilterMatchesLoweredWholeSuffix)
{
    job.deleteSuffixes = true;
    job.deleteSuffixList = {u"b.example", u"C.Example"};
    // Every other line is judged on the inserting thread: ASCII and other lines on both.
    Process("in.txt", "x@B.Example\r\n" + ToSystemBytes(u"\u00E9@b.example\n") +
                          "y@mail.b.example\n" + ToSystemBytes(u"\u00E9@keep\n") +
                          "z@b.example.org\nw@C.Example\nnoat\n\n");
    EXPECT_EQ(test::LinesOf(job.ascendingSet),
              (Lines{u"", u"noat", u"w@C.Example", u"y@mail.b.example", u"z@b.example.org",
                     u"\u00E9@keep"}));
    EXPECT_EQ(Filtered(), 2);
}

TEST_F(ProcessFileTest, EmptySuffixEntryDropsLinesWithoutSuffix)
{
    job.deleteSuffixes = true;
    job.deleteSuffixList = {u""};
    Process("in.txt", "noat\n\nx@\nx@y\n");
    EXPECT_EQ(test::LinesOf(job.ascendingSet), Lines{u"x@y"});
    EXPECT_EQ(Filtered(), 3);
    EXPECT_EQ(report.Calls(), Calls{Reported("in.txt", 4)});
}

TEST_F(ProcessFileTest, ExclusionComparesEveryCodeUnit)
{
    Exclude("A@b.example\r\n\r\nc@d.example");
    Process("in.txt", "A@b.example\na@b.example\r\nA@b.example \n\nc@d.example\n");
    EXPECT_EQ(test::LinesOf(job.ascendingSet), (Lines{u"A@b.example ", u"a@b.example"}));
    EXPECT_EQ(Filtered(), 3);
    EXPECT_EQ(report.Calls(), (Calls{Reported("in.txt", 2), Reported("in.txt", 3)}));
}

TEST_F(ProcessFileTest, ExclusionsApplyOnlyWhenTheRuleIsOn)
{
    Exclude("a@x\n");
    job.useExclusionFile = false;
    Process("in.txt", "a@x\n");
    EXPECT_EQ(test::LinesOf(job.ascendingSet), Lines{u"a@x"});
    EXPECT_EQ(Filtered(), 0);
}

TEST_F(ProcessFileTest, DuplicatesCountWithinAndAcrossFilesAndAreReported)
{
    Process("one.txt", "a\nb\na\n");
    EXPECT_EQ(Filtered(), 1);
    Process("two.txt", "b\nc\n");
    EXPECT_EQ(test::LinesOf(job.ascendingSet), (Lines{u"a", u"b", u"c"}));
    EXPECT_EQ(Filtered(), 2);
    EXPECT_EQ(report.Calls(),
              (Calls{Reported("one.txt", 1), Reported("one.txt", 2), Reported("one.txt", 3),
                     Reported("two.txt", 1), Reported("two.txt", 2)}));
}

TEST_F(ProcessFileTest, CountsEachDroppedLineOnce)
{
    job.deleteSuffixes = true;
    job.deleteSuffixList = {u"x.example"};
    Exclude("a@x.example\n");
    // Dropped by both rules, blank lines after the first, an over-long line.
    Process("in.txt", "a@x.example\n\n\r\n\n" + std::string(maxLineBytes + 1, 'o') + "\nlast\n");
    EXPECT_EQ(test::LinesOf(job.ascendingSet), (Lines{u"", u"last"}));
    EXPECT_EQ(Filtered(), 1 + 2 + 1);
    EXPECT_EQ(report.Calls(), (Calls{Reported("in.txt", 2), Reported("in.txt", 3),
                                     Reported("in.txt", 4), Reported("in.txt", 6)}));
}

TEST_F(ProcessFileTest, BothSortOrdersStoreTheSameLines)
{
    // The non-ASCII line is written in the system code page, so the test holds in any locale
    // (é has a form in UTF-8, GBK and cp1252 alike).
    const std::string input = "b@x\nZed@x\na@x\nb@x\n" + ToSystemBytes(u"\u00E9@x\n");
    Process("in.txt", input);
    AddressJobRecord descending;
    descending.sortOrder = sortDescending;
    dir.Write("in.txt", input);
    ProcessFile(descending, descending.ChosenSet(), dir.Wide("in.txt"), 9, nullptr, nullptr);
    Lines ascending = test::LinesOf(job.ascendingSet);
    EXPECT_EQ(ascending, (Lines{u"Zed@x", u"a@x", u"b@x", u"\u00E9@x"}));
    std::reverse(ascending.begin(), ascending.end());
    EXPECT_EQ(test::LinesOf(descending.descendingSet), ascending);
    EXPECT_EQ(descending.filteredCount, job.filteredCount);
    EXPECT_TRUE(descending.ascendingSet.Empty());
}

TEST_F(ProcessFileTest, ManyBatchesKeepEveryLineOnceInMemoryAndInRuns)
{
    // Enough lines for many batches and runs; repeats near and far.
    std::mt19937 random(7);
    std::string input;
    std::set<std::u16string> distinct;
    constexpr int lineCount = 120000;
    for (int i = 0; i < lineCount; ++i) {
        std::string line = "u" + std::to_string(random() % 50000) + "@example.com";
        distinct.insert(std::u16string(line.begin(), line.end()));
        input += line + "\r\n";
    }
    const Lines expected(distinct.begin(), distinct.end());
    for (const std::uint64_t limit : {std::uint64_t{0}, std::uint64_t{256} << 10}) {
        SCOPED_TRACE(limit);
        AddressJobRecord spilled;
        spilled.ascendingSet.SetMemoryLimit(limit);
        test::RecordingReport lines;
        spilled.report = &lines;
        dir.Write("in.txt", input);
        ProcessFile(spilled, spilled.ChosenSet(), dir.Wide("in.txt"), lineCount, nullptr, nullptr);
        const std::uint64_t acrossRuns = spilled.ascendingSet.Settle(nullptr);
        EXPECT_EQ(limit != 0, spilled.ascendingSet.HasRuns());
        EXPECT_EQ(spilled.filteredCount + static_cast<std::int64_t>(acrossRuns),
                  lineCount - static_cast<std::int64_t>(distinct.size()));
        EXPECT_EQ(spilled.ascendingSet.Size(), distinct.size());
        EXPECT_EQ(test::LinesOf(spilled.ascendingSet), expected);
        // Every line is reported once, in file order.
        const Calls calls = lines.Calls();
        ASSERT_EQ(calls.size(), static_cast<std::size_t>(lineCount));
        EXPECT_EQ(calls.back(), Reported("in.txt", lineCount, lineCount));
    }
}

TEST_F(ProcessFileTest, ReloadedExclusionsApplyToTheNextFile)
{
    Exclude("a@x\n");
    Process("one.txt", "a@x\nb@x\n");
    dir.Write("exclude.txt", "b@x\n");
    ASSERT_TRUE(exclusions->Reload());
    Process("two.txt", "a@x\nb@x\n");
    EXPECT_EQ(test::LinesOf(job.ascendingSet), (Lines{u"a@x", u"b@x"}));
    EXPECT_EQ(Filtered(), 2);
}

TEST_F(ProcessFileTest, FailedReloadKeepsExcluding)
{
    Exclude("a@x\n");
    std::filesystem::remove(dir.Path() / "exclude.txt");
    EXPECT_FALSE(exclusions->Reload());
    Process("in.txt", "a@x\nb@x\n");
    EXPECT_EQ(test::LinesOf(job.ascendingSet), Lines{u"b@x"});
}

TEST_F(ProcessFileTest, UnreadableInputGivesItsError)
{
    const ReadOutcome outcome =
        ProcessFile(job, job.ascendingSet, dir.Wide("missing.txt"), 0, nullptr, nullptr).read;
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.errorNumber, ENOENT);
    EXPECT_TRUE(report.Calls().empty());
}

} // namespace
} // namespace trelvane
