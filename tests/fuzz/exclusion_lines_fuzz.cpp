// Fuzzes AddExclusionLines against a byte-by-byte model of a file read in Windows text mode.
#include "engine/exclusion_list.h"
#include "tests/fuzz/fuzz_support.h"

#include <map>
#include <string>
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

std::string Listed(const std::map<std::u16string, std::int64_t>& entries)
{
    std::string text;
    for (const auto& [line, number] : entries)
        text += "[" + Hex(line) + "]:" + std::to_string(number) + " ";
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

    // Each distinct line with the number of its first entry.
    std::map<std::u16string, std::int64_t> model;
    std::int64_t number = 0;
    for (const std::string& line : TextModeLines(bytes))
        model.try_emplace(codePage.Decode(line), ++number);
    ExclusionLines lines;
    AddExclusionLines(lines, bytes, codePage);

    std::map<std::u16string, std::int64_t> found;
    for (const auto& entry : model) {
        if (lines.Contains(entry.first))
            found.emplace(entry.first, lines.EntryLine(entry.first));
    }
    if (found != model || lines.Size() != model.size())
        Mismatch(("exclusion lines in " + codePage.Name()).c_str(), Listed(model),
                 Listed(found) + "of " + std::to_string(lines.Size()));
    return 0;
}
