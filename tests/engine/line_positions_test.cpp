// The removal report's index of first positions, against a standard map.
#include "engine/line_positions.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

namespace trelvane {
namespace {

// Many short lines, with prefixes of each other and repeats, through several growths of the
// table: every line is found at the position it was added with.
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
            positions.Add(line, {static_cast<std::uint32_t>(number % 3), number});
    }
    ASSERT_EQ(positions.Size(), expected.size());
    for (const auto& [line, number] : expected) {
        const std::optional<LinePositions::Position> found = positions.Find(line);
        ASSERT_TRUE(found) << std::string(line.begin(), line.end());
        EXPECT_EQ(found->line, number);
        EXPECT_EQ(found->file, static_cast<std::uint32_t>(number % 3));
    }
    EXPECT_FALSE(LinePositions().Find(u""));
}

} // namespace
} // namespace trelvane
