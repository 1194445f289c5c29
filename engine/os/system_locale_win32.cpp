// The system's ANSI code page on Windows.
#include "engine/os/system_locale.h"

#include <windows.h>

namespace trelvane::os {

std::string ReadSystemCodeset()
{
    return "CP" + std::to_string(GetACP());
}

} // namespace trelvane::os
