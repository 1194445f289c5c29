// The tool's help and version texts.
#pragma once

#include <string_view>

namespace trelvane {

/// The text that --help prints: usage, options and exit codes, in Chinese.
std::u16string_view HelpText();

/// The text that --version prints, with its line end.
std::u16string_view VersionText();

} // namespace trelvane
