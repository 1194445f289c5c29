// The exclusion file: addresses that a job leaves out.
#pragma once

#include "engine/code_page.h"
#include "engine/line_table.h"
#include "engine/os/file.h"
#include "engine/stop_flag.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trelvane {

/// The distinct lines of an exclusion file, each with the line number of its first entry.
class ExclusionLines
{
public:
    /// Makes room for lines more entries, of about units code units.
    void Reserve(std::size_t lines, std::size_t units);
    /// Adds line as the entry at line number (from 1), unless an equal line was added before.
    void Add(std::u16string_view line, std::int64_t number);
    bool Contains(std::u16string_view line) const { return table_.Find(line) != LineTable::none; }
    /// The line number of the first entry equal to line, 0 when there is none.
    std::int64_t EntryLine(std::u16string_view line) const;
    /// EntryLine of the line whose EncodeAddressKey bytes are key (an ASCII line's own bytes).
    std::int64_t EntryLineOfKey(std::string_view key) const;
    /// The number of distinct lines.
    std::size_t Size() const { return table_.Size(); }
    void Clear();

private:
    LineTable table_;
    std::vector<std::int64_t> entryLines_; ///< by the table's line number
};

/// Reads the rest of file into bytes; false when a read fails, or when stop is requested while
/// a pipe has no data.
bool ReadRemainingBytes(os::InputFile& file, std::string& bytes, const StopFlag* stop);

/// Adds the lines of an exclusion file's raw bytes to lines, as Windows text mode reads them
/// (CR LF becomes LF, a lone CR stays, the first 0x1A ends the text), up to the first zero
/// byte, decoded with codePage and split at LF: a last line without LF counts, a final LF adds
/// no empty line, an empty line between two LFs adds the empty string. Entries are numbered
/// from 1 in that order.
void AddExclusionLines(ExclusionLines& lines, std::string_view fileBytes, const CodePage& codePage);

/// Adds every line of the exclusion file at path to lines (see AddExclusionLines), decoded with
/// the system code page. Returns false, with lines unchanged, when the file cannot be opened or
/// read to its end; an empty file gives true.
bool LoadExclusionList(ExclusionLines& lines, const std::u16string& path);

/// The exclusion lines of one job: loaded anew for every input file, kept when a reload fails.
/// A file that is not regular (a pipe, a FIFO) can be read only once: its lines, once loaded,
/// serve the whole job.
class JobExclusions
{
public:
    /// stop, when given, ends a read that waits for a pipe's data.
    explicit JobExclusions(std::u16string path, const StopFlag* stop = nullptr);

    /// Loads the file again unless it is provably unchanged since the last load, or is not
    /// regular and was loaded. When it cannot be read (or a stop came during the read), keeps
    /// the lines last loaded (none before the first success) and returns false.
    bool Reload();
    /// Whether a load has succeeded since construction.
    bool HasLoaded() const { return hasLoaded_; }
    /// errno of the last failed Reload, 0 when none failed.
    int Error() const { return error_; }
    /// Whether the lines last loaded hold one equal to line.
    bool Contains(std::u16string_view line) const { return lines_.Contains(line); }
    /// The line number of the first entry equal to line, 0 when there is none.
    std::int64_t EntryLine(std::u16string_view line) const { return lines_.EntryLine(line); }
    std::int64_t EntryLineOfKey(std::string_view key) const { return lines_.EntryLineOfKey(key); }
    const std::u16string& Path() const { return path_; }

private:
    std::u16string path_;
    const StopFlag* stop_;
    ExclusionLines lines_;
    std::optional<os::FileIdentity> loaded_;
    bool loadedForJob_ = false;
    bool hasLoaded_ = false;
    int error_ = 0;
};

} // namespace trelvane
