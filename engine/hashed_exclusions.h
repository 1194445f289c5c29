// A suppression list of address digests (MD5, SHA-1 or SHA-256 in hexadecimal).
#pragma once

#include "engine/stop_flag.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace trelvane {

/// The digests of a hashed list. An address line matches when the digest of its text, A-Z
/// lowered and encoded as UTF-8, is in the list.
class HashedExclusions
{
public:
    explicit HashedExclusions(std::u16string path);

    /// Reads the list: one hexadecimal digest per line, either case, its length telling the
    /// kind (32 MD5, 40 SHA-1, 64 SHA-256); blanks around it and CR ends are ignored, other
    /// lines (blank ones, a header) are skipped. False, with errno in Error(), when the file
    /// cannot be read to its end or stop came while a pipe had no data.
    bool Load(const StopFlag* stop);
    int Error() const { return error_; }
    const std::u16string& Path() const { return path_; }
    /// The line numbers (from 1) of the lines that held no digest.
    const std::vector<std::int64_t>& SkippedLines() const { return skippedLines_; }

    /// The line number of the entry that line matches, 0 when none does.
    std::int64_t Match(std::u16string_view line) const;

private:
    std::u16string path_;
    std::unordered_map<std::string, std::int64_t> entries_; ///< raw digest -> first line
    bool hasKind_[3] = {false, false, false};
    std::vector<std::int64_t> skippedLines_;
    int error_ = 0;
};

} // namespace trelvane
