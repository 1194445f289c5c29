// Fuzzes AddressSet against std::set<std::u16string>: inserts or unchecked appends, lookups,
// settling, size and both orders.
#include "engine/address_key.h"
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
    // Lines appended unchecked keep their repeats, and count them in Size, until a Settle or a
    // walk drops them; such a set takes no Insert or Contains.
    const bool appended = input.ConsumeBool();
    std::set<std::u16string> model;
    std::size_t repeats = 0;        // appended since the last Settle
    bool appendedSinceDrop = false; // since the last Settle, walk or Clear
    while (input.remaining_bytes() > 0) {
        switch (input.ConsumeIntegralInRange(0, 4)) {
        case 0:
        case 1: {
            const std::u16string line = SomeLine(input);
            if (appended) {
                std::string key(3 * line.size(), '\0');
                key.resize(EncodeAddressKey(line, key.data()));
                set.AppendKey(key);
                repeats += model.insert(line).second ? 0 : 1;
                appendedSinceDrop = true;
                break;
            }
            const bool added = set.Insert(line);
            if (added != model.insert(line).second)
                Mismatch(("Insert of " + Hex(line)).c_str(), std::to_string(!added),
                         std::to_string(added));
            break;
        }
        case 2: {
            if (appended) {
                const std::uint64_t settled = set.Settle(nullptr);
                if (settled != repeats)
                    Mismatch("Settle", std::to_string(repeats), std::to_string(settled));
                repeats = 0;
                appendedSinceDrop = false;
                break;
            }
            const std::u16string line = SomeLine(input);
            if (set.Contains(line) != model.contains(line))
                Mismatch(("Contains of " + Hex(line)).c_str(), std::to_string(model.contains(line)),
                         std::to_string(!model.contains(line)));
            break;
        }
        case 3:
            ExpectLines(set, model, input.ConsumeIntegralInRange<std::size_t>(1, 1000));
            appendedSinceDrop = false;
            break;
        default:
            if (input.ConsumeIntegralInRange(0, 7) == 0) {
                set.Clear();
                model.clear();
                repeats = 0;
                appendedSinceDrop = false;
            }
            break;
        }
        // Appended repeats count in Size until a Settle or a walk drops them.
        if (appended && appendedSinceDrop)
            continue;
        if (set.Size() != model.size())
            Mismatch("Size", std::to_string(model.size()), std::to_string(set.Size()));
    }
    ExpectLines(set, model, model.size() + 1);
    return 0;
}
