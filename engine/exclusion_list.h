// The exclusion file: addresses that a job leaves out.
#pragma once

#include "engine/address_set.h"
#include "engine/code_page.h"
#include "engine/os/file.h"
#include "engine/stop_flag.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace trelvane {

/// The line number (from 1) of the first entry of each distinct exclusion line.
using ExclusionEntryLines = std::unordered_map<std::u16string, std::int64_t>;

/// Reads the rest of file into bytes; false when a read fails, or when stop is requested while
/// a pipe has no data.
bool ReadRemainingBytes(os::InputFile& file, std::string& bytes, const StopFlag* stop);

/// Adds the lines of an exclusion file's raw bytes to set, as Windows text mode reads them
/// (CR LF becomes LF, a lone CR stays, the first 0x1A ends the text), up to the first zero
/// byte, decoded with codePage and split at LF: a last line without LF counts, a final LF adds
/// no empty line, an empty line between two LFs adds the empty string. entryLines, when given,
/// receives the line number of each line's first entry.
void AddExclusionLines(AddressSet& set, std::string_view fileBytes, const CodePage& codePage,
                       ExclusionEntryLines* entryLines = nullptr);

/// Adds every line of the exclusion file at path to set (see AddExclusionLines), decoded with
/// the system code page. Returns false, with set unchanged, when the file cannot be opened or
/// read to its end; an empty file gives true.
bool LoadExclusionList(AddressSet& set, const std::u16string& path);

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
    /// Makes the following loads keep each line's entry number, for EntryLine.
    void KeepEntryLines() { keepEntryLines_ = true; }
    /// The line number of the first entry equal to line, 0 when unknown.
    std::int64_t EntryLine(std::u16string_view line) const;
    const std::u16string& Path() const { return path_; }

private:
    std::u16string path_;
    const StopFlag* stop_;
    AddressSet lines_;
    ExclusionEntryLines entryLines_;
    bool keepEntryLines_ = false;
    std::optional<os::FileIdentity> loaded_;
    bool loadedForJob_ = false;
    bool hasLoaded_ = false;
    int error_ = 0;
};

} // namespace trelvane
