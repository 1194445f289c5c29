// Counting what in the input looks wrong, and telling it.
#include "engine/input_diagnostics.h"

#include "engine/address_job.h"
#include "engine/settings_text.h"
#include "engine/word_scan.h"

namespace trelvane {
namespace {

constexpr std::array<std::u16string_view, diagnosticKindCount> labels = {
    u"以字节顺序标记开头的文件（标记成为第一行的一部分）",
    u"混用 LF 与 CR LF 行尾的文件",
    u"首尾有空白（含全角空格）的行",
    u"没有“@”或有多个“@”的行",
    u"含有系统代码页无效字节的行",
    u"仅域名大小写不同的地址（同一邮箱，会收到两次）",
    u"仅本地部分大小写不同的地址（很可能是同一邮箱）",
    u"散列排除文件中跳过的行（空行或不是摘要）",
};

bool IsBlankUnit(char16_t unit)
{
    return unit == u' ' || unit == u'\t' || unit == u'\u3000';
}

/// What the per-line checks count in a line's units.
struct UnitCounts
{
    std::size_t atSigns = 0;
    bool escaped = false; ///< an escaped byte of the decoder (U+DC80 to U+DCFF, see CodePage)
};

/// Counts the "@" of ASCII bytes, eight at a time.
std::size_t CountAtSigns(std::string_view bytes)
{
    std::size_t atSigns = 0;
    std::size_t at = 0;
    for (; at + 8 <= bytes.size(); at += 8)
        atSigns +=
            wordscan::CountByteMarks(wordscan::BytesEqual(wordscan::Load(bytes.data() + at), '@'));
    for (; at < bytes.size(); ++at)
        atSigns += bytes[at] == '@';
    return atSigns;
}

/// Counts the "@" and finds escaped bytes in one pass, four units at a time.
UnitCounts CountUnits(std::u16string_view text)
{
    using namespace wordscan;
    UnitCounts counts;
    std::uint64_t escapes = 0;
    std::size_t at = 0;
    for (; at + 4 <= text.size(); at += 4) {
        const std::uint64_t word = Load(text.data() + at);
        counts.atSigns += CountUnitMarks(UnitsEqual(word, u'@'));
        // U+DC80 to U+DCFF are the units whose bits above the ASCII range are those of U+DC80.
        escapes |= UnitsEqual(word & nonAsciiUnitBits, 0xDC80);
    }
    for (; at < text.size(); ++at) {
        counts.atSigns += text[at] == u'@';
        escapes |= (text[at] & 0xFF80u) == 0xDC80u;
    }
    counts.escaped = escapes != 0;
    return counts;
}

bool StartsWithByteOrderMark(std::string_view bytes)
{
    return bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") ||
           bytes.starts_with("\xFE\xFF");
}

std::u16string CountText(std::int64_t count)
{
    return DecimalText(ReportedCount(count));
}

} // namespace

void InputDiagnostics::Clear()
{
    findings_ = {};
    path_ = nullptr;
}

void InputDiagnostics::BeginFile(const std::u16string& path)
{
    path_ = &path;
    sawLf_ = false;
    sawCrLf_ = false;
    mixedLine_ = 0;
}

void InputDiagnostics::OnLine(const ReadLine& line)
{
    if (line.overLong)
        return;
    const bool crLf = line.bytes.ends_with('\r');
    if (mixedLine_ == 0 && (crLf ? sawLf_ : sawCrLf_))
        mixedLine_ = line.number;
    (crLf ? sawCrLf_ : sawLf_) = true;
    if (line.number == 1 && StartsWithByteOrderMark(line.bytes))
        Note(DiagnosticKind::ByteOrderMark, *path_, 1);
    // An ASCII line's bytes are its units, and hold no escape: half as many words to look at.
    const std::string_view body = line.ascii ? line.AsciiBody() : std::string_view();
    const std::size_t length = line.ascii ? body.size() : line.text.size();
    if (length == 0)
        return;
    const auto unitAt = [&](std::size_t at) {
        return line.ascii ? static_cast<char16_t>(body[at]) : line.text[at];
    };
    if (IsBlankUnit(unitAt(0)) || IsBlankUnit(unitAt(length - 1)))
        Note(DiagnosticKind::Blanks, *path_, line.number);
    const UnitCounts counts =
        line.ascii ? UnitCounts{CountAtSigns(body), false} : CountUnits(line.text);
    if (counts.atSigns != 1)
        Note(DiagnosticKind::AtSigns, *path_, line.number);
    if (counts.escaped)
        Note(DiagnosticKind::InvalidBytes, *path_, line.number);
}

void InputDiagnostics::EndFile()
{
    if (mixedLine_ != 0)
        Note(DiagnosticKind::MixedLineEnds, *path_, mixedLine_);
    path_ = nullptr;
}

void InputDiagnostics::Note(DiagnosticKind kind, const std::u16string& path, std::int64_t line)
{
    DiagnosticFinding& finding = findings_[static_cast<std::size_t>(kind)];
    ++finding.count;
    if (finding.examples.size() < maxExamples)
        finding.examples.push_back({path, line});
}

void InputDiagnostics::AddGroups(DiagnosticKind kind, std::int64_t groups)
{
    findings_[static_cast<std::size_t>(kind)].groups += groups;
}

const DiagnosticFinding& InputDiagnostics::Finding(DiagnosticKind kind) const
{
    return findings_[static_cast<std::size_t>(kind)];
}

std::vector<std::u16string> InputDiagnostics::Texts() const
{
    std::vector<std::u16string> texts;
    for (std::size_t kind = 0; kind < diagnosticKindCount; ++kind) {
        const DiagnosticFinding& finding = findings_[kind];
        if (finding.count == 0)
            continue;
        std::u16string text(labels[kind]);
        text += u"：" + CountText(finding.count);
        if (finding.groups > 0)
            text += u"，" + CountText(finding.groups) + u" 组";
        text += u"；例：";
        for (std::size_t i = 0; i < finding.examples.size(); ++i) {
            if (i > 0)
                text += u"、";
            text += finding.examples[i].path + u":" + CountText(finding.examples[i].line);
        }
        texts.push_back(std::move(text));
    }
    return texts;
}

} // namespace trelvane
