// The command-line tool once its arguments are UTF-16 text; the entry points of each platform
// call it.
#pragma once

#include <string>
#include <vector>

namespace trelvane {

/// Runs the tool with its arguments (without the program name) and returns the exit status.
int ToolMain(const std::vector<std::u16string>& arguments);

} // namespace trelvane
