// The progress line: phases, percentages and a long path cut to the terminal's width.
#include "cli/progress_display.h"

#include <gtest/gtest.h>

namespace trelvane {
namespace {

ProgressSnapshot Snapshot(JobPhase phase, int position, int total, std::u16string path = {})
{
    ProgressSnapshot snapshot;
    snapshot.phase = phase;
    snapshot.position = position;
    snapshot.total = total;
    snapshot.filePath = std::move(path);
    return snapshot;
}

TEST(ProgressText, ShowsPhaseBarAndPercent)
{
    const struct
    {
        const char* name;
        ProgressSnapshot snapshot;
        std::u16string_view expected;
    } rows[] = {
        {"before the first report", Snapshot(JobPhase::Starting, 0, 0), u""},
        {"output phase", Snapshot(JobPhase::Output, 50, 200),
         u"正在输出结果  [#####---------------]  25%"},
        {"empty set", Snapshot(JobPhase::Output, 0, 0),
         u"正在输出结果  [--------------------]   0%"},
        {"position past the total", Snapshot(JobPhase::Processing, 9, 7, u"/in.txt"),
         u"正在处理文件 /in.txt  [####################] 100%"},
        {"wide characters that fit", Snapshot(JobPhase::Processing, 1, 3, u"/数据/名单.txt"),
         u"正在处理文件 /数据/名单.txt  [######--------------]  33%"},
        {"pipe, its total unknown", Snapshot(JobPhase::Processing, 1234, 0, u"/dev/stdin"),
         u"正在处理文件 /dev/stdin  1234 行"},
        // 60 columns: 13 for the label, 29 for the bar, 18 for "..." and the path's end.
        {"long path", Snapshot(JobPhase::Processing, 5, 10, u"/data/lists/2026/customers.txt"),
         u"正在处理文件 ...6/customers.txt  [##########----------]  50%"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ProgressText(row.snapshot, 60), row.expected) << row.name;
}

} // namespace
} // namespace trelvane
