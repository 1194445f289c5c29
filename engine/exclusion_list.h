// The exclusion file: addresses that a job leaves out.
#pragma once

#include "engine/address_set.h"
#include "engine/os/file.h"

#include <optional>
#include <string>

namespace trelvane {

/// Adds every line of the exclusion file at path to set, as Windows text mode reads it (CR LF
/// becomes LF, the first 0x1A ends the text), up to the first zero byte, decoded with the system
/// code page and split at LF. Returns false, with set unchanged, when the file cannot be read.
bool LoadExclusionList(AddressSet& set, const std::u16string& path);

/// The exclusion lines of one job: loaded anew for every input file, kept when a reload fails.
class JobExclusions
{
public:
    explicit JobExclusions(std::u16string path);

    /// Loads the file again unless it is provably unchanged. When it cannot be read, keeps the
    /// lines last loaded and returns false.
    bool Reload();
    bool Contains(std::u16string_view line) const { return lines_.Contains(line); }

private:
    std::u16string path_;
    AddressSet lines_;
    std::optional<os::FileIdentity> loaded_;
};

} // namespace trelvane
