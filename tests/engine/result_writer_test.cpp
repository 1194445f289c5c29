// Tests of the result writer: file contents, volumes, test blocks, reports and failures.
#include "engine/result_writer.h"

#include "engine/address_key.h"
#include "engine/code_page.h"
#include "engine/os/file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

namespace trelvane {
namespace {

using test::ReadBytes;
using test::U16;

// Joins lines, each followed by CR LF, as the output files hold them.
std::string CrLf(const std::vector<std::string>& lines)
{
    std::string bytes;
    for (const std::string& line : lines)
        bytes += line + "\r\n";
    return bytes;
}

std::vector<std::u16string> Wide(const std::vector<std::string>& texts)
{
    std::vector<std::u16string> wide;
    for (const std::string& text : texts)
        wide.push_back(U16(text));
    return wide;
}

// Stops the run from inside the progress report at a given position.
class StoppingReport : public test::RecordingReport
{
public:
    StoppingReport(StopFlag& stop, int stopAt) : stop_(stop), stopAt_(stopAt) {}
    void OnOutputProgress(int total, int current) override
    {
        RecordingReport::OnOutputProgress(total, current);
        if (current == stopAt_)
            stop_.Request();
    }

private:
    StopFlag& stop_;
    int stopAt_;
};

class ResultWriterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        job.report = &report;
        job.outputPath = dir.Wide("out.txt");
    }

    void Fill(const std::vector<std::string>& lines)
    {
        for (const std::string& line : lines)
            job.ChosenSet().Insert(U16(line));
    }

    void Write(const StopFlag* stop = nullptr) { WriteResults(job, job.ChosenSet(), stop); }

    std::string Out(const std::string& name) const { return ReadBytes(dir.Path() / name); }
    bool Exists(const std::string& name) const
    {
        return std::filesystem::exists(dir.Path() / name);
    }
    // The names in the folder, sorted: shows any temporary file left behind.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string Path(const std::string& name) const { return (dir.Path() / name).string(); }

    test::TempDir dir;
    test::RecordingReport report;
    test::NoticeRecorder notices;
    AddressJobRecord job;
};

TEST_F(ResultWriterTest, WorkedExampleComesOutByteForByte)
{
    Fill({"L1", "L2", "L3", "L4", "L5", "L6", "L7"});
    job.useTestAddresses = true;
    job.testInterval = 2;
    job.testAddresses = Wide({"T1", "T2"});
    job.maxLinesPerVolume = 3;
    job.filteredCount = 4;

    Write();

    EXPECT_EQ(Out("out.txt"), CrLf({"L1", "L2", "T1", "T2", "L3"}));
    EXPECT_EQ(Out("out.txt.part1.txt"), CrLf({"L4", "T1", "T2", "L5", "L6", "T1", "T2"}));
    EXPECT_EQ(Out("out.txt.part2.txt"), CrLf({"L7"}));
    EXPECT_FALSE(Exists("out.txt.part3.txt"));
    EXPECT_EQ(report.Calls(), (std::vector<std::string>{
                                  "progress 7 1", "progress 7 2", "progress 7 3", "progress 7 4",
                                  "progress 7 5", "progress 7 6", "progress 7 7", "finished 4 7"}));
    EXPECT_TRUE(notices.Texts().empty());
}

