// Turning the command line into the settings of one job.
#pragma once

#include "engine/address_job.h"

#include <string>
#include <vector>

namespace trelvane {

/// What a command line asks the tool to do.
enum class CliAction
{
    RunJob,
    ShowHelp,
    ShowVersion,
    UsageError,
};

/// A checked command line: the job's settings and inputs, or what is wrong with it.
struct CliOptions
{
    CliAction action = CliAction::RunJob;
    JobSettings jobSettings;
    OutputSettings outputSettings;
    std::vector<std::u16string> inputPaths;
    bool quiet = false;
    /// Where to write the removal report; empty when none is asked for.
    std::u16string reportPath;
    /// Also tell the addresses that differ only in letter case (needs reportPath).
    bool caseVariants = false;
    /// What is wrong, without the program's name, when action is UsageError.
    std::u16string error;
};

/// Reads the arguments that follow the program's name. Fills the settings as the dialog does
/// from its controls; numbers must be whole numbers of at least 1, and the exclusion file must
/// be readable. --help and --version need nothing else: once one is read, the arguments after
/// it and the checks of the others are skipped.
CliOptions ParseCommandLine(const std::vector<std::u16string>& arguments);

} // namespace trelvane
