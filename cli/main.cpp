// trelvane-cli: organises address lists from the command line with the engine of the dialog.
#include "cli/cli_job.h"
#include "cli/cli_options.h"
#include "cli/console.h"
#include "cli/help_text.h"
#include "cli/joined.h"
#include "engine/code_page.h"

#include <string>
#include <vector>

namespace {

std::vector<std::u16string> ArgumentsOf(int argc, char** argv)
{
    std::vector<std::u16string> arguments;
    for (int index = 1; index < argc; ++index)
        arguments.push_back(trelvane::FromSystemBytes(argv[index]));
    return arguments;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace trelvane;
    // The code page is read before anything else: arguments and paths are bytes in it.
    SystemCodePage();
    const CliOptions options = ParseCommandLine(ArgumentsOf(argc, argv));
    switch (options.action) {
    case CliAction::ShowHelp:
        WriteToStdout(HelpText());
        return exitSuccess;
    case CliAction::ShowVersion:
        WriteToStdout(VersionText());
        return exitSuccess;
    case CliAction::UsageError:
        WriteToStderr(Joined({u"trelvane-cli: ", options.error, u"\n请使用 --help 查看用法。\n"}));
        return exitUsageError;
    case CliAction::RunJob:
        break;
    }
    return RunJob(options, !options.quiet && StderrIsTerminal());
}
