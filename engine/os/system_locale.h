// The operating system's idea of the user's character encoding.
#pragma once

#include <string>

namespace trelvane::os {

/// The codeset name of the user's locale ("UTF-8", "GBK", ...); the plain C/POSIX locale gives
/// "UTF-8". Sets the process's character-type locale from the environment. On Windows it is the
/// ANSI code page, as "CP" and its number ("CP936", "CP1252").
std::string ReadSystemCodeset();

} // namespace trelvane::os
