// The dialog program's entry point on Windows: the common controls, then the modal dialog.
#include "engine/code_page.h"
#include "engine/notice.h"
#include "ui/win32/main_dialog.h"
#include "ui/win32/message_box.h"

#include <windows.h>

#include <commctrl.h>

// Arguments are ignored and nothing is stored; the process ends when the dialog closes.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    using namespace trelvane;
    SystemCodePage();
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    InstallNoticeHandler();
    if (const std::u16string& notice = SystemCodePageNotice(); !notice.empty())
        ShowNotice(notice);
    CQuillanDlg dialog;
    dialog.DoModal();
    return 0;
}
