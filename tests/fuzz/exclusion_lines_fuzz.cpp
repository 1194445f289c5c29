// Fuzzes AddExclusionLines against a byte-by-byte model of a file read in Windows text mode.
#include "engine/exclusion_list.h"
#include "tests/fuzz/fuzz_support.h"

#include <set>
#include <vector>

using namespace trelvane;
using trelvane::fuzz::Hex;
using trelvane::fuzz::Mismatch;

namespace {

/// The lines of an exclusion file: CR LF reads as LF, a lone CR stays, 0x1A ends the text, a zero
/// byte ends the list, a last line without LF counts and a final LF adds no empty line.
std::vector<std::string> TextModeLines(std::string_view bytes)
{
    std::vector<std::string> lines;
    std::string line;
    bool lineStarted = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char byte = bytes[i];
        if (byte == '\x1A' || byte == '\0')
            break;
        if (byte == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        if (byte == '\n') {
            lines.push_back(std::move(line));
            line.clear();
            lineStarted = false;
            continue;
        }
        line.push_back(byte);
        lineStarted = true;
    }
    if (lineStarted)
        lines.push_back(line);
    return lines;
}

std::string Listed(const std::vector<std::u16string>& lines)
{
    std::string text;
    for (const std::u16string& line : lines)
        text += "[" + Hex(line) + "] ";
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // GBK as well as UTF-8: an LF must end a line even right after a lead byte.
    static const CodePage utf8 = CodePage::Utf8();
    static const CodePage gbk = *CodePage::FromName("GBK");
    const CodePage& codePage = data[0] % 2 == 0 ? utf8 : gbk;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::set<std::u16string> model;
    for (const std::string& line : TextModeLines(bytes))
        model.insert(codePage.Decode(line));
    AddressSet set;
    AddExclusionLines(set, bytes, codePage);

    std::vector<std::u16string> actual;
    set.ForEach([&](std::u16string_view line) {
        actual.emplace_back(line);
        return true;
    });
    const std::vector<std::u16string> expected(model.begin(), model.end());
    if (actual != expected)
        Mismatch(("exclusion lines in " + codePage.Name()).c_str(), Listed(expected),
                 Listed(actual));
    return 0;
}