TEST_F(ResultWriterTest, SplitsIntoVolumesAndLeavesTheLastOneEmptyOnAnExactMultiple)
{
    struct Case
    {
        const char* name;
        int lines;
        std::vector<std::pair<int, int>> volumes; // first and one-past-last line of each file
    };
    const std::vector<Case> cases = {
        {"2500 lines", 2500, {{0, 1000}, {1000, 2000}, {2000, 2500}}},
        {"2000 lines", 2000, {{0, 1000}, {1000, 2000}, {2000, 2000}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        job.ascendingSet.Clear();
        std::vector<std::string> lines;
        for (int i = 0; i < c.lines; ++i)
            lines.push_back("user" + std::to_string(10000 + i) + "@example.com");
        Fill(lines);
        job.maxLinesPerVolume = 1000;

        Write();

        const std::vector<std::string> names = {"out.txt", "out.txt.part1.txt",
                                                "out.txt.part2.txt"};
        for (std::size_t v = 0; v < names.size(); ++v) {
            const auto [from, to] = c.volumes[v];
            EXPECT_EQ(Out(names[v]), CrLf({lines.begin() + from, lines.begin() + to})) << names[v];
        }
        EXPECT_FALSE(Exists("out.txt.part3.txt"));
        EXPECT_EQ(report.Calls().back(), "finished 0 " + std::to_string(c.lines));
    }
}

TEST_F(ResultWriterTest, LeavesVolumesOfAnEarlierRunBeyondItsOwnUntouched)
{
    dir.Write("out.txt.part2.txt", "stale two\r\n");
    dir.Write("out.txt.part3.txt", "stale three\r\n");
    Fill({"a", "b", "c"});
    job.maxLinesPerVolume = 2;

    Write();

    EXPECT_EQ(Out("out.txt"), CrLf({"a", "b"}));
    EXPECT_EQ(Out("out.txt.part1.txt"), CrLf({"c"}));
    EXPECT_EQ(Out("out.txt.part2.txt"), "stale two\r\n");
    EXPECT_EQ(Out("out.txt.part3.txt"), "stale three\r\n");
    EXPECT_EQ(Names(), (std::vector<std::string>{"out.txt", "out.txt.part1.txt",
                                                 "out.txt.part2.txt", "out.txt.part3.txt"}));
}

TEST_F(ResultWriterTest, ReplacedFileKeepsItsPermissions)
{
#ifdef _WIN32
    GTEST_SKIP() << "POSIX permission bits; on Windows a file keeps its folder's security";
#endif
    namespace fs = std::filesystem;
    dir.Write("out.txt", "earlier\r\n");
    fs::permissions(dir.Path() / "out.txt", fs::perms::owner_read | fs::perms::owner_write);
    Fill({"a"});

    Write();

    EXPECT_EQ(Out("out.txt"), CrLf({"a"}));
    EXPECT_EQ(fs::status(dir.Path() / "out.txt").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(ResultWriterTest, InsertsTestBlocksAndTreatsCountsBelowOneAsOff)
{
    struct Case
    {
        const char* name;
        int testInterval;
        std::vector<std::string> testAddresses;
        bool mergeOutput;
        int maxLinesPerVolume;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"interval 1", 1, {"T1", "T2"}, true, 0, CrLf({"a", "T1", "T2", "b", "T1", "T2"})},
        {"empty test list", 1, {}, true, 0, CrLf({"a", "b"})},
        {"empty test entry", 2, {"", "T"}, true, 0, CrLf({"a", "b", "", "T"})},
        {"interval 0 is off", 0, {"T"}, true, 0, CrLf({"a", "b"})},
        {"interval -3 is off", -3, {"T"}, true, 0, CrLf({"a", "b"})},
        {"volume size 0 is one file", 0, {}, false, 0, CrLf({"a", "b"})},
        {"volume size -1 is one file", 0, {}, false, -1, CrLf({"a", "b"})},
    };
    Fill({"a", "b"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        job.useTestAddresses = true;
        job.testInterval = c.testInterval;
        job.testAddresses = Wide(c.testAddresses);
        job.mergeOutput = c.mergeOutput;
        job.maxLinesPerVolume = c.maxLinesPerVolume;

        Write();

        EXPECT_EQ(Out("out.txt"), c.expected);
        EXPECT_FALSE(Exists("out.txt.part1.txt"));
        EXPECT_EQ(report.Calls().back(), "finished 0 2");
    }
}

TEST_F(ResultWriterTest, KeepRuleAndEmptyLinesSkipLinesAfterTheirProgressReport)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> keepSuffixList;
        std::string expected;
        int written;
    };
    const std::vector<Case> cases = {
        {"listed suffix, any case in the line", {"a.com"}, CrLf({"x@A.Com", "y@a.com"}), 2},
        {"empty entry keeps lines without @", {""}, CrLf({"noat"}), 1},
        {"entry with capitals matches nothing", {"A.COM"}, "", 0},
    };
    Fill({"", "noat", "x@A.Com", "y@a.com", "z@b.com"});
    job.keepOnlySuffixes = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::RecordingReport caseReport;
        job.report = &caseReport;
        job.keepSuffixList = Wide(c.keepSuffixList);

        Write();

        EXPECT_EQ(Out("out.txt"), c.expected);
        EXPECT_EQ(caseReport.Calls(),
                  (std::vector<std::string>{"progress 5 1", "progress 5 2", "progress 5 3",
                                            "progress 5 4", "progress 5 5",
                                            "finished 0 " + std::to_string(c.written)}));
    }
}

TEST_F(ResultWriterTest, EmptySetsAndEmptyLinesGiveAnEmptyFile)
{
    dir.Write("out.txt", "old content\r\n");
    Write();
    EXPECT_EQ(Out("out.txt"), "");
    EXPECT_EQ(report.Calls(), (std::vector<std::string>{"finished 0 0"}));

    test::RecordingReport secondReport;
    job.report = &secondReport;
    Fill({""});
    Write();
    EXPECT_EQ(Out("out.txt"), "");
    EXPECT_EQ(secondReport.Calls(), (std::vector<std::string>{"progress 1 1", "finished 0 0"}));
}

TEST_F(ResultWriterTest, LinesRoundTripToTheBytesTheyWereReadFrom)
{
    // Bytes outside ASCII, valid in the code page or not, come back unchanged.
    const std::vector<std::string> lines = {
        "plain@example.com",
        "m\xC3\xBCller@example.de",            // U+00FC only: no one-byte-per-character form
        "\xE5\xBC\xA0\xE4\xB8\x89@example.cn", // CJK in UTF-8, two bytes in GBK
        "bad\xE9\xFF@ex\xE4mple.com",          // not UTF-8
    };
    std::size_t totalBytes = 0;
    for (const std::string& line : lines) {
        job.ascendingSet.Insert(SystemCodePage().Decode(line));
        totalBytes += line.size() + 2;
    }

    Write();

    const std::string out = Out("out.txt");
    EXPECT_EQ(out.size(), totalBytes);
    for (const std::string& line : lines)
        EXPECT_NE(out.find(line + "\r\n"), std::string::npos) << line;
}

// Records the writer's skipped lines as "reason place text".
class SkipRecorder final : public IRemovalSink
{
public:
    void OnFileStarted(const std::u16string&) override {}
    std::uint64_t PlaceOf(std::int64_t lineNumber) const override
    {
        return static_cast<std::uint64_t>(lineNumber);
    }
    void OnRepeat(std::uint64_t, std::uint64_t, std::u16string_view) override {}
    void OnLineDropped(RemovalReason, std::int64_t, std::u16string_view, std::u16string_view,
                       std::int64_t) override
    {
    }
    void OnLineSkipped(RemovalReason reason, std::u16string_view line, std::uint64_t place) override
    {
        skipped.push_back(std::to_string(static_cast<int>(reason)) + " " + std::to_string(place) +
                          " " + test::Utf8(line));
    }
    std::vector<std::string> skipped;
};

// Sets of many thousand lines go out in many pieces of work; whatever the pieces, the files
// hold the lines in order, with volumes and test blocks counted over the whole run.
TEST_F(ResultWriterTest, BigSetsComeOutWholeInEveryOrderAndOption)
{
    struct Case
    {
        const char* name;
        bool descending;
        bool keepOnly;
        int testInterval;
        int linesPerVolume;
        std::uint64_t memoryLimit;
    };
    const std::vector<Case> cases = {
        {"plain", false, false, 0, 0, 0},
        {"descending, volumes, test block", true, false, 4099, 7001, 0},
        {"keep-only, volumes, test block", false, true, 3, 9999, 0},
        {"descending keep-only", true, true, 0, 0, 0},
        {"runs on disk, volumes, test block", false, false, 5000, 12000, 300 << 10},
        {"runs on disk, descending keep-only", true, true, 1, 0, 300 << 10},
    };
    constexpr int numbered = 20000;
    // Line n is "u" and n in five digits, at b.org for every third n; then one line of two
    // bytes outside ASCII and an invalid one, which sorts after every ASCII line, and an empty
    // line first.
    const auto numberedLine = [](int n) {
        std::string digits = std::to_string(n);
        return "u" + std::string(5 - digits.size(), '0') + digits +
               (n % 3 == 0 ? "@b.org" : "@a.com");
    };
    const std::string wide = "\xC3\xBC\xFF@a.com";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir caseDir;
        test::RecordingReport caseReport;
        SkipRecorder sink;
        AddressJobRecord caseJob;
        caseJob.report = &caseReport;
        caseJob.removalSink = &sink;
        caseJob.outputPath = caseDir.Wide("out.txt");
        caseJob.sortOrder = c.descending ? sortDescending : sortAscending;
        caseJob.keepOnlySuffixes = c.keepOnly;
        caseJob.keepSuffixList = {u"a.com"};
        caseJob.useTestAddresses = true;
        caseJob.testInterval = c.testInterval;
        caseJob.testAddresses = {u"T1", u"T2"};
        caseJob.maxLinesPerVolume = c.linesPerVolume;
        AddressSet& set = caseJob.ChosenSet();
        set.KeepTags(true);
        set.SetMemoryLimit(c.memoryLimit);
        // Inserted out of order; each line's tag is 1 + its position in this sequence.
        std::uint64_t firstTag = 0;
        std::uint64_t tag = 0;
        const auto insert = [&](std::u16string_view line) {
            std::string key(3 * line.size(), '\0');
            key.resize(EncodeAddressKey(line, key.data()));
            set.InsertKey(key, AddressSet::HashOf(key), ++tag, firstTag);
        };
        for (int n = numbered - 1; n >= 0; n -= 2)
            insert(U16(numberedLine(n)));
        for (int n = 0; n < numbered; n += 2)
            insert(U16(numberedLine(n)));
        insert(SystemCodePage().Decode(wide));
        insert(u"");
        ASSERT_EQ(set.HasRuns(), c.memoryLimit != 0);
        set.Settle(nullptr);

        WriteResults(caseJob, set, nullptr);

        // The expected files, built line by line from the rules.
        std::vector<std::string> order = {""};
        for (int n = 0; n < numbered; ++n)
            order.push_back(numberedLine(n));
        order.push_back(wide);
        if (c.descending)
            std::reverse(order.begin(), order.end());
        std::vector<std::string> skipped;
        std::vector<std::string> files(1);
        int written = 0;
        for (const std::string& line : order) {
            if (line.empty() || (c.keepOnly && line.ends_with("@b.org"))) {
                skipped.push_back(line);
                continue;
            }
            files.back() += line + "\r\n";
            ++written;
            if (c.testInterval > 0 && written % c.testInterval == 0)
                files.back() += "T1\r\nT2\r\n";
            if (c.linesPerVolume > 0 && written % c.linesPerVolume == 0)
                files.emplace_back();
        }
        for (std::size_t v = 0; v < files.size(); ++v) {
            const std::string name =
                v == 0 ? "out.txt" : "out.txt.part" + std::to_string(v) + ".txt";
            EXPECT_TRUE(ReadBytes(caseDir.Path() / name) == files[v]) << name;
        }
        EXPECT_FALSE(std::filesystem::exists(
            caseDir.Path() / ("out.txt.part" + std::to_string(files.size()) + ".txt")));
        const std::vector<std::string> calls = caseReport.Calls();
        ASSERT_EQ(calls.size(), 20003u);
        for (std::size_t i = 0; i < 20002; ++i)
            ASSERT_EQ(calls[i], "progress 20002 " + std::to_string(i + 1));
        EXPECT_EQ(calls.back(), "finished 0 " + std::to_string(written));
        // Skipped lines are told in output order with their tags: the empty line was inserted
        // last, and b.org line n, odd or even, as 1 + (19999 - n) / 2 or 10001 + n / 2.
        ASSERT_EQ(sink.skipped.size(), skipped.size());
        for (std::size_t i = 0; i < skipped.size(); ++i) {
            const std::string& line = skipped[i];
            const int n = line.empty() ? -1 : std::stoi(line.substr(1, 5));
            const int place = n < 0 ? 20002 : n % 2 == 1 ? 1 + (19999 - n) / 2 : 10001 + n / 2;
            EXPECT_EQ(sink.skipped[i], (n < 0 ? "4 " : "5 ") + std::to_string(place) + " " + line);
        }
    }
}

