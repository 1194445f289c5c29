// The Windows view's main dialog: start state, messages, painting while minimised, closing.
#include "ui/win32/main_dialog.h"

#include "engine/notice.h"
#include "ui/dialog/control_ids.h"
#include "ui/dialog/dialog_texts.h"
#include "ui/dialog/report_relay.h"
#include "ui/win32/dialog_template_win32.h"
#include "ui/win32/message_box.h"
#include "ui/win32/report_view.h"
#include "ui/win32/wide_text.h"

#include <commctrl.h>

#include <algorithm>

namespace trelvane {

namespace {

constexpr int iconResource = 128;
constexpr UINT_PTR reportTimer = 1;
constexpr UINT reportIntervalMs = 33; // about the screen's rate
constexpr int fileColumnWidth = 210;
constexpr DWORD statusBarStyle = 0x50001000;
constexpr int statusPartEdges[] = {50, 700, -1};

} // namespace

CQuillanDlg::CQuillanDlg(std::unique_ptr<IFileDialogs> fileDialogs)
    : m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconResource))),
      m_fileDialogs(fileDialogs ? std::move(fileDialogs) : std::make_unique<CommonFileDialogs>())
{
}

CQuillanDlg::~CQuillanDlg()
{
    if (m_reports)
        m_reports->StopJobForClose();
    if (AddressJob.report == this) {
        AddressJob.report = nullptr;
        SetJobAbortHandler(nullptr);
    }
}

INT_PTR CQuillanDlg::DoModal()
{
    const std::vector<WORD> dialogTemplate = MainDialogTemplateWin32();
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                                   reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()),
                                   nullptr, &DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CQuillanDlg::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CQuillanDlg*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        dialog->m_hWnd = window;
        return dialog->OnInitDialog();
    }
    auto* dialog = reinterpret_cast<CQuillanDlg*>(GetWindowLongPtrW(window, DWLP_USER));
    return dialog ? dialog->HandleMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CQuillanDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED)
            return FALSE;
        OnCommand(LOWORD(wParam));
        return TRUE;
    case WM_TIMER:
    case serveReportsMessage:
        m_reports->Serve();
        return TRUE;
    case WM_PAINT:
        return OnPaint();
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(m_hIcon);
    default:
        return FALSE;
    }
}

BOOL CQuillanDlg::OnInitDialog()
{
    m_fileList = Item(IDC_FILE_LIST);
    m_progress = Item(IDC_PROGRESS);
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    ListView_SetExtendedListViewStyle(m_fileList, ListView_GetExtendedListViewStyle(m_fileList) |
                                                      LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    std::u16string heading(fileColumnHeading);
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = fileColumnWidth;
    column.pszText = reinterpret_cast<wchar_t*>(heading.data());
    SendMessageW(m_fileList, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));

    m_reportView = MakeReportView(*this, m_hWnd);
    m_reports = std::make_unique<ReportRelay>(*m_reportView);
    SetDialogWindow(m_hWnd);
    AllowWorkerMessages();
    AddressJob.report = this;
    SetJobAbortHandler([this] { m_reports->OnJobAborted(); });

    for (int id : {IDC_SORT_ASC, IDC_SUFFIX_NONE, IDC_MERGE_OUTPUT, IDC_DEDUP})
        SendMessageW(Item(id), BM_SETCHECK, BST_CHECKED, 0);
    CreateStatusBar();
    CentreOnScreen();
    SetTimer(m_hWnd, reportTimer, reportIntervalMs, nullptr);
    return TRUE;
}

// The template places the dialog at (0, 0); it opens in the middle of the work area instead.
void CQuillanDlg::CentreOnScreen()
{
    RECT window;
    RECT work;
    GetWindowRect(m_hWnd, &window);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + (work.right - work.left - (window.right - window.left)) / 2;
    const int y = work.top + (work.bottom - work.top - (window.bottom - window.top)) / 2;
    SetWindowPos(m_hWnd, nullptr, std::max(x, 0), std::max(y, 0), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CQuillanDlg::CreateStatusBar()
{
    m_statusBar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", statusBarStyle, 0, 0, 0, 0, m_hWnd,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(m_statusBar, SB_SETPARTS, std::size(statusPartEdges),
                 reinterpret_cast<LPARAM>(statusPartEdges));
    const std::u16string texts[] = {std::u16string(statusLabelText),
                                    std::u16string(initialStatusText), u""};
    for (WPARAM part = 0; part < std::size(texts); ++part)
        SendMessageW(m_statusBar, SB_SETTEXTW, part, reinterpret_cast<LPARAM>(Wide(texts[part])));
}

void CQuillanDlg::OnCommand(int id)
{
    switch (id) {
    case IDOK:
        OnStart();
        return;
    case IDCANCEL:
        OnClose();
        return;
    case IDC_ADD_FILES:
        OnAddFiles();
        return;
    case IDC_REMOVE_SELECTED:
        OnRemoveSelected();
        return;
    case IDC_BROWSE_EXCLUSION:
        OnBrowseExclusion();
        return;
    case IDC_BROWSE_OUTPUT:
        OnBrowseOutput();
        return;
    default:
        return;
    }
}

// Minimised, the dialog shows its icon centred; otherwise the default painting.
bool CQuillanDlg::OnPaint()
{
    if (!IsIconic(m_hWnd))
        return false;
    PAINTSTRUCT paint;
    HDC context = BeginPaint(m_hWnd, &paint);
    SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(context), 0);
    RECT client;
    GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(context, x, y, m_hIcon);
    EndPaint(m_hWnd, &paint);
    return true;
}

// A running job is stopped and its workers joined before the window goes, so that no worker
// touches it afterwards; the job removes its unfinished output.
void CQuillanDlg::OnClose()
{
    m_reports->StopJobForClose();
    KillTimer(m_hWnd, reportTimer);
    SetDialogWindow(nullptr);
    EndDialog(m_hWnd, IDCANCEL);
}

void CQuillanDlg::SetStatusText(const std::u16string& text)
{
    constexpr WPARAM statusPart = 1;
    const auto length = LOWORD(SendMessageW(m_statusBar, SB_GETTEXTLENGTHW, statusPart, 0));
    std::u16string shown(length + 1u, u'\0');
    SendMessageW(m_statusBar, SB_GETTEXTW, statusPart, reinterpret_cast<LPARAM>(shown.data()));
    shown.resize(length);
    if (shown != text)
        SendMessageW(m_statusBar, SB_SETTEXTW, statusPart, reinterpret_cast<LPARAM>(Wide(text)));
}

} // namespace trelvane
