// Digests in a build without OpenSSL: none are available.
#include "engine/address_digest.h"

namespace trelvane {

bool DigestsAvailable()
{
    return false;
}

std::string Digest(DigestKind, std::string_view)
{
    return {};
}

} // namespace trelvane