TEST_F(ResultWriterTest, LeavesOutTestAddressesTheCodePageCannotWriteAndSaysSo)
{
    ASSERT_FALSE(SystemCodePage().CanEncode(u"bad\xD800"));
    Fill({"a", "b"});
    job.useTestAddresses = true;
    job.testInterval = 1;
    job.testAddresses = {u"bad\xD800", u"T"};

    Write();

    EXPECT_EQ(Out("out.txt"), CrLf({"a", "T", "b", "T"}));
    EXPECT_EQ(notices.Texts(), (std::vector<std::string>{"测试邮址含有无法写出的字符！"}));
    EXPECT_EQ(report.Calls().back(), "finished 0 2");
}

TEST_F(ResultWriterTest, FailedFirstOpenIsToldWithPathAndReasonAndReportsNothingWritten)
{
    job.outputPath = dir.Wide("no-such-folder/out.txt");
    job.filteredCount = 5;
    Fill({"a", "b"});

    Write();

    EXPECT_EQ(notices.Texts(),
              (std::vector<std::string>{"打开输出文件失败！" + Path("no-such-folder/out.txt") +
                                        ": " + os::ErrorText(ENOENT)}));
    EXPECT_EQ(report.Calls(), (std::vector<std::string>{"finished 5 0"}));
}

