// Entry point of trelvane-cli on Windows: wmain takes the arguments as UTF-16, so that any file
// name reaches the engine unchanged, whatever the code page.
#include "cli/tool_main.h"

#include "engine/code_page.h"

int wmain(int argc, wchar_t** argv)
{
    trelvane::SystemCodePage();
    std::vector<std::u16string> arguments;
    for (int index = 1; index < argc; ++index)
        arguments.emplace_back(reinterpret_cast<const char16_t*>(argv[index]));
    trelvane::EndTool(trelvane::ToolMain(arguments));
}
