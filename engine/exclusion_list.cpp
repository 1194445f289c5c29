// Loading the exclusion file as Windows text mode reads it.
#include "engine/exclusion_list.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace trelvane {
namespace {

constexpr std::size_t readChunkBytes = 256 * 1024;

/// File times within this span of the moment a file was opened do not prove it unchanged: a
/// write in the same clock tick of the file system leaves them as they were.
constexpr std::int64_t racyNanoseconds = 2'000'000'000;

/// The bytes up to the first 0x1A (end of text) or zero byte (end of the list).
std::string_view TextPart(std::string_view bytes)
{
    return bytes.substr(0, bytes.find_first_of(std::string_view("\x1A\0", 2)));
}

/// The text with every CR LF pair turned into LF; a CR not followed by LF stays.
std::string WithoutCrBeforeLf(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        result.push_back(text[i]);
    }
    return result;
}

std::int64_t NowNanoseconds()
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
}

/// Whether identity, taken when the file was opened at openedAt, may stand for its content.
bool IsSettled(const os::FileIdentity& identity, std::int64_t openedAt)
{
    return identity.modifiedNanoseconds < openedAt - racyNanoseconds &&
           identity.changedNanoseconds < openedAt - racyNanoseconds;
}

} // namespace

bool ReadRemainingBytes(os::InputFile& file, std::string& bytes, const StopFlag* stop)
{
    for (;;) {
        const std::size_t used = bytes.size();
        bytes.resize(used + readChunkBytes);
        const std::ptrdiff_t count = file.Read(bytes.data() + used, readChunkBytes);
        bytes.resize(used + static_cast<std::size_t>(count < 0 ? 0 : count));
        if (count == os::InputFile::noDataYet && (stop == nullptr || !stop->IsRequested()))
            continue;
        if (count <= 0)
            return count == 0;
    }
}

void ExclusionLines::Reserve(std::size_t lines, std::size_t units)
{
    // Most lines are ASCII, one byte a unit in the table.
    table_.Reserve(lines, units);
    entryLines_.reserve(lines);
}

void ExclusionLines::Add(std::u16string_view line, std::int64_t number)
{
    if (table_.Add(line).second)
        entryLines_.push_back(number);
}

std::int64_t ExclusionLines::EntryLine(std::u16string_view line) const
{
    const std::size_t found = table_.Find(line);
    return found == LineTable::none ? 0 : entryLines_[found];
}

std::int64_t ExclusionLines::EntryLineOfKey(std::string_view key) const
{
    const std::size_t found = table_.FindKey(key);
    return found == LineTable::none ? 0 : entryLines_[found];
}

void ExclusionLines::Clear()
{
    table_.Clear();
    entryLines_.clear();
}

void AddExclusionLines(ExclusionLines& lines, std::string_view fileBytes, const CodePage& codePage)
{
    const std::u16string text = codePage.Decode(WithoutCrBeforeLf(TextPart(fileBytes)));
    // Sized once: the text has at most one line more than it has LFs.
    lines.Reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), u'\n')) + 1,
                  text.size());
    std::u16string_view rest = text;
    std::int64_t number = 0;
    while (!rest.empty()) {
        const std::size_t lf = rest.find(u'\n');
        lines.Add(rest.substr(0, lf), ++number);
        if (lf == std::u16string_view::npos)
            return;
        rest.remove_prefix(lf + 1);
    }
}

bool LoadExclusionList(ExclusionLines& lines, const std::u16string& path)
{
    os::InputFile file(path);
    std::string bytes;
    if (!file.IsOpen() || !ReadRemainingBytes(file, bytes, nullptr))
        return false;
    AddExclusionLines(lines, bytes, SystemCodePage());
    return true;
}

JobExclusions::JobExclusions(std::u16string path, const StopFlag* stop)
    : path_(std::move(path)), stop_(stop)
{
}

bool JobExclusions::Reload()
{
    if (loadedForJob_)
        return true;
    const std::int64_t openedAt = NowNanoseconds();
    os::InputFile file(path_);
    error_ = file.Error();
    if (!file.IsOpen())
        return false;
    // Taken from the open file before reading, so a change during the read shows next time.
    const std::optional<os::FileIdentity> identity = file.Identity();
    if (identity && identity == loaded_)
        return true;
    std::string bytes;
    if (!ReadRemainingBytes(file, bytes, stop_)) {
        error_ = file.Error();
        return false;
    }
    lines_.Clear();
    AddExclusionLines(lines_, bytes, SystemCodePage());
    loaded_ = identity && IsSettled(*identity, openedAt) ? identity : std::nullopt;
    loadedForJob_ = !file.IsRegular();
    hasLoaded_ = true;
    return true;
}

} // namespace trelvane
