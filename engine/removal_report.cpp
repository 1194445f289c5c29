// Writing the removal report of a job.
#include "engine/removal_report.h"

#include "engine/address_line.h"
#include "engine/code_page.h"
#include "engine/notice.h"
#include "engine/settings_text.h"

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <utility>

namespace trelvane {
namespace {

constexpr std::size_t blockBytes = std::size_t{1} << 20;
constexpr std::string_view lineEnd = "\r\n";

constexpr std::array<std::string_view, removalReasonCount> reasonWords = {
    "duplicate", "deleted-suffix", "excluded", "over-long", "empty", "not-kept-suffix",
};

std::string_view Word(RemovalReason reason)
{
    return reasonWords[static_cast<std::size_t>(reason)];
}

std::u16string LocalPart(std::u16string_view address)
{
    return std::u16string(address.substr(0, address.find(u'@')));
}

// A hash of text with A-Z lowered (FNV-1a), without making the lowered text.
std::uint64_t FoldedHash(std::u16string_view text)
{
    std::uint64_t hash = 14695981039346656037u;
    for (const char16_t unit : text) {
        const char16_t lowered = unit >= u'A' && unit <= u'Z' ? unit + (u'a' - u'A') : unit;
        hash = (hash ^ lowered) * 1099511628211u;
    }
    return hash;
}

// Moves the entries of from whose key equals that of its first entry into the result.
template <typename Key>
std::vector<std::uint32_t> TakeSameKey(std::vector<std::uint32_t>& from, Key key)
{
    const auto first = key(from.front());
    std::vector<std::uint32_t> taken;
    std::erase_if(from, [&](std::uint32_t index) {
        const bool same = key(index) == first;
        if (same)
            taken.push_back(index);
        return same;
    });
    return taken;
}

} // namespace

RemovalReport::RemovalReport(std::u16string path) : path_(std::move(path))
{
    buffer_.reserve(blockBytes + blockBytes / 8);
}

RemovalReport::~RemovalReport()
{
    Discard();
}

bool RemovalReport::Open()
{
    if (!body_.CreateBeside(path_))
        return Fail(u"打开报告文件失败！", path_, body_.Error());
    bodyPath_ = body_.Path();
    return true;
}

void RemovalReport::OnFileStarted(const std::u16string& path)
{
    paths_.push_back(path);
    pathBytes_.emplace_back();
    SystemCodePage().Encode(path, pathBytes_.back());
}

std::uint64_t RemovalReport::PlaceOf(std::int64_t lineNumber) const
{
    return (std::uint64_t{paths_.size() - 1} << lineNumberBits) |
           (static_cast<std::uint64_t>(lineNumber) & lineNumberMask);
}

const std::u16string& RemovalReport::PathAt(std::uint64_t place) const
{
    return paths_[place >> lineNumberBits];
}

std::string_view RemovalReport::PathBytesAt(std::uint64_t place) const
{
    return pathBytes_[place >> lineNumberBits];
}

std::string_view RemovalReport::Encoded(std::u16string_view text)
{
    detail_.clear();
    SystemCodePage().Encode(text, detail_);
    return detail_;
}

void RemovalReport::OnRepeat(std::uint64_t repeat, std::uint64_t first, std::u16string_view line)
{
    const RemovalReason reason = line.empty() ? RemovalReason::Empty : RemovalReason::Duplicate;
    ++counts_[static_cast<std::size_t>(reason)];
    const auto number = [](std::uint64_t place) {
        return static_cast<std::int64_t>(place & lineNumberMask);
    };
    if (reason == RemovalReason::Empty)
        WriteLine(reason, PathBytesAt(repeat), number(repeat), {}, 0, line);
    else
        WriteLine(reason, PathBytesAt(repeat), number(repeat), PathBytesAt(first), number(first),
                  line);
}

void RemovalReport::OnLineDropped(RemovalReason reason, std::int64_t lineNumber,
                                  std::u16string_view line, std::u16string_view listPath,
                                  std::int64_t entryLine)
{
    ++counts_[static_cast<std::size_t>(reason)];
    switch (reason) {
    case RemovalReason::DeletedSuffix:
        WriteLine(reason, pathBytes_.back(), lineNumber, Encoded(ExtractDomainSuffix(line)), 0,
                  line);
        return;
    case RemovalReason::Excluded:
        WriteLine(reason, pathBytes_.back(), lineNumber, Encoded(listPath), entryLine, line);
        return;
    default:
        WriteLine(reason, pathBytes_.back(), lineNumber, {}, 0, line);
        return;
    }
}

void RemovalReport::OnLineSkipped(RemovalReason reason, std::u16string_view line,
                                  std::uint64_t place)
{
    ++counts_[static_cast<std::size_t>(reason)];
    ++skippedByWriter_;
    const std::u16string suffix =
        reason == RemovalReason::NotKeptSuffix ? ExtractDomainSuffix(line) : std::u16string();
    WriteLine(reason, PathBytesAt(place), static_cast<std::int64_t>(place & lineNumberMask),
              Encoded(suffix), 0, line);
}

void RemovalReport::WriteLine(RemovalReason reason, std::string_view pathBytes,
                              std::int64_t lineNumber, std::string_view detail,
                              std::int64_t detailNumber, std::u16string_view line)
{
    if (!failure_.empty())
        return;
    const CodePage& codePage = SystemCodePage();
    buffer_.append(Word(reason));
    buffer_.push_back('\t');
    buffer_.append(pathBytes);
    buffer_.push_back('\t');
    if (lineNumber > 0)
        buffer_.append(std::to_string(lineNumber));
    buffer_.push_back('\t');
    buffer_.append(detail);
    buffer_.push_back('\t');
    if (detailNumber > 0)
        buffer_.append(std::to_string(detailNumber));
    buffer_.push_back('\t');
    codePage.Encode(line, buffer_);
    buffer_.append(lineEnd);
    if (buffer_.size() >= blockBytes)
        Flush();
}

bool RemovalReport::Flush()
{
    const bool written = buffer_.empty() || body_.Write(buffer_.data(), buffer_.size());
    buffer_.clear();
    return written || Fail(u"写入报告文件失败！", path_, body_.Error());
}

bool RemovalReport::Fail(std::u16string_view message, const std::u16string& path, int errorNumber)
{
    if (failure_.empty())
        failure_ = FailureText(message, path, errorNumber);
    return false;
}

void RemovalReport::NoteCaseVariants(const AddressJobRecord& job,
                                     InputDiagnostics& diagnostics) const
{
    // Lines whose A-Z-lowered forms are equal sit next to each other once sorted by that
    // form's hash; only lines in a run of equal hashes are then copied, in a second walk of
    // the set, and told apart by comparing their forms.
    struct Keyed
    {
        std::uint64_t hash;
        std::uint32_t ordinal;
        bool operator<(const Keyed& other) const
        {
            return hash != other.hash ? hash < other.hash : ordinal < other.ordinal;
        }
    };
    const AddressSet& set = job.ChosenSet();
    std::vector<Keyed> keyed;
    std::uint32_t ordinal = 0;
    set.ForEach([&](std::u16string_view line) {
        const bool written = !job.keepOnlySuffixes || HasListedSuffix(line, job.keepSuffixList);
        if (written && line.find(u'@') != std::u16string_view::npos)
            keyed.push_back({FoldedHash(line), ordinal});
        ++ordinal;
        return true;
    });
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::vector<std::uint32_t>> runs;
    struct Stored
    {
        std::u16string text;
        std::uint64_t place = 0;
    };
    std::unordered_map<std::uint32_t, Stored> texts;
    for (std::size_t begin = 0; begin < keyed.size();) {
        std::size_t end = begin + 1;
        while (end < keyed.size() && keyed[end].hash == keyed[begin].hash)
            ++end;
        if (end - begin > 1) {
            runs.emplace_back();
            for (std::size_t i = begin; i < end; ++i) {
                runs.back().push_back(keyed[i].ordinal);
                texts.emplace(keyed[i].ordinal, Stored());
            }
        }
        begin = end;
    }
    keyed.clear();
    keyed.shrink_to_fit();
    if (runs.empty())
        return;
    ordinal = 0;
    set.ForEachTagged([&](std::u16string_view line, std::uint64_t place) {
        if (const auto found = texts.find(ordinal++); found != texts.end())
            found->second = {std::u16string(line), place};
        return true;
    });
    const auto note = [&](DiagnosticKind kind, const std::vector<std::uint32_t>& members) {
        diagnostics.AddGroups(kind, 1);
        for (const std::uint32_t member : members) {
            const std::uint64_t place = texts[member].place;
            diagnostics.Note(kind, PathAt(place),
                             static_cast<std::int64_t>(place & lineNumberMask));
        }
    };
    const auto folded = [&](std::uint32_t member) { return LowerAscii(texts[member].text); };
    const auto localPart = [&](std::uint32_t member) { return LocalPart(texts[member].text); };
    for (std::vector<std::uint32_t>& rest : runs) {
        while (rest.size() > 1) {
            const std::vector<std::uint32_t> group = TakeSameKey(rest, folded);
            if (group.size() < 2)
                continue;
            // Equal local parts: only the domain's case differs. Several local parts: the
            // local part's case differs too.
            int localParts = 0;
            for (std::vector<std::uint32_t> members = group; !members.empty(); ++localParts) {
                const std::vector<std::uint32_t> sameLocal = TakeSameKey(members, localPart);
                if (sameLocal.size() > 1)
                    note(DiagnosticKind::DomainCase, sameLocal);
            }
            if (localParts > 1)
                note(DiagnosticKind::LocalPartCase, group);
        }
    }
}

std::string RemovalReport::SummaryLine(std::int64_t filteredCount) const
{
    std::string line = "# summary";
    const auto add = [&line](std::string_view name, std::int64_t count) {
        line.append("\t").append(name).append(" ").append(std::to_string(count));
    };
    for (std::size_t reason = 0; reason < removalReasonCount; ++reason)
        add(reasonWords[reason], counts_[reason]);
    add("filtered", filteredCount);
    add("skipped-while-writing", skippedByWriter_);
    return line.append(lineEnd);
}

bool RemovalReport::Commit(const std::vector<std::u16string>& comments, std::int64_t filteredCount)
{
    if (comments.empty())
        buffer_.append(SummaryLine(filteredCount));
    if (!failure_.empty() || !Flush() || !body_.Close()) {
        Fail(u"写入报告文件失败！", path_, body_.Error());
        Discard();
        return false;
    }
    if (comments.empty()) {
        // Nothing goes before the lines: the file they are in is the report.
        const int error = bodyPath_.empty() ? 0 : os::ReplaceFile(bodyPath_, path_);
        if (error != 0) {
            Fail(u"写入报告文件失败！", path_, error);
            Discard();
            return false;
        }
        bodyPath_.clear();
        return true;
    }
    std::string head;
    for (const std::u16string& comment : comments) {
        head.append("# ");
        SystemCodePage().Encode(comment, head);
        head.append(lineEnd);
    }
    os::OutputFile out;
    if (!out.CreateBeside(path_)) {
        Fail(u"打开报告文件失败！", path_, out.Error());
        Discard();
        return false;
    }
    const std::u16string outPath = out.Path();
    bool ok = out.Write(head.data(), head.size());
    if (ok && !bodyPath_.empty()) {
        os::InputFile in(bodyPath_);
        const auto block = std::make_unique_for_overwrite<char[]>(blockBytes);
        std::ptrdiff_t count = in.IsOpen() ? 0 : -1;
        while (ok && in.IsOpen() && (count = in.Read(block.get(), blockBytes)) > 0)
            ok = out.Write(block.get(), static_cast<std::size_t>(count));
        ok = ok && count == 0;
    }
    const std::string summary = SummaryLine(filteredCount);
    ok = ok && out.Write(summary.data(), summary.size()) && out.Close();
    const int error = ok ? (outPath.empty() ? 0 : os::ReplaceFile(outPath, path_)) : out.Error();
    if (!ok || error != 0) {
        Fail(u"写入报告文件失败！", path_, error);
        out.Close();
        if (!outPath.empty())
            os::RemoveFile(outPath);
        Discard();
        return false;
    }
    Discard();
    return true;
}

void RemovalReport::Discard()
{
    body_.Close();
    if (!bodyPath_.empty())
        os::RemoveFile(bodyPath_);
    bodyPath_.clear();
}

} // namespace trelvane