TEST_F(ResultWriterTest, FailedWriteIsToldWithPathAndReasonAndReportsNothingWritten)
{
    // A device is written in place, not replaced.
    job.outputPath = test::WidePath("/dev/full");
    Fill({"a", "b", "c"});
    Write();
    EXPECT_EQ(notices.Texts(),
              (std::vector<std::string>{"写入输出文件失败！/dev/full: " + os::ErrorText(ENOSPC)}));
    EXPECT_EQ(report.Calls().back(), "finished 0 0");
}

TEST_F(ResultWriterTest, FailedLaterVolumeLeavesEveryEarlierFileAsItWas)
{
    dir.Write("out.txt", "earlier\r\n");
    // A folder in the place of the third volume makes its opening fail.
    std::filesystem::create_directory(dir.Path() / "out.txt.part2.txt");
    Fill({"a", "b", "c", "d", "e"});
    job.maxLinesPerVolume = 2;

    Write();

    EXPECT_EQ(Out("out.txt"), "earlier\r\n");
    EXPECT_EQ(Names(), (std::vector<std::string>{"out.txt", "out.txt.part2.txt"}));
    EXPECT_EQ(notices.Texts(),
              (std::vector<std::string>{"打开输出文件失败！" + Path("out.txt.part2.txt") + ": " +
                                        os::ErrorText(EISDIR)}));
    EXPECT_EQ(report.Calls(),
              (std::vector<std::string>{"progress 5 1", "progress 5 2", "progress 5 3",
                                        "progress 5 4", "finished 0 0"}));
}

