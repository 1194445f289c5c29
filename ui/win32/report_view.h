// The Windows view's side of the shared report relay.
#pragma once

#include <windows.h>

#include <memory>

namespace trelvane {

class CQuillanDlg;
class IReportView;

/// The message that makes the dialog serve the reports now; posted by a worker that waits.
inline constexpr UINT serveReportsMessage = WM_APP + 1;

/// The report view of dialog, whose window is window.
std::unique_ptr<IReportView> MakeReportView(CQuillanDlg& dialog, HWND window);

} // namespace trelvane
