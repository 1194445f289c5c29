// The Windows view's handlers: the file list, the start button, the browse buttons and the
// engine's reports, each through the shared dialog logic.
#include "ui/win32/main_dialog.h"

#include "ui/dialog/control_ids.h"
#include "ui/dialog/file_list.h"
#include "ui/dialog/report_relay.h"
#include "ui/dialog/start_checks.h"
#include "ui/win32/message_box.h"
#include "ui/win32/report_view.h"
#include "ui/win32/wide_text.h"

#include <commctrl.h>

namespace trelvane {
namespace {

// The dialog's controls as the shared start logic reads and switches them.
class DialogControls final : public IDialogControls
{
public:
    explicit DialogControls(const CQuillanDlg& dialog) : m_dialog(dialog) {}

    bool IsChecked(int id) const override
    {
        return SendMessageW(m_dialog.Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    std::u16string Text(int id) const override { return WindowText(m_dialog.Item(id)); }
    void Enable(int id, bool enable) override { EnableWindow(m_dialog.Item(id), enable); }

private:
    const CQuillanDlg& m_dialog;
};

// The rows of the list view, one column each.
class ListViewRows final : public IFileRows
{
public:
    explicit ListViewRows(HWND list) : m_list(list) {}

    void AppendRow(const std::u16string& text) override
    {
        std::u16string copy = text;
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0));
        item.pszText = reinterpret_cast<wchar_t*>(copy.data());
        SendMessageW(m_list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    int FirstSelectedRow() const override
    {
        return static_cast<int>(
            SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
    std::u16string RowText(int row) const override
    {
        std::u16string text(MAX_PATH, u'\0');
        LVITEMW item = {};
        item.pszText = reinterpret_cast<wchar_t*>(text.data());
        item.cchTextMax = static_cast<int>(text.size());
        const auto length = SendMessageW(m_list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                                         reinterpret_cast<LPARAM>(&item));
        text.resize(static_cast<std::size_t>(length));
        return text;
    }
    void DeleteRow(int row) override
    {
        SendMessageW(m_list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
    }

private:
    HWND m_list;
};

// The dialog's status bar, progress bar and boxes as the shared report logic drives them.
class DialogReportView final : public IReportView
{
public:
    DialogReportView(CQuillanDlg& dialog, HWND window) : m_dialog(dialog), m_window(window) {}

    void SetStatusText(const std::u16string& text) override { m_dialog.SetStatusText(text); }
    void ShowProgress(ProgressValue value) override
    {
        HWND bar = m_dialog.Item(IDC_PROGRESS);
        SendMessageW(bar, PBM_SETRANGE32, 0, value.range);
        SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(value.position), 0);
    }
    void EnableControls(bool enable) override { m_dialog.EnableControls(enable); }
    // Posted, not sent: the worker then waits where closing the dialog can release it.
    void WakeDialogThread() override { PostMessageW(m_window, serveReportsMessage, 0, 0); }
    void ShowWorkerMessage(const std::u16string& text) override { ShowMessage(text); }
    void ReleaseWaitingWorkers() override { trelvane::ReleaseWaitingWorkers(); }

private:
    CQuillanDlg& m_dialog;
    HWND m_window;
};

} // namespace

std::unique_ptr<IReportView> MakeReportView(CQuillanDlg& dialog, HWND window)
{
    return std::make_unique<DialogReportView>(dialog, window);
}

void CQuillanDlg::OnAddFiles()
{
    ListViewRows rows(m_fileList);
    AddInputFiles(rows, AddressJob.inputPaths, m_fileDialogs->OpenFiles(m_hWnd));
}

void CQuillanDlg::OnRemoveSelected()
{
    ListViewRows rows(m_fileList);
    RemoveSelectedFiles(rows, AddressJob.inputPaths);
}

void CQuillanDlg::OnStart()
{
    DialogControls controls(*this);
    const std::optional<Refusal> refusal =
        StartFromControls(controls, AddressJob.inputPaths.size(), m_jobSettings, m_outputSettings);
    if (!refusal)
        return;
    ShowMessage(refusal->text);
    SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(refusal->focusId)), TRUE);
}

void CQuillanDlg::EnableControls(bool enable)
{
    DialogControls controls(*this);
    trelvane::EnableControls(controls, enable);
}

void CQuillanDlg::OnBrowseExclusion()
{
    const std::u16string path = m_fileDialogs->OpenFile(m_hWnd);
    if (!path.empty())
        SetWindowTextW(Item(IDC_EXCLUSION_PATH), Wide(path));
}

void CQuillanDlg::OnBrowseOutput()
{
    const std::u16string path = m_fileDialogs->SaveFile(m_hWnd);
    if (!path.empty())
        SetWindowTextW(Item(IDC_OUTPUT_PATH), Wide(path));
}

void CQuillanDlg::OnLineProcessed(const std::u16string& filePath, int totalLines, int lineNumber)
{
    m_reports->OnLineProcessed(filePath, totalLines, lineNumber);
}

void CQuillanDlg::OnProcessingFinished()
{
    m_reports->OnProcessingFinished(m_outputSettings);
}

void CQuillanDlg::OnOutputProgress(int total, int current)
{
    m_reports->OnOutputProgress(total, current);
}

void CQuillanDlg::OnOutputFinished(int filteredCount, int writtenCount)
{
    m_reports->OnOutputFinished(filteredCount, writtenCount);
}

} // namespace trelvane
