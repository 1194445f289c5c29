// The start button's checks and the settings read from the controls.
#include "ui/dialog/start_checks.h"

#include "engine/job_runner.h"
#include "engine/os/file.h"
#include "engine/settings_text.h"

namespace trelvane {
namespace {

std::int32_t NumberIn(const IDialogControls& controls, int id)
{
    return ReadSignedInt(controls.Text(id));
}

std::vector<std::u16string> SuffixListIn(const IDialogControls& controls, int id)
{
    return SplitList(LowerAscii(controls.Text(id)), u'|');
}

// Volumes are written when the merge button is not selected but the volume button is.
bool WritesVolumes(const IDialogControls& controls)
{
    return !controls.IsChecked(IDC_MERGE_OUTPUT) && controls.IsChecked(IDC_SPLIT_OUTPUT);
}

// Whether the file opens for reading and yields its first byte; a folder opens but cannot be
// read.
bool CanRead(const std::u16string& path)
{
    os::InputFile file(path);
    char byte = 0;
    return file.IsOpen() && file.Read(&byte, 1) >= 0;
}

std::optional<Refusal> ExclusionRefusal(const IDialogControls& controls)
{
    if (!controls.IsChecked(IDC_USE_EXCLUSION))
        return std::nullopt;
    const std::u16string path = controls.Text(IDC_EXCLUSION_PATH);
    if (IsBlank(path))
        return Refusal{u"排除文件不能为空！", IDC_EXCLUSION_PATH};
    if (!CanRead(path))
        return Refusal{u"打开排除文件失败！", IDC_EXCLUSION_PATH};
    return std::nullopt;
}

void FillJobSettings(const IDialogControls& controls, JobSettings& settings)
{
    if (controls.IsChecked(IDC_SORT_ASC))
        settings.sortOrder = sortAscending;
    else if (controls.IsChecked(IDC_SORT_DESC))
        settings.sortOrder = sortDescending;
    settings.useTestAddresses = controls.IsChecked(IDC_USE_TEST);
    if (settings.useTestAddresses) {
        settings.testInterval = NumberIn(controls, IDC_TEST_INTERVAL);
        settings.testAddresses = SplitList(controls.Text(IDC_TEST_ADDRESS), u',');
    }
    settings.useExclusionFile = controls.IsChecked(IDC_USE_EXCLUSION);
    if (settings.useExclusionFile)
        settings.exclusionPath = controls.Text(IDC_EXCLUSION_PATH);
    settings.deleteSuffixes = controls.IsChecked(IDC_SUFFIX_DELETE);
    if (settings.deleteSuffixes)
        settings.deleteSuffixList = SuffixListIn(controls, IDC_DELETE_SUFFIXES);
    settings.keepOnlySuffixes = controls.IsChecked(IDC_SUFFIX_KEEP);
    if (settings.keepOnlySuffixes)
        settings.keepSuffixList = SuffixListIn(controls, IDC_KEEP_SUFFIXES);
}

void FillOutputSettings(const IDialogControls& controls, OutputSettings& settings)
{
    if (controls.IsChecked(IDC_MERGE_OUTPUT)) {
        settings.mergeOutput = true;
    } else if (controls.IsChecked(IDC_SPLIT_OUTPUT)) {
        settings.mergeOutput = false;
        settings.maxLinesPerVolume = NumberIn(controls, IDC_MAX_LINES);
    }
    settings.outputPath = controls.Text(IDC_OUTPUT_PATH);
}

} // namespace

// Besides an input file and an output path, a job needs intervals of at least one line, since
// the writer counts in them, and a readable exclusion file, which is what keeps excluded
// addresses out.
std::optional<Refusal> StartRefusal(const IDialogControls& controls, std::size_t inputCount)
{
    if (inputCount == 0)
        return Refusal{u"请先添加待处理文件！", IDC_ADD_FILES};
    if (IsBlank(controls.Text(IDC_OUTPUT_PATH)))
        return Refusal{u"输出文件不能为空！", IDC_OUTPUT_PATH};
    if (controls.IsChecked(IDC_USE_TEST) && NumberIn(controls, IDC_TEST_INTERVAL) < 1)
        return Refusal{u"间隔行数必须大于0！", IDC_TEST_INTERVAL};
    if (WritesVolumes(controls) && NumberIn(controls, IDC_MAX_LINES) < 1)
        return Refusal{u"每卷最大行数必须大于0！", IDC_MAX_LINES};
    return ExclusionRefusal(controls);
}

void CollectSettings(const IDialogControls& controls, JobSettings& jobSettings,
                     OutputSettings& outputSettings)
{
    FillJobSettings(controls, jobSettings);
    FillOutputSettings(controls, outputSettings);
}

void EnableControls(IDialogControls& controls, bool enable)
{
    for (int id : inputControls)
        controls.Enable(id, enable);
}

std::optional<Refusal> StartFromControls(IDialogControls& controls, std::size_t inputCount,
                                         JobSettings& jobSettings, OutputSettings& outputSettings)
{
    if (std::optional<Refusal> refusal = StartRefusal(controls, inputCount))
        return refusal;
    EnableControls(controls, false);
    CollectSettings(controls, jobSettings, outputSettings);
    StartJob(jobSettings);
    return std::nullopt;
}

} // namespace trelvane
