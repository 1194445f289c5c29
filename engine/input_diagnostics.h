// What in a job's input looks wrong: counted while reading, told after the job.
#pragma once

#include "engine/line_reader.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trelvane {

/// The kinds of input findings. They never change what a job writes.
enum class DiagnosticKind
{
    ByteOrderMark,     ///< a file starts with a UTF-8 or UTF-16 byte-order mark
    MixedLineEnds,     ///< a file has both LF and CR LF ends
    Blanks,            ///< a line starts or ends with a blank (also U+3000)
    AtSigns,           ///< a non-empty line has no "@" or more than one
    InvalidBytes,      ///< a line holds bytes that are not valid in the system code page
    DomainCase,        ///< kept addresses that differ only in the letter case of their domain
    LocalPartCase,     ///< kept addresses that differ only in the letter case of their local part
    HashedListSkipped, ///< a line of the hashed exclusion list that is no digest
};

inline constexpr std::size_t diagnosticKindCount = 8;

/// Where one finding was seen.
struct DiagnosticExample
{
    std::u16string path;
    std::int64_t line = 0;
};

/// The count of one kind of finding and its first examples.
struct DiagnosticFinding
{
    std::int64_t count = 0;
    std::int64_t groups = 0; ///< for the letter-case kinds: the number of groups
    std::vector<DiagnosticExample> examples;
};

/// Counts findings in the lines of a job's input files.
class InputDiagnostics
{
public:
    /// How many examples each kind keeps.
    static constexpr std::size_t maxExamples = 3;

    void Clear();
    /// The lines that follow come from path, which stays valid until EndFile.
    void BeginFile(const std::u16string& path);
    /// Checks one line of the current file.
    void OnLine(const ReadLine& line);
    /// Ends the current file (counts its mixed line ends).
    void EndFile();
    /// Counts one finding of kind at line of path.
    void Note(DiagnosticKind kind, const std::u16string& path, std::int64_t line);
    void AddGroups(DiagnosticKind kind, std::int64_t groups);

    const DiagnosticFinding& Finding(DiagnosticKind kind) const;
    /// One text per kind that was found, e.g. "首尾有空白的行：2；例：a.txt:3、b.txt:1".
    std::vector<std::u16string> Texts() const;

private:
    std::array<DiagnosticFinding, diagnosticKindCount> findings_;
    const std::u16string* path_ = nullptr;
    bool sawLf_ = false;
    bool sawCrLf_ = false;
    std::int64_t mixedLine_ = 0; ///< the first line whose end differs from the first line's
};

} // namespace trelvane
