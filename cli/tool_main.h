// The command-line tool once its arguments are UTF-16 text; the entry points of each platform
// call it.
#pragma once

#include <string>
#include <vector>

namespace trelvane {

/// Runs the tool with its arguments (without the program name) and returns the exit status.
int ToolMain(const std::vector<std::u16string>& arguments);

/// Ends the process with status once the standard streams are flushed, without destroying what
/// the job holds: the system takes back hundreds of megabytes at once, where freeing them piece
/// by piece would take a noticeable time after the job is done.
[[noreturn]] void EndTool(int status);

} // namespace trelvane
