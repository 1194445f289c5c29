// The locale's codeset on POSIX systems.
#include "engine/os/system_locale.h"

#include <clocale>
#include <langinfo.h>
#include <string_view>

namespace trelvane::os {

std::string ReadSystemCodeset()
{
    std::setlocale(LC_CTYPE, "");
    const char* codeset = ::nl_langinfo(CODESET);
    // The plain C/POSIX locale reports ASCII; its users get UTF-8, which keeps ASCII as it is.
    if (codeset == nullptr || *codeset == '\0' || std::string_view(codeset) == "ANSI_X3.4-1968")
        return "UTF-8";
    return codeset;
}

} // namespace trelvane::os
