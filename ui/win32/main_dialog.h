// The main dialog of the Windows view: the dialog template on the system's own controls, its
// handlers, and the receiver of the engine's reports.
#pragma once

#include "engine/address_job.h"
#include "ui/win32/file_dialogs.h"

#include <windows.h>

#include <memory>
#include <string>

namespace trelvane {

class IReportView;
class ReportRelay;

/// The one window of the program on Windows. While it exists it is AddressJob.report.
class CQuillanDlg final : public IProcessReport
{
public:
    /// Loads the icon and stores the dialog in AddressJob.report; fileDialogs answers the add
    /// and browse buttons, nullptr meaning the system's common dialogs.
    explicit CQuillanDlg(std::unique_ptr<IFileDialogs> fileDialogs = nullptr);
    ~CQuillanDlg();
    CQuillanDlg(const CQuillanDlg&) = delete;
    CQuillanDlg& operator=(const CQuillanDlg&) = delete;

    /// Runs the dialog modally on the calling thread until it is closed (Esc, the close box,
    /// Alt+F4); a running job is stopped first and its unfinished output removed.
    INT_PTR DoModal();

    void OnLineProcessed(const std::u16string& filePath, int totalLines, int lineNumber) override;
    void OnProcessingFinished() override;
    void OnOutputProgress(int total, int current) override;
    void OnOutputFinished(int filteredCount, int writtenCount) override;

    /// Shows text in the middle part of the status bar unless it already shows it.
    void SetStatusText(const std::u16string& text);
    /// Enables or disables the 21 input controls; runs on the dialog's thread.
    void EnableControls(bool enable);
    /// The control with a template id.
    HWND Item(int id) const { return GetDlgItem(m_hWnd, id); }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    BOOL OnInitDialog();
    void CreateStatusBar();
    void CentreOnScreen();
    void OnCommand(int id);
    bool OnPaint();
    void OnClose();

    void OnAddFiles();
    void OnRemoveSelected();
    void OnStart();
    void OnBrowseExclusion();
    void OnBrowseOutput();

    JobSettings m_jobSettings;
    OutputSettings m_outputSettings;
    HWND m_statusBar = nullptr;
    HICON m_hIcon = nullptr;
    HWND m_fileList = nullptr;
    HWND m_progress = nullptr;
    HWND m_hWnd = nullptr;
    std::unique_ptr<IFileDialogs> m_fileDialogs;
    std::unique_ptr<IReportView> m_reportView;
    std::unique_ptr<ReportRelay> m_reports;
};

} // namespace trelvane
