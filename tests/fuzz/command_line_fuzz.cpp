// Fuzzes ParseCommandLine with arguments split from the input at zero bytes: whatever the
// arguments, it returns a job that can run, help, the version, or an error with a text.
#include "cli/cli_options.h"
#include "engine/code_page.h"
#include "engine/os/file.h"
#include "engine/settings_text.h"
#include "tests/fuzz/fuzz_support.h"

#include <algorithm>

using namespace trelvane;
using trelvane::fuzz::Hex;
using trelvane::fuzz::Mismatch;

namespace {

std::vector<std::string> SplitAtZero(std::string_view bytes)
{
    std::vector<std::string> parts{""};
    for (const char byte : bytes) {
        if (byte == '\0')
            parts.emplace_back();
        else
            parts.back().push_back(byte);
    }
    return parts;
}

/// What a job about to run must have; empty when the options have it.
std::string RunJobFault(const CliOptions& options)
{
    if (IsBlank(options.outputSettings.outputPath))
        return "output path " + Hex(options.outputSettings.outputPath);
    if (options.inputPaths.empty())
        return "no input";
    if (!options.outputSettings.mergeOutput && options.outputSettings.maxLinesPerVolume < 1)
        return "volumes of " + std::to_string(options.outputSettings.maxLinesPerVolume) + " lines";
    if (options.jobSettings.useTestAddresses && options.jobSettings.testInterval < 1)
        return "test interval " + std::to_string(options.jobSettings.testInterval);
    if (options.jobSettings.deleteSuffixes && options.jobSettings.keepOnlySuffixes)
        return "both suffix rules";
    return {};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::string> parts =
        SplitAtZero(std::string_view(reinterpret_cast<const char*>(data), size));
    std::vector<std::u16string> arguments;
    for (const std::string& part : parts) {
        // The exclusion file is opened and read; a device such as a terminal could block.
        if (part.find("dev/") != std::string::npos)
            return 0;
        arguments.push_back(CodePage::Utf8().Decode(part));
    }

    const CliOptions options = ParseCommandLine(arguments);
    switch (options.action) {
    case CliAction::RunJob: {
        const std::string fault = RunJobFault(options);
        if (!fault.empty())
            Mismatch("a job that can run", "output, inputs and valid numbers", fault);
        for (const std::u16string& path : options.inputPaths) {
            // "-" stands for the standard input.
            const std::u16string& named = path == os::StandardInputPath() ? u"-" : path;
            if (std::find(arguments.begin(), arguments.end(), named) == arguments.end())
                Mismatch("input path among the arguments", "one of them", Hex(path));
        }
        break;
    }
    case CliAction::UsageError:
        if (options.error.empty())
            Mismatch("usage error", "a text", "none");
        break;
    case CliAction::ShowHelp:
    case CliAction::ShowVersion:
        break;
    }
    return 0;
}
