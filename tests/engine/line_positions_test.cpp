// The removal report's index of first positions, against a standard map.
#include "engine/line_positions.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

namespace trelvane {
namespace {

// Many short lines, with prefixes of each other and repeats, through several growths of the
// index: every line is found at the position it was added with, and no other line is found.
TEST(LinePositions, FindsWhatWasAddedAcrossGrowth)
{
    std::mt19937 random(7);
    std::map<std::u16string, std::int64_t> expected;
    LinePositions positions;
    for (std::int64_t number = 1; number <= 20000; ++number) {
        std::u16string line(random() % 10, u'a');
        for (char16_t& unit : line)
            unit = static_cast<char16_t>(u'a' + random() % 4);
        if (expected.try_emplace(line, number).second)
            positions.Add(line, {static_cast<std::uint32_t>(number % 3), false, number});
    }
    ASSERT_EQ(positions.Size(), expected.size());
    for (const auto& [line, number] : expected) {
        const LinePositions::Position* found = positions.Find(line);
        ASSERT_NE(found, nullptr) << std::string(line.begin(), line.end());
        EXPECT_EQ(found->line, number);
        EXPECT_EQ(found->file, static_cast<std::uint32_t>(number % 3));
    }
    EXPECT_EQ(positions.Find(u"zzz"), nullptr);
    EXPECT_EQ(LinePositions().Find(u""), nullptr);
}

} // namespace
} // namespace trelvane
