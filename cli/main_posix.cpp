// Entry point of trelvane-cli on POSIX systems: arguments are bytes in the system code page.
#include "cli/tool_main.h"

#include "engine/code_page.h"

#include <csignal>

int main(int argc, char** argv)
{
    // A reader that goes away ends the tool quietly, as it ends other tools, even when the
    // caller left SIGPIPE ignored.
    std::signal(SIGPIPE, SIG_DFL);
    // The code page is read before anything else: arguments and paths are bytes in it.
    trelvane::SystemCodePage();
    std::vector<std::u16string> arguments;
    for (int index = 1; index < argc; ++index)
        arguments.push_back(trelvane::FromSystemBytes(argv[index]));
    trelvane::EndTool(trelvane::ToolMain(arguments));
}
