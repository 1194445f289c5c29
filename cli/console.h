// Text to the standard streams, in the system code page.
#pragma once

#include <string_view>

namespace trelvane {

/// Writes text to stdout, encoded in the system code page, and flushes it; false when that
/// fails, after telling why on stderr.
bool WriteToStdout(std::u16string_view text);

/// Writes text to stderr, encoded in the system code page.
void WriteToStderr(std::u16string_view text);

/// Whether stderr is a terminal.
bool StderrIsTerminal();

/// The width of the terminal on stderr in columns; 80 when it cannot be told.
int StderrColumns();

} // namespace trelvane
