// trelvane-cli: organises address lists from the command line with the engine of the dialog.
#include "cli/cli_job.h"
#include "cli/cli_options.h"
#include "cli/console.h"
#include "cli/help_text.h"
#include "cli/joined.h"
#include "engine/code_page.h"

#include <csignal>
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
    // A reader that goes away ends the tool quietly, as it ends other tools, even when the
    // caller left SIGPIPE ignored.
    std::signal(SIGPIPE, SIG_DFL);
    // The code page is read before anything else: arguments and paths are bytes in it.
    SystemCodePage();
    if (const std::u16string& notice = SystemCodePageNotice(); !notice.empty())
        WriteToStderr(Joined({u"trelvane-cli: ", notice, u"\n"}));
    const CliOptions options = ParseCommandLine(ArgumentsOf(argc, argv));
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
