// Loading a hashed suppression list and matching address lines against it.
#include "engine/hashed_exclusions.h"

#include "engine/address_digest.h"
#include "engine/code_page.h"
#include "engine/exclusion_list.h"
#include "engine/os/file.h"
#include "engine/settings_text.h"

#include <optional>
#include <utility>

namespace trelvane {
namespace {

constexpr DigestKind kinds[] = {DigestKind::Md5, DigestKind::Sha1, DigestKind::Sha256};

std::optional<DigestKind> KindOfHexLength(std::size_t length)
{
    switch (length) {
    case 32:
        return DigestKind::Md5;
    case 40:
        return DigestKind::Sha1;
    case 64:
        return DigestKind::Sha256;
    default:
        return std::nullopt;
    }
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The raw bytes of a hexadecimal text; nullopt when it holds anything but hex digits.
std::optional<std::string> FromHex(std::string_view hex)
{
    std::string raw;
    raw.reserve(hex.size() / 2);
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int high = HexValue(hex[i]);
        const int low = HexValue(hex[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        raw.push_back(static_cast<char>(high * 16 + low));
    }
    return raw;
}

std::string_view Trimmed(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

} // namespace

HashedExclusions::HashedExclusions(std::u16string path) : path_(std::move(path)) {}

bool HashedExclusions::Load(const StopFlag* stop)
{
    os::InputFile file(path_);
    std::string bytes;
    if (!file.IsOpen() || !ReadRemainingBytes(file, bytes, stop)) {
        error_ = file.Error();
        return false;
    }
    std::string_view rest = bytes;
    for (std::int64_t number = 1; !rest.empty(); ++number) {
        const std::size_t lf = rest.find('\n');
        const std::string_view hex = Trimmed(rest.substr(0, lf));
        rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
        const std::optional<DigestKind> kind = KindOfHexLength(hex.size());
        std::optional<std::string> raw = kind ? FromHex(hex) : std::nullopt;
        if (!raw) {
            skippedLines_.push_back(number);
            continue;
        }
        hasKind_[static_cast<int>(*kind)] = true;
        entries_.try_emplace(std::move(*raw), number);
    }
    return true;
}

std::int64_t HashedExclusions::Match(std::u16string_view line) const
{
    if (entries_.empty())
        return 0;
    static const CodePage utf8 = CodePage::Utf8();
    std::string bytes;
    utf8.Encode(LowerAscii(line), bytes);
    for (const DigestKind kind : kinds) {
        if (!hasKind_[static_cast<int>(kind)])
            continue;
        const auto found = entries_.find(Digest(kind, bytes));
        if (found != entries_.end())
            return found->second;
    }
    return 0;
}

} // namespace trelvane
