// Tests of the flat table of lines behind the exclusion list and the suffix lookup.
#include "engine/line_table.h"

#include "engine/address_key.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace trelvane {
namespace {

/// A random line of short length from a small alphabet, so that lines repeat: ASCII, a Latin-1
/// letter, a CJK character, an escaped byte and both halves of a surrogate pair.
std::u16string RandomLine(std::mt19937& random)
{
    static constexpr char16_t alphabet[] = {u'a',   u'B',      u'@',      u'.',      u'\r',
                                            u'\0',  u'\u00E9', u'\u00C3', u'\u00A9', u'\u540D',
                                            0xDCFF, 0xD83D,    0xDE00};
    std::u16string line(random() % 7, u' ');
    for (char16_t& unit : line)
        unit = alphabet[random() % std::size(alphabet)];
    return line;
}

// Against a map of each line's first number: every line found with its number, through growth
// far beyond the room reserved, and lines never added not found.
TEST(LineTable, FindsExactlyTheLinesAddedWithTheirFirstNumbers)
{
    std::mt19937 random(7);
    LineTable table;
    table.Reserve(3);
    std::map<std::u16string, std::size_t> model;
    for (int i = 0; i < 5000; ++i) {
        const std::u16string line = RandomLine(random);
        const auto [number, added] = table.Add(line);
        const auto [entry, inModel] = model.try_emplace(line, model.size());
        ASSERT_EQ(added, inModel) << i;
        ASSERT_EQ(number, entry->second) << i;
    }
    ASSERT_EQ(table.Size(), model.size());
    for (const auto& [line, number] : model)
        EXPECT_EQ(table.Find(line), number);
    for (int i = 0; i < 5000; ++i) {
        const std::u16string line = RandomLine(random);
        const auto entry = model.find(line);
        const std::size_t expected = entry == model.end() ? LineTable::none : entry->second;
        EXPECT_EQ(table.Find(line), expected);
        // The same lookup by the line's key bytes, as ASCII lines are looked up.
        std::string key(3 * line.size(), '\0');
        key.resize(EncodeAddressKey(line, key.data()));
        EXPECT_EQ(table.FindKey(key), expected);
    }
}

TEST(LineTable, ClearForgetsEveryLine)
{
    LineTable table;
    EXPECT_EQ(table.Find(u""), LineTable::none);
    table.Add(u"a@b.example");
    table.Add(u"");
    table.Clear();
    EXPECT_EQ(table.Size(), 0u);
    EXPECT_EQ(table.Find(u"a@b.example"), LineTable::none);
    EXPECT_EQ(table.Find(u""), LineTable::none);
    EXPECT_EQ(table.Add(u"c@d.example"), std::make_pair(std::size_t{0}, true));
    EXPECT_EQ(table.Find(u"c@d.example"), 0u);
}

} // namespace
} // namespace trelvane
