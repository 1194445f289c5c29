// trelvane-cli: organises address lists from the command line with the engine of the dialog.
#include "cli/tool_main.h"

#include "cli/cli_job.h"
#include "cli/cli_options.h"
#include "cli/console.h"
#include "cli/help_text.h"
#include "cli/joined.h"
#include "engine/code_page.h"

#include <cstdio>
#include <cstdlib>

namespace trelvane {

int ToolMain(const std::vector<std::u16string>& arguments)
{
    if (const std::u16string& notice = SystemCodePageNotice(); !notice.empty())
        WriteToStderr(Joined({u"trelvane-cli: ", notice, u"\n"}));
    const CliOptions options = ParseCommandLine(arguments);
    switch (options.action) {
    case CliAction::ShowHelp:
        return WriteToStdout(HelpText()) ? exitSuccess : exitJobFailure;
    case CliAction::ShowVersion:
        return WriteToStdout(VersionText()) ? exitSuccess : exitJobFailure;
    case CliAction::UsageError:
        WriteToStderr(Joined({u"trelvane-cli: ", options.error, u"\n请使用 --help 查看用法。\n"}));
        return exitUsageError;
    case CliAction::RunJob:
        break;
    }
    return RunJob(options, !options.quiet && StderrIsTerminal());
}

void EndTool(int status)
{
    std::fflush(nullptr);
    std::_Exit(status);
}

} // namespace trelvane
