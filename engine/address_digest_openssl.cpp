// Digests through OpenSSL's libcrypto.
#include "engine/address_digest.h"

#include <openssl/evp.h>

namespace trelvane {

bool DigestsAvailable()
{
    return true;
}

std::string Digest(DigestKind kind, std::string_view bytes)
{
    const EVP_MD* const type = kind == DigestKind::Md5    ? EVP_md5()
                               : kind == DigestKind::Sha1 ? EVP_sha1()
                                                          : EVP_sha256();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, type, nullptr) != 1)
        return {};
    return std::string(reinterpret_cast<const char*>(digest), length);
}

} // namespace trelvane
