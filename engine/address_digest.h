// Message digests of addresses, for hashed suppression lists.
#pragma once

#include <string>
#include <string_view>

namespace trelvane {

/// The digests a hashed list may hold; the length of a digest tells which.
enum class DigestKind
{
    Md5,
    Sha1,
    Sha256,
};

/// Whether this build can compute digests (it needs OpenSSL's libcrypto).
bool DigestsAvailable();

/// The raw digest of bytes; empty when digests are not available.
std::string Digest(DigestKind kind, std::string_view bytes);

} // namespace trelvane
