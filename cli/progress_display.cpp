// A one-line progress display on stderr, redrawn in place.
#include "cli/progress_display.h"

#include "cli/console.h"
#include "cli/joined.h"
#include "engine/settings_text.h"

#include <algorithm>
#include <cstdint>

namespace trelvane {
namespace {

constexpr int barWidth = 20;
constexpr std::u16string_view processingLabel = u"正在处理文件 ";
constexpr std::u16string_view outputLabel = u"正在输出结果";
constexpr std::u16string_view eraseToEnd = u"\x1b[K";

bool IsWide(char32_t c)
{
    // The East Asian wide and full-width blocks, which take two terminal columns.
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

bool IsHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

// The columns that the units text[index...] of one character take; index moves past it.
int CharacterColumns(std::u16string_view text, std::size_t& index)
{
    char32_t c = text[index++];
    if (IsHighSurrogate(static_cast<char16_t>(c)) && index < text.size())
        c = 0x10000 + ((c - 0xD800) << 10) + (text[index++] - 0xDC00U);
    return IsWide(c) ? 2 : 1;
}

int Columns(std::u16string_view text)
{
    int columns = 0;
    for (std::size_t index = 0; index < text.size();)
        columns += CharacterColumns(text, index);
    return columns;
}

// The end of text that fits into columns, with "..." before it when its start had to go.
std::u16string TailThatFits(std::u16string_view text, int columns)
{
    if (Columns(text) <= columns)
        return std::u16string(text);
    constexpr std::u16string_view ellipsis = u"...";
    int excess = Columns(text) - (columns - static_cast<int>(ellipsis.size()));
    std::size_t start = 0;
    while (start < text.size() && excess > 0)
        excess -= CharacterColumns(text, start);
    return Joined({ellipsis, text.substr(start)});
}

std::u16string Ascii(std::string_view text)
{
    return {text.begin(), text.end()};
}

std::u16string BarAndPercent(int position, int total)
{
    const std::int64_t shown = std::clamp(position, 0, std::max(total, 0));
    const std::int64_t percent = total > 0 ? shown * 100 / total : 0;
    const auto filled = static_cast<std::size_t>(total > 0 ? shown * barWidth / total : 0);
    const std::u16string number = Ascii(std::to_string(percent));
    return Joined({u"  [", std::u16string(filled, u'#'), std::u16string(barWidth - filled, u'-'),
                   u"] ", std::u16string(3 - std::min<std::size_t>(number.size(), 3), u' '), number,
                   u"%"});
}

} // namespace

std::u16string ProgressText(const ProgressSnapshot& snapshot, int columns)
{
    if (snapshot.phase == JobPhase::Starting)
        return {};
    // A pipe's line count is known only at its end: the lines so far stand for the bar.
    const std::u16string tail = snapshot.total == 0 && snapshot.position > 0
                                    ? Joined({u"  ", DecimalText(snapshot.position), u" 行"})
                                    : BarAndPercent(snapshot.position, snapshot.total);
    if (snapshot.phase == JobPhase::Output)
        return Joined({outputLabel, tail});
    const int room = columns - Columns(processingLabel) - Columns(tail);
    return Joined({processingLabel, TailThatFits(snapshot.filePath, std::max(room, 4)), tail});
}

ProgressDisplay::ProgressDisplay(bool enabled) : enabled_(enabled) {}

void ProgressDisplay::Show(const ProgressSnapshot& snapshot)
{
    if (!enabled_)
        return;
    // One column is left free: a line that fills the last column wraps on some terminals.
    std::u16string text = ProgressText(snapshot, StderrColumns() - 1);
    std::lock_guard lock(mutex_);
    if (text == shown_)
        return;
    shown_ = std::move(text);
    WriteToStderr(Joined({u"\r", shown_, eraseToEnd}));
}

void ProgressDisplay::Clear()
{
    std::lock_guard lock(mutex_);
    EraseLine();
    shown_.clear();
}

void ProgressDisplay::PrintMessage(std::u16string_view text)
{
    std::lock_guard lock(mutex_);
    EraseLine();
    WriteToStderr(Joined({text, u"\n"}));
    if (!shown_.empty())
        WriteToStderr(Joined({shown_, eraseToEnd}));
}

void ProgressDisplay::EraseLine()
{
    if (enabled_ && !shown_.empty())
        WriteToStderr(Joined({u"\r", eraseToEnd}));
}

} // namespace trelvane