// Puts a folder in the place of a volume once the last line has been reported, so that putting
// the written volume in place fails.
class BlockingReport : public test::RecordingReport
{
public:
    explicit BlockingReport(std::filesystem::path blocked) : blocked_(std::move(blocked)) {}
    void OnOutputProgress(int total, int current) override
    {
        RecordingReport::OnOutputProgress(total, current);
        if (current == total)
            std::filesystem::create_directory(blocked_);
    }

private:
    std::filesystem::path blocked_;
};

TEST_F(ResultWriterTest, FailedRenameIsToldAndCountsOnlyTheVolumesPutInPlace)
{
    dir.Write("out.txt.part2.txt", "earlier two\r\n");
    BlockingReport blocking(dir.Path() / "out.txt.part1.txt");
    job.report = &blocking;
    Fill({"a", "b", "c", "d", "e"});
    job.maxLinesPerVolume = 2;

    Write();

    EXPECT_EQ(Out("out.txt"), CrLf({"a", "b"}));
    EXPECT_EQ(Out("out.txt.part2.txt"), "earlier two\r\n");
    EXPECT_EQ(Names(),
              (std::vector<std::string>{"out.txt", "out.txt.part1.txt", "out.txt.part2.txt"}));
    EXPECT_EQ(notices.Texts(),
              (std::vector<std::string>{"写入输出文件失败！" + Path("out.txt.part1.txt") + ": " +
                                        os::ErrorText(EISDIR)}));
    EXPECT_EQ(blocking.Calls().back(), "finished 0 2");
}

TEST_F(ResultWriterTest, StopRemovesTheFilesOfThisRunAndLeavesEarlierOnes)
{
    dir.Write("out.txt", "earlier\r\n");
    dir.Write("out.txt.part3.txt", "stale\r\n");
    StopFlag stop;
    StoppingReport stopping(stop, 3);
    job.report = &stopping;
    job.maxLinesPerVolume = 1;
    Fill({"a", "b", "c", "d", "e"});

    Write(&stop);

    EXPECT_EQ(stopping.Calls(),
              (std::vector<std::string>{"progress 5 1", "progress 5 2", "progress 5 3"}));
    EXPECT_EQ(Out("out.txt"), "earlier\r\n");
    EXPECT_EQ(Out("out.txt.part3.txt"), "stale\r\n");
    EXPECT_EQ(Names(), (std::vector<std::string>{"out.txt", "out.txt.part3.txt"}));
    EXPECT_TRUE(notices.Texts().empty());
}

TEST_F(ResultWriterTest, StopBeforeTheStartWritesNothing)
{
    StopFlag stop;
    stop.Request();
    Fill({"a"});
    Write(&stop);
    EXPECT_TRUE(report.Calls().empty());
    EXPECT_FALSE(Exists("out.txt"));
}

} // namespace
} // namespace trelvane
