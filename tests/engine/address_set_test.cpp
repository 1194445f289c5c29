// Tests of AddressSet: code-unit order in both directions, de-duplication, growth and reuse.
#include "engine/address_set.h"

#include "engine/address_key.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace trelvane {
namespace {

using Lines = std::vector<std::u16string>;

Lines Reversed(Lines lines)
{
    return {lines.rbegin(), lines.rend()};
}

// Inserts lines (in the given order) into a set of the given order and returns its walk.
Lines WalkOf(const Lines& lines, SetOrder order)
{
    AddressSet set(order);
    for (const auto& line : lines)
        set.Insert(line);
    return test::LinesOf(set);
}

struct OrderCase
{
    const char* name;
    std::u16string smaller;
    std::u16string larger;
};

TEST(AddressSet, OrdersPairsByCodeUnits)
{
    using namespace std::string_literals;
    const std::vector<OrderCase> cases = {
        {"capital before small", u"Zed@x.example", u"abc@x.example"},
        {"digit before letter", u"9@x.example", u"A@x.example"},
        {"proper prefix first", u"abc", u"abc@"},
        {"empty line first", u"", u"\0"s},
        {"NUL inside a line", u"a\0b"s, u"a\x01"},
        {"prefix before a NUL tail", u"a", u"a\0"s},
        {"ASCII before Latin-1", u"z", u"\u00e4"},
        {"one byte before two", u"\u007f", u"\u0080"},
        {"two bytes before three", u"\u07ff", u"\u0800"},
        {"Chinese after ASCII", u"zzz@x.example", u"\u4e2d@x.example"},
        {"surrogate pair before U+FF21", u"\U0001F600", u"\uff21"},
        {"surrogate pair before U+E000", u"\U0010FFFF", u"\ue000"},
        {"escaped units in order", u"\xdc80", u"\xdcff"},
        {"escaped unit before private use", u"\xdcff", u"\ue000"},
        {"lone high before low surrogate", u"\xd800", u"\xdc00"},
        {"last unit of the 8-byte prefix", u"abcdefg1", u"abcdefg2"},
        {"after an equal 8-byte prefix", u"abcdefgh1", u"abcdefgh2"},
        {"longer after an equal 8-byte prefix", u"abcdefgh", u"abcdefgh\0"s},
        {"within long shared prefixes", u"info@mail.example.com", u"info@mail.example.org"},
        {"Latin-1 after eight ASCII units", u"abcdefghz", u"abcdefgh\u00e9"},
        {"pair after eight ASCII units", u"abcdefgh\U0001F600", u"abcdefgh\uff21"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const Lines ascending = {row.smaller, row.larger};
        EXPECT_EQ(WalkOf({row.larger, row.smaller}, SetOrder::Ascending), ascending);
        EXPECT_EQ(WalkOf({row.smaller, row.larger}, SetOrder::Descending), Reversed(ascending));
    }
}

TEST(AddressSet, OrdersMixedLinesInBothDirections)
{
    using namespace std::string_literals;
    const Lines ascending = {
        u"",        u"\0"s,    u"0@a",    u"A@b",    u"Zed@x.example",
        u"abc",     u"abc@x",  u"\u00e9", u"\u4e2d", u"\xd83d\xde00",
        u"\xdc80x", u"\xdcff", u"\ue000", u"\uff21", u"\uffff",
    };
    const Lines shuffled = {ascending[9],  ascending[3],  ascending[14], ascending[0],
                            ascending[7],  ascending[12], ascending[1],  ascending[5],
                            ascending[10], ascending[2],  ascending[13], ascending[6],
                            ascending[11], ascending[4],  ascending[8]};
    EXPECT_EQ(WalkOf(shuffled, SetOrder::Ascending), ascending);
    EXPECT_EQ(WalkOf(shuffled, SetOrder::Descending), Reversed(ascending));
}

TEST(AddressSet, KeepsOneEntryPerDistinctLine)
{
    using namespace std::string_literals;
    AddressSet set;
    EXPECT_TRUE(set.Empty());
    EXPECT_TRUE(set.Insert(u"a@x.example"));
    EXPECT_FALSE(set.Insert(u"a@x.example"));
    EXPECT_TRUE(set.Insert(u"A@x.example"));
    EXPECT_TRUE(set.Insert(u"a@x.example\0"s));
    EXPECT_TRUE(set.Insert(u""));
    EXPECT_FALSE(set.Insert(u""));
    EXPECT_EQ(set.Size(), 4u);
    EXPECT_EQ(test::LinesOf(set), (Lines{u"", u"A@x.example", u"a@x.example", u"a@x.example\0"s}));
}

TEST(AddressSet, AnswersContainsBeforeAndAfterSorting)
{
    AddressSet set(SetOrder::Descending);
    EXPECT_FALSE(set.Contains(u""));
    for (const auto* line : {u"b@x", u"a@x", u"\U0001F600"})
        set.Insert(line);
    const auto check = [&set] {
        EXPECT_TRUE(set.Contains(u"a@x"));
        EXPECT_TRUE(set.Contains(u"\U0001F600"));
        EXPECT_FALSE(set.Contains(u"a@"));
        EXPECT_FALSE(set.Contains(u"A@x"));
        EXPECT_FALSE(set.Contains(u""));
        EXPECT_FALSE(set.Contains(u"\xd83d"));
    };
    check();
    EXPECT_EQ(test::LinesOf(set), (Lines{u"\U0001F600", u"b@x", u"a@x"}));
    check();
}

TEST(AddressSet, SortsAgainAfterLaterInserts)
{
    AddressSet set;
    set.Insert(u"m");
    set.Insert(u"c");
    EXPECT_EQ(test::LinesOf(set), (Lines{u"c", u"m"}));
    EXPECT_FALSE(set.Insert(u"m"));
    EXPECT_TRUE(set.Insert(u"a"));
    EXPECT_TRUE(set.Insert(u"z"));
    EXPECT_EQ(test::LinesOf(set), (Lines{u"a", u"c", u"m", u"z"}));
    EXPECT_TRUE(set.Contains(u"c"));
    EXPECT_EQ(set.Size(), 4u);
}

TEST(AddressSet, ClearEmptiesTheSetForReuse)
{
    AddressSet set;
    set.Insert(u"a");
    set.Insert(u"b");
    test::LinesOf(set);
    set.Clear();
    EXPECT_EQ(set.Size(), 0u);
    EXPECT_FALSE(set.Contains(u"a"));
    EXPECT_TRUE(test::LinesOf(set).empty());
    EXPECT_TRUE(set.Insert(u"b"));
    EXPECT_TRUE(set.Insert(u"a"));
    EXPECT_EQ(test::LinesOf(set), (Lines{u"a", u"b"}));
}

TEST(AddressSet, ForEachStopsWhenTheVisitorSaysSo)
{
    AddressSet set;
    for (const auto* line : {u"d", u"a", u"c", u"b"})
        set.Insert(line);
    Lines seen;
    set.ForEach([&seen](std::u16string_view line) {
        seen.emplace_back(line);
        return seen.size() < 2;
    });
    EXPECT_EQ(seen, (Lines{u"a", u"b"}));
}

TEST(AddressSet, OrdersLinesThatShareLongPrefixes)
{
    using namespace std::string_literals;
    const std::u16string tails[] = {u"",  u"\0"s, u"\0\0"s,  u"\0a"s,
                                    u"a", u"B",   u"\u00e9", u"\U0001F600"};
    std::set<std::u16string> reference;
    for (const std::size_t shared : {11, 12, 13, 24, 30, 70, 250}) {
        for (const auto& tail : tails)
            reference.insert(std::u16string(shared, u'x') + tail);
    }
    Lines shuffled(reference.rbegin(), reference.rend());
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(5));
    const Lines expected(reference.begin(), reference.end());
    EXPECT_EQ(WalkOf(shuffled, SetOrder::Ascending), expected);
    EXPECT_EQ(WalkOf(shuffled, SetOrder::Descending), Reversed(expected));
}

// Random lines over a small alphabet, so that many repeat and many share long prefixes.
std::u16string RandomLine(std::mt19937& random)
{
    using namespace std::string_literals;
    static const std::u16string pieces[] = {
        u"a",      u"B",      u"0",          u"@",      u"\0"s,        u"\u00e9",      u"\u4e2d",
        u"\uff21", u"\ue000", u"\U0001F600", u"\xdc80", u"\U00010000", u"mail.example"};
    std::u16string line;
    const auto length = random() % 7;
    for (unsigned i = 0; i < length; ++i)
        line += pieces[random() % std::size(pieces)];
    return line;
}

TEST(AddressSet, MatchesStdSetOnRandomLines)
{
    std::mt19937 random(20240611);
    AddressSet ascending;
    AddressSet descending(SetOrder::Descending);
    std::set<std::u16string> reference;
    for (int i = 0; i < 6000; ++i) {
        const std::u16string line = RandomLine(random);
        const bool isNew = reference.insert(line).second;
        ASSERT_EQ(ascending.Insert(line), isNew) << "line " << i;
        ASSERT_EQ(descending.Insert(line), isNew) << "line " << i;
        if (i == 3000)
            test::LinesOf(ascending); // sorts half-way, so later inserts need a second sort
    }
    const Lines expected(reference.begin(), reference.end());
    ASSERT_LT(expected.size(), 5000u); // the alphabet is small enough to repeat lines
    EXPECT_EQ(ascending.Size(), expected.size());
    EXPECT_EQ(test::LinesOf(ascending), expected);
    EXPECT_EQ(test::LinesOf(descending), Reversed(expected));
    for (int i = 0; i < 500; ++i) {
        const std::u16string line = RandomLine(random);
        ASSERT_EQ(ascending.Contains(line), reference.count(line) == 1);
    }
}

// Lines inserted (Insert) or appended unchecked (AppendKey), with no limit or one of a few
// kilobytes that makes the set write many runs: settling, also half-way, counts once each repeat
// that Insert could not tell, and the walk is that of std::set.
TEST(AddressSet, SettlesAndWalksLikeStdSetInMemoryAndInRuns)
{
    const std::u16string longLine(70000, u'\u4e2d'); // longer than a run's reading buffer
    const std::u16string deepLine(300, u'x');        // past the deepest window of the sort
    const auto add = [](AddressSet& set, const std::u16string& line, bool appended) {
        if (!appended)
            return set.Insert(line);
        std::string key(3 * line.size(), '\0');
        key.resize(EncodeAddressKey(line, key.data()));
        set.AppendKey(key);
        return true;
    };
    for (const bool appended : {false, true}) {
        for (const std::uint64_t limit : {0u, 4096u, 65536u}) {
            for (const SetOrder order : {SetOrder::Ascending, SetOrder::Descending}) {
                SCOPED_TRACE(testing::Message()
                             << (appended ? "appended " : "inserted ") << limit
                             << (order == SetOrder::Ascending ? " asc" : " desc"));
                std::mt19937 random(7);
                AddressSet set(order);
                set.SetMemoryLimit(limit);
                std::set<std::u16string> reference;
                std::uint64_t takenAsNew = 0;
                for (int i = 0; i < 6000; ++i) {
                    const std::u16string line = i == 2000 || i == 4000 ? longLine
                                                : i % 1000 == 0
                                                    ? deepLine + static_cast<char16_t>(u'a' + i % 3)
                                                    : RandomLine(random);
                    reference.insert(line);
                    takenAsNew += add(set, line, appended) ? 1 : 0;
                    if (i == 3000) {
                        takenAsNew -= set.Settle(nullptr);
                        ASSERT_EQ(set.Size(), reference.size());
                    }
                }
                EXPECT_EQ(limit != 0, set.HasRuns());
                takenAsNew -= set.Settle(nullptr);
                EXPECT_EQ(set.Settle(nullptr), 0u);
                EXPECT_EQ(takenAsNew, reference.size());
                EXPECT_EQ(set.Size(), reference.size());
                const Lines expected(reference.begin(), reference.end());
                EXPECT_EQ(test::LinesOf(set),
                          order == SetOrder::Ascending ? expected : Reversed(expected));
                set.Clear();
                EXPECT_FALSE(set.HasRuns());
                EXPECT_TRUE(test::LinesOf(set).empty());
            }
        }
    }
}

// Lines in the order of their numbers; they share long prefixes, in ten groups.
std::u16string NumberedLine(unsigned number)
{
    char text[64];
    std::snprintf(text, sizeof text, "%c.shared.local.part.%07u@mail.example",
                  static_cast<char>('a' + number / 10000), number);
    return {text, text + std::char_traits<char>::length(text)};
}

// Enough lines under a limit for the runs to be combined on two threads, split by their first
// byte; every line comes twice, the second time in later runs.
TEST(AddressSet, CombinesRunsOnTwoThreadsWithRepeatsAcrossRuns)
{
    constexpr unsigned count = 100000;
    for (const SetOrder order : {SetOrder::Ascending, SetOrder::Descending}) {
        AddressSet set(order);
        set.SetMemoryLimit(std::uint64_t{1} << 20);
        for (unsigned pass = 0; pass < 2; ++pass) {
            for (unsigned i = 0; i < count; ++i) {
                const std::u16string line = NumberedLine(i * 7919u % count);
                std::string key(3 * line.size(), '\0');
                key.resize(EncodeAddressKey(line, key.data()));
                set.AppendKey(key);
            }
        }
        ASSERT_TRUE(set.HasRuns());
        EXPECT_EQ(set.Settle(nullptr), count);
        EXPECT_EQ(set.Size(), count);
        unsigned position = 0;
        bool inOrder = true;
        set.ForEach([&](std::u16string_view line) {
            const unsigned number = order == SetOrder::Ascending ? position : count - 1 - position;
            inOrder = inOrder && line == NumberedLine(number);
            ++position;
            return true;
        });
        EXPECT_TRUE(inOrder);
        EXPECT_EQ(position, count);
    }
}

// Enough lines to pass several arena and index doublings, huge-page sizes and the two-thread sort.
TEST(AddressSet, GrowsPastArenaAndIndexSizes)
{
    constexpr unsigned count = 100000; // at most 260000, for the group letters
    AddressSet set;
    for (unsigned i = 0; i < count; ++i)
        ASSERT_TRUE(set.Insert(NumberedLine(i * 7919u % count)));
    const std::u16string longLine(100000, u'\u4e2d'); // larger than a first chunk
    ASSERT_TRUE(set.Insert(longLine));
    EXPECT_FALSE(set.Insert(NumberedLine(12345)));
    EXPECT_EQ(set.Size(), count + 1);
    unsigned position = 0;
    bool inOrder = true;
    set.ForEach([&](std::u16string_view line) {
        inOrder = line == (position < count ? NumberedLine(position) : longLine);
        ++position;
        return inOrder;
    });
    EXPECT_TRUE(inOrder) << "first line out of place: " << position - 1;
    EXPECT_EQ(position, count + 1);
    EXPECT_TRUE(set.Contains(NumberedLine(count - 1)));
    EXPECT_FALSE(set.Contains(NumberedLine(count)));
}

} // namespace
} // namespace trelvane
