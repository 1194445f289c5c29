// trelvane-cli: organises address lists from the command line with the engine of the dialog.
#include "cli/tool_main.h"

#include "cli/cli_job.h"
#include "cli/cli_options.h"
#include "cli/console.h"
#include "cli/help_text.h"
#include "cli/joined.h"

namespace trelvane {

int ToolMain(const std::vector<std::u16string>& arguments)
{
    const CliOptions options = ParseCommandLine(arguments);
    switch (options.action) {
    case CliAction::ShowHelp:
        WriteToStdout(HelpText());
        return exitSuccess;
    case CliAction::ShowVersion:
        WriteToStdout(VersionText());
        return exitSuccess;
    case CliAction::UsageError:
        WriteToStderr(Joined({u"trelvane-cli: ", options.error, u"\n"}));
        return exitUsageError;
    case CliAction::RunJob:
        break;
    }
    return RunJob(options, !options.quiet && StderrIsTerminal());
}

} // namespace trelvane
