// The main dialog's display of the engine's progress and completion reports.
#include "ui/main_dialog.h"

#include "ui/report_state.h"

namespace trelvane {

void CQuillanDlg::InitReporting() {}

void CQuillanDlg::StopJobForClose() {}

void CQuillanDlg::SetStatusText(const QString&) {}

void CQuillanDlg::OnLineProcessed(const std::u16string&, int, int) {}

void CQuillanDlg::OnProcessingFinished() {}

void CQuillanDlg::OnOutputProgress(int, int) {}

void CQuillanDlg::OnOutputFinished(int, int) {}

} // namespace trelvane
