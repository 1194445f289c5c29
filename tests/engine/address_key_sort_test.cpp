// The sort of byte keys, repeats dropped, against std::sort and std::unique of the same keys as
// strings: small and large parts, long shared prefixes, a bucket too large for one quicksort.
#include "engine/address_key_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace trelvane {
namespace {

using addresskey::SortEntry;

struct SortCase
{
    const char* name;
    std::size_t count;
    std::vector<std::string> prefixes; ///< each key is one of them and a random tail
    std::size_t longestTail;
    std::string loneKey; ///< one more key, unless empty
};

// Random keys over a few bytes, NUL and bytes from 0x80 up included, so that many keys repeat,
// end in zero bytes or are prefixes of others.
std::vector<std::string> RandomKeys(const SortCase& sortCase)
{
    static const char tailBytes[] = {'\0', 'a', 'b', '\x7f', '\x80', '\xff'};
    std::mt19937 random(20240611);
    std::vector<std::string> keys;
    for (std::size_t at = 0; at < sortCase.count; ++at) {
        std::string key = sortCase.prefixes[random() % sortCase.prefixes.size()];
        for (auto length = random() % (sortCase.longestTail + 1); length != 0; --length)
            key += tailBytes[random() % std::size(tailBytes)];
        keys.push_back(std::move(key));
    }
    if (!sortCase.loneKey.empty())
        keys.push_back(sortCase.loneKey);
    return keys;
}

// Sorts the keys as AddressSet does: every key followed by readable bytes, which are not zero
// so that a window must mask them; returns the keys in the order of the granules written.
std::vector<std::string> SortedDistinct(const std::vector<std::string>& keys,
                                        std::vector<std::uint32_t>& granules)
{
    std::string buffer;
    std::vector<std::size_t> starts;
    for (const std::string& key : keys) {
        starts.push_back(buffer.size());
        buffer += key;
        buffer.append(addresskey::windowPadding, '\xee');
    }
    std::vector<SortEntry> entries;
    const auto keyOf = [&](std::uint32_t granule) {
        return std::string_view(buffer).substr(starts[granule], keys[granule].size());
    };
    for (std::uint32_t granule = 0; granule < keys.size(); ++granule)
        entries.push_back(addresskey::MakeSortEntry(granule, keyOf(granule), 0));
    granules.resize(keys.size());
    granules.resize(addresskey::SortDistinct(entries.data(), entries.data() + entries.size(), keyOf,
                                             granules.data()));
    std::vector<std::string> sorted;
    for (const std::uint32_t granule : granules)
        sorted.push_back(keys.at(granule));
    return sorted;
}

TEST(AddressKeySort, OrdersKeysLikeStdSortOfTheirStrings)
{
    const std::string highBytes = "\xc3\xa9\xff\x80";
    const std::vector<SortCase> cases = {
        {"few keys", 3000, {"", "x", std::string(13, 'x'), std::string(30, 's'), highBytes}, 6, ""},
        {"many keys, long shared prefixes",
         70000,
         {"", std::string(13, 'x'), std::string(30, 's'), std::string(250, 'L'), highBytes},
         6,
         ""},
        // All keys but one share the first 16 bits in which keys differ: a single bucket.
        {"one bucket of most keys", 300000, {"abcde"}, 9, "z"},
    };
    for (const SortCase& sortCase : cases) {
        SCOPED_TRACE(sortCase.name);
        const std::vector<std::string> keys = RandomKeys(sortCase);
        std::vector<std::string> expected = keys;
        std::sort(expected.begin(), expected.end());
        ASSERT_NE(std::adjacent_find(expected.begin(), expected.end()), expected.end());
        expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
        std::vector<std::uint32_t> granules;
        const std::vector<std::string> sorted = SortedDistinct(keys, granules);
        ASSERT_EQ(sorted.size(), expected.size());
        const auto wrong = std::mismatch(sorted.begin(), sorted.end(), expected.begin());
        EXPECT_TRUE(wrong.first == sorted.end())
            << "first key out of place at " << wrong.first - sorted.begin();
    }
}

} // namespace
} // namespace trelvane
