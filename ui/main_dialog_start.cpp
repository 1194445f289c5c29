// Starting a job from the main dialog, and its browse buttons.
#include "ui/main_dialog.h"

#include "engine/job_runner.h"
#include "engine/os/file.h"
#include "engine/settings_text.h"
#include "ui/file_dialogs.h"
#include "ui/message_box.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLineEdit>
#include <QThread>

#include <array>
#include <optional>

namespace trelvane {
namespace {

// The controls that a running job locks, in the order they are switched.
constexpr std::array inputControls = {IDC_SORT_ASC,         IDC_SORT_DESC,       IDC_SUFFIX_NONE,
                                      IDC_SUFFIX_DELETE,    IDC_DELETE_SUFFIXES, IDC_SUFFIX_KEEP,
                                      IDC_KEEP_SUFFIXES,    IDC_USE_TEST,        IDC_TEST_INTERVAL,
                                      IDC_TEST_ADDRESS,     IDC_USE_EXCLUSION,   IDC_EXCLUSION_PATH,
                                      IDC_BROWSE_EXCLUSION, IDC_MERGE_OUTPUT,    IDC_SPLIT_OUTPUT,
                                      IDC_MAX_LINES,        IDC_OUTPUT_PATH,     IDC_BROWSE_OUTPUT,
                                      IDC_ADD_FILES,        IDC_REMOVE_SELECTED, IDOK};

// Why a start is refused: the message and the control that gets the focus.
struct Refusal
{
    const char* text;
    int focusId;
};

bool IsChecked(const CQuillanDlg& dialog, int id)
{
    return dialog.Button(id)->isChecked();
}

std::u16string TextIn(const CQuillanDlg& dialog, int id)
{
    return dialog.Edit(id)->text().toStdU16String();
}

std::int32_t NumberIn(const CQuillanDlg& dialog, int id)
{
    return ReadSignedInt(TextIn(dialog, id));
}

std::vector<std::u16string> SuffixListIn(const CQuillanDlg& dialog, int id)
{
    return SplitList(LowerAscii(TextIn(dialog, id)), u'|');
}

// Volumes are written when the merge button is not selected but the volume button is.
bool WritesVolumes(const CQuillanDlg& dialog)
{
    return !IsChecked(dialog, IDC_MERGE_OUTPUT) && IsChecked(dialog, IDC_SPLIT_OUTPUT);
}

// Whether the file opens for reading and yields its first byte; a folder opens but cannot be
// read.
bool CanRead(const std::u16string& path)
{
    os::InputFile file(path);
    char byte = 0;
    return file.IsOpen() && file.Read(&byte, 1) >= 0;
}

std::optional<Refusal> ExclusionRefusal(const CQuillanDlg& dialog)
{
    if (!IsChecked(dialog, IDC_USE_EXCLUSION))
        return std::nullopt;
    const std::u16string path = TextIn(dialog, IDC_EXCLUSION_PATH);
    if (IsBlank(path))
        return Refusal{QT_TRANSLATE_NOOP("CQuillanDlg", "排除文件不能为空！"), IDC_EXCLUSION_PATH};
    if (!CanRead(path))
        return Refusal{QT_TRANSLATE_NOOP("CQuillanDlg", "打开排除文件失败！"), IDC_EXCLUSION_PATH};
    return std::nullopt;
}

// The first reason not to start, checked before anything is changed. Besides an input file
// and an output path, a job needs intervals of at least one line, since the writer counts in
// them, and a readable exclusion file, which is what keeps excluded addresses out.
std::optional<Refusal> StartRefusal(const CQuillanDlg& dialog)
{
    if (AddressJob.inputPaths.empty())
        return Refusal{QT_TRANSLATE_NOOP("CQuillanDlg", "请先添加待处理文件！"), IDC_ADD_FILES};
    if (IsBlank(TextIn(dialog, IDC_OUTPUT_PATH)))
        return Refusal{QT_TRANSLATE_NOOP("CQuillanDlg", "输出文件不能为空！"), IDC_OUTPUT_PATH};
    if (IsChecked(dialog, IDC_USE_TEST) && NumberIn(dialog, IDC_TEST_INTERVAL) < 1)
        return Refusal{QT_TRANSLATE_NOOP("CQuillanDlg", "间隔行数必须大于0！"), IDC_TEST_INTERVAL};
    if (WritesVolumes(dialog) && NumberIn(dialog, IDC_MAX_LINES) < 1)
        return Refusal{QT_TRANSLATE_NOOP("CQuillanDlg", "每卷最大行数必须大于0！"), IDC_MAX_LINES};
    return ExclusionRefusal(dialog);
}

// A field whose option is off is left as the last start wrote it.
void FillJobSettings(const CQuillanDlg& dialog, JobSettings& settings)
{
    if (IsChecked(dialog, IDC_SORT_ASC))
        settings.sortOrder = sortAscending;
    else if (IsChecked(dialog, IDC_SORT_DESC))
        settings.sortOrder = sortDescending;
    settings.useTestAddresses = IsChecked(dialog, IDC_USE_TEST);
    if (settings.useTestAddresses) {
        settings.testInterval = NumberIn(dialog, IDC_TEST_INTERVAL);
        settings.testAddresses = SplitList(TextIn(dialog, IDC_TEST_ADDRESS), u',');
    }
    settings.useExclusionFile = IsChecked(dialog, IDC_USE_EXCLUSION);
    if (settings.useExclusionFile)
        settings.exclusionPath = TextIn(dialog, IDC_EXCLUSION_PATH);
    settings.deleteSuffixes = IsChecked(dialog, IDC_SUFFIX_DELETE);
    if (settings.deleteSuffixes)
        settings.deleteSuffixList = SuffixListIn(dialog, IDC_DELETE_SUFFIXES);
    settings.keepOnlySuffixes = IsChecked(dialog, IDC_SUFFIX_KEEP);
    if (settings.keepOnlySuffixes)
        settings.keepSuffixList = SuffixListIn(dialog, IDC_KEEP_SUFFIXES);
}

void FillOutputSettings(const CQuillanDlg& dialog, OutputSettings& settings)
{
    if (IsChecked(dialog, IDC_MERGE_OUTPUT)) {
        settings.mergeOutput = true;
    } else if (IsChecked(dialog, IDC_SPLIT_OUTPUT)) {
        settings.mergeOutput = false;
        settings.maxLinesPerVolume = NumberIn(dialog, IDC_MAX_LINES);
    }
    settings.outputPath = TextIn(dialog, IDC_OUTPUT_PATH);
}

} // namespace

void CQuillanDlg::OnStart()
{
    if (const std::optional<Refusal> refusal = StartRefusal(*this)) {
        ShowMessage(QCoreApplication::translate("CQuillanDlg", refusal->text));
        Control(refusal->focusId)->setFocus();
        return;
    }
    EnableControls(false);
    CollectSettings();
    StartJob(m_jobSettings);
}

void CQuillanDlg::CollectSettings()
{
    FillJobSettings(*this, m_jobSettings);
    FillOutputSettings(*this, m_outputSettings);
}

// Widgets belong to the dialog's thread; a call from a worker is carried over to it.
void CQuillanDlg::EnableControls(bool enable)
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, enable] { EnableControls(enable); }, Qt::QueuedConnection);
        return;
    }
    for (int id : inputControls)
        Control(id)->setEnabled(enable);
}

void CQuillanDlg::OnBrowseExclusion()
{
    const QString path = m_fileDialogs->OpenFile(this);
    if (!path.isEmpty())
        Edit(IDC_EXCLUSION_PATH)->setText(path);
}

void CQuillanDlg::OnBrowseOutput()
{
    const QString path = m_fileDialogs->SaveFile(this);
    if (!path.isEmpty())
        Edit(IDC_OUTPUT_PATH)->setText(path);
}

} // namespace trelvane
