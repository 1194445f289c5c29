// Command-line parsing in two steps: the options as typed, then the checked job settings.
#include "cli/cli_options.h"

#include "cli/joined.h"
#include "engine/address_digest.h"
#include "engine/code_page.h"
#include "engine/os/file.h"
#include "engine/settings_text.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>
#include <string_view>

namespace trelvane {
namespace {

constexpr char16_t testAddressDelimiter = u',';
constexpr char16_t suffixDelimiter = u'|';

// The options as typed, before any of their values is checked.
struct RawArguments
{
    bool help = false;
    bool version = false;
    bool quiet = false;
    bool descending = false;
    bool caseVariants = false;
    std::optional<std::u16string> output;
    std::optional<std::u16string> deleteSuffixes;
    std::optional<std::u16string> keepSuffixes;
    std::optional<std::u16string> exclude;
    std::optional<std::u16string> excludeHashed;
    std::optional<std::u16string> report;
    std::optional<std::u16string> testAddresses;
    std::optional<std::u16string> testInterval;
    std::optional<std::u16string> split;
    std::optional<std::u16string> memoryLimit;
    std::vector<std::u16string> inputs;
};

struct FlagOption
{
    std::u16string_view longName;
    std::u16string_view shortName;
    bool RawArguments::*field;
};

struct ValueOption
{
    std::u16string_view longName;
    std::u16string_view shortName;
    std::optional<std::u16string> RawArguments::*field;
};

constexpr std::array flagOptions = {
    FlagOption{u"--help", u"-h", &RawArguments::help},
    FlagOption{u"--version", u"", &RawArguments::version},
    FlagOption{u"--quiet", u"-q", &RawArguments::quiet},
    FlagOption{u"--descending", u"", &RawArguments::descending},
    FlagOption{u"--case-variants", u"", &RawArguments::caseVariants},
};

constexpr std::array valueOptions = {
    ValueOption{u"--output", u"-o", &RawArguments::output},
    ValueOption{u"--delete-suffixes", u"", &RawArguments::deleteSuffixes},
    ValueOption{u"--keep-suffixes", u"", &RawArguments::keepSuffixes},
    ValueOption{u"--exclude", u"", &RawArguments::exclude},
    ValueOption{u"--exclude-hashed", u"", &RawArguments::excludeHashed},
    ValueOption{u"--report", u"", &RawArguments::report},
    ValueOption{u"--test-addresses", u"", &RawArguments::testAddresses},
    ValueOption{u"--test-interval", u"", &RawArguments::testInterval},
    ValueOption{u"--split", u"", &RawArguments::split},
    ValueOption{u"--memory-limit", u"", &RawArguments::memoryLimit},
};

template <typename Option, std::size_t count>
const Option* FindOption(const std::array<Option, count>& options, std::u16string_view name)
{
    const auto* found = std::find_if(options.begin(), options.end(), [name](const Option& option) {
        return name == option.longName || (!option.shortName.empty() && name == option.shortName);
    });
    return found == options.end() ? nullptr : found;
}

bool IsOption(std::u16string_view argument)
{
    return argument.size() > 1 && argument.front() == u'-';
}

std::u16string Quoted(std::u16string_view text)
{
    return Joined({u"“", text, u"”"});
}

// Reads the option at arguments[index], and its value if it takes one (index then moves on to
// the value); returns the error, empty when there is none.
std::u16string ReadOption(const std::vector<std::u16string>& arguments, std::size_t& index,
                          RawArguments& raw)
{
    const std::u16string_view argument = arguments[index];
    constexpr std::size_t none = std::u16string_view::npos;
    const std::size_t equals = argument.starts_with(u"--") ? argument.find(u'=') : none;
    const std::u16string_view name = argument.substr(0, equals);
    if (const FlagOption* flag = FindOption(flagOptions, name)) {
        if (equals != none)
            return Joined({name, u" 不接受值"});
        raw.*(flag->field) = true;
        return {};
    }
    const ValueOption* option = FindOption(valueOptions, name);
    if (option == nullptr)
        return Joined({u"未知选项", Quoted(argument)});
    if (equals != none) {
        raw.*(option->field) = std::u16string(argument.substr(equals + 1));
        return {};
    }
    if (index + 1 >= arguments.size())
        return Joined({name, u" 需要一个值"});
    raw.*(option->field) = arguments[++index];
    return {};
}

// Reads every argument into raw; returns the first error, empty when there is none. Reading
// stops at --help or --version, which need nothing else.
std::u16string ReadRawArguments(const std::vector<std::u16string>& arguments, RawArguments& raw)
{
    bool optionsEnded = false;
    for (std::size_t index = 0; index < arguments.size() && !raw.help && !raw.version; ++index) {
        const std::u16string& argument = arguments[index];
        if (optionsEnded || !IsOption(argument)) {
            raw.inputs.push_back(argument);
            continue;
        }
        if (argument == u"--") {
            optionsEnded = true;
            continue;
        }
        std::u16string error = ReadOption(arguments, index, raw);
        if (!error.empty())
            return error;
    }
    return {};
}

bool IsDigits(std::u16string_view text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

// Reads the value of a count option into count; returns the error, empty when the value is a
// whole number of at least 1 that fits 32 bits.
std::u16string ReadCount(std::u16string_view name, const std::u16string& text, std::int32_t& count)
{
    // ReadSignedInt gives 0 for a text that is no number and for one beyond 32 bits.
    count = IsDigits(text) ? ReadSignedInt(text) : 0;
    if (count >= 1)
        return {};
    return Joined({name, u" 需要至少为 1 的整数，而不是", Quoted(text)});
}

// Reads a size such as 4096, 64K, 512M or 2G (units of 1024) into bytes; returns the error,
// empty when the value is at least 1 byte and fits 64 bits.
std::u16string ReadSize(std::u16string_view name, const std::u16string& text, std::uint64_t& bytes)
{
    std::u16string_view digits = text;
    unsigned shift = 0;
    if (!digits.empty()) {
        const std::u16string_view units = u"KMGT";
        const std::size_t unit = units.find(static_cast<char16_t>(digits.back() & ~0x20));
        if (unit != std::u16string_view::npos) {
            shift = 10 * static_cast<unsigned>(unit + 1);
            digits.remove_suffix(1);
        }
    }
    bytes = 0;
    bool fits = IsDigits(digits) && digits.size() <= 19;
    for (const char16_t digit : fits ? digits : std::u16string_view())
        bytes = 10 * bytes + static_cast<std::uint64_t>(digit - u'0');
    fits = fits && bytes >= 1 && bytes <= (~std::uint64_t{0} >> shift);
    if (fits) {
        bytes <<= shift;
        return {};
    }
    return Joined({name, u" 需要大小（字节数，可带 K、M、G 或 T），而不是", Quoted(text)});
}

// The path that a file argument names: "-" is the standard input.
std::u16string FilePath(const std::u16string& argument)
{
    return argument == u"-" ? os::StandardInputPath() : argument;
}

// Whether the exclusion file of option can be opened and read; the error text names the
// option if not. A pipe or FIFO is not opened here: that could take bytes or a writer from the
// job, which reads it once.
std::u16string CheckExclusionFile(std::u16string_view option, const std::u16string& path)
{
    if (os::IsReadOnce(path))
        return {};
    os::InputFile file(path);
    char byte = 0;
    if (file.IsOpen() && file.Read(&byte, 1) >= 0)
        return {};
    const std::u16string reason = FromSystemBytes(os::ErrorText(file.Error()));
    return Joined({option, u"：无法读取", Quoted(path), u"：", reason});
}

std::u16string CheckCombinations(const RawArguments& raw)
{
    if (!raw.output)
        return u"未给出输出文件（-o 路径）";
    if (IsBlank(*raw.output))
        return Joined({u"--output 需要文件名，而不是", Quoted(*raw.output)});
    if (raw.inputs.empty())
        return u"未给出输入文件";
    if (raw.deleteSuffixes && raw.keepSuffixes)
        return u"--delete-suffixes 与 --keep-suffixes 不能同时使用";
    if (raw.testAddresses && !raw.testInterval)
        return u"--test-addresses 需要同时给出 --test-interval";
    if (raw.excludeHashed && !DigestsAvailable())
        return u"--exclude-hashed：此版本不支持散列排除文件";
    if (raw.caseVariants && !raw.report)
        return u"--case-variants 需要同时给出 --report";
    if (raw.report && IsBlank(*raw.report))
        return Joined({u"--report 需要文件名，而不是", Quoted(*raw.report)});
    if (raw.report && *raw.report == *raw.output)
        return u"--report 与 --output 不能是同一文件";
    return {};
}

// Fills the number settings; returns the first error.
std::u16string ReadCounts(const RawArguments& raw, CliOptions& options)
{
    if (raw.testInterval) {
        std::u16string error =
            ReadCount(u"--test-interval", *raw.testInterval, options.jobSettings.testInterval);
        if (!error.empty())
            return error;
    }
    if (raw.split) {
        std::u16string error =
            ReadCount(u"--split", *raw.split, options.outputSettings.maxLinesPerVolume);
        if (!error.empty())
            return error;
    }
    if (raw.memoryLimit)
        return ReadSize(u"--memory-limit", *raw.memoryLimit, options.jobSettings.memoryLimit);
    return {};
}

// Fills the settings as the dialog fills them from its controls.
void FillSettings(const RawArguments& raw, CliOptions& options)
{
    JobSettings& job = options.jobSettings;
    job.sortOrder = raw.descending ? sortDescending : sortAscending;
    job.useTestAddresses = raw.testAddresses.has_value();
    if (job.useTestAddresses)
        job.testAddresses = SplitList(*raw.testAddresses, testAddressDelimiter);
    job.useExclusionFile = raw.exclude.has_value();
    if (job.useExclusionFile)
        job.exclusionPath = FilePath(*raw.exclude);
    job.useHashedExclusion = raw.excludeHashed.has_value();
    if (job.useHashedExclusion)
        job.hashedExclusionPath = FilePath(*raw.excludeHashed);
    job.deleteSuffixes = raw.deleteSuffixes.has_value();
    if (job.deleteSuffixes)
        job.deleteSuffixList = SplitList(LowerAscii(*raw.deleteSuffixes), suffixDelimiter);
    job.keepOnlySuffixes = raw.keepSuffixes.has_value();
    if (job.keepOnlySuffixes)
        job.keepSuffixList = SplitList(LowerAscii(*raw.keepSuffixes), suffixDelimiter);
    options.outputSettings.mergeOutput = !raw.split.has_value();
    options.outputSettings.outputPath = *raw.output;
    std::transform(raw.inputs.begin(), raw.inputs.end(), std::back_inserter(options.inputPaths),
                   FilePath);
    options.quiet = raw.quiet;
    options.reportPath = raw.report.value_or(u"");
    options.caseVariants = raw.caseVariants;
}

CliOptions UsageError(std::u16string error)
{
    CliOptions options;
    options.action = CliAction::UsageError;
    options.error = std::move(error);
    return options;
}

} // namespace

CliOptions ParseCommandLine(const std::vector<std::u16string>& arguments)
{
    RawArguments raw;
    std::u16string error = ReadRawArguments(arguments, raw);
    if (!error.empty())
        return UsageError(std::move(error));
    CliOptions options;
    if (raw.help || raw.version) {
        options.action = raw.help ? CliAction::ShowHelp : CliAction::ShowVersion;
        return options;
    }
    error = CheckCombinations(raw);
    if (error.empty())
        error = ReadCounts(raw, options);
    if (error.empty() && raw.exclude)
        error = CheckExclusionFile(u"--exclude", FilePath(*raw.exclude));
    if (error.empty() && raw.excludeHashed)
        error = CheckExclusionFile(u"--exclude-hashed", FilePath(*raw.excludeHashed));
    if (!error.empty())
        return UsageError(std::move(error));
    FillSettings(raw, options);
    return options;
}

} // namespace trelvane
