// Fuzzes AddressSet against std::set<std::u16string>: inserts, lookups, size and both orders.
#include "engine/address_set.h"
#include "tests/fuzz/fuzz_support.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <set>

using namespace trelvane;
using trelvane::fuzz::Hex;
using trelvane::fuzz::Mismatch;

namespace {

/// A short line from a small alphabet, so that equal lines and common prefixes come up often;
/// the alphabet has the code units where signed or UTF-8-like orders would differ.
std::u16string SomeLine(FuzzedDataProvider& input)
{
    static constexpr std::array<char16_t, 8> alphabet{u'\0',  u'a',   u'b',   u'.',
                                                      0x00E9, 0xD83D, 0xE000, 0xFFFF};
    std::u16string line(input.ConsumeIntegralInRange<std::size_t>(0, 6), u'\0');
    for (char16_t& c : line)
        c = alphabet[input.ConsumeIntegralInRange<std::size_t>(0, alphabet.size() - 1)];
    return line;
}

/// Checks that set visits the model's lines in its order, stopping after stopAfter lines.
void ExpectLines(const AddressSet& set, const std::set<std::u16string>& model,
                 std::size_t stopAfter)
{
    std::vector<std::u16string> expected(model.begin(), model.end());
    if (set.Order() == SetOrder::Descending)
        expected.assign(model.rbegin(), model.rend());
    expected.resize(std::min(expected.size(), stopAfter));
    std::vector<std::u16string> visited;
    set.ForEach([&](std::u16string_view line) {
        visited.emplace_back(line);
        return visited.size() < stopAfter;
    });
    for (std::size_t i = 0; i < std::max(expected.size(), visited.size()); ++i) {
        const std::string want = i < expected.size() ? Hex(expected[i]) : "(end)";
        const std::string got = i < visited.size() ? Hex(visited[i]) : "(end)";
        if (want != got)
            Mismatch(("line " + std::to_string(i) + " of ForEach").c_str(), want, got);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    AddressSet set(input.ConsumeBool() ? SetOrder::Descending : SetOrder::Ascending);
    std::set<std::u16string> model;
    while (input.remaining_bytes() > 0) {
        switch (input.ConsumeIntegralInRange(0, 4)) {
        case 0:
        case 1: {
            const std::u16string line = SomeLine(input);
            const bool added = set.Insert(line);
            if (added != model.insert(line).second)
                Mismatch(("Insert of " + Hex(line)).c_str(), std::to_string(!added),
                         std::to_string(added));
            break;
        }
        case 2: {
            const std::u16string line = SomeLine(input);
            if (set.Contains(line) != model.contains(line))
                Mismatch(("Contains of " + Hex(line)).c_str(), std::to_string(model.contains(line)),
                         std::to_string(!model.contains(line)));
            break;
        }
        case 3:
            ExpectLines(set, model, input.ConsumeIntegralInRange<std::size_t>(1, 1000));
            break;
        default:
            if (input.ConsumeIntegralInRange(0, 7) == 0) {
                set.Clear();
                model.clear();
            }
            break;
        }
        if (set.Size() != model.size())
            Mismatch("Size", std::to_string(model.size()), std::to_string(set.Size()));
    }
    ExpectLines(set, model, model.size() + 1);
    return 0;
}
