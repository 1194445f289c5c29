// Starting a job from the main dialog, and its browse buttons.
#include "ui/main_dialog.h"

namespace trelvane {

void CQuillanDlg::OnStart() {}

void CQuillanDlg::CollectSettings() {}

void CQuillanDlg::EnableControls(bool) {}

void CQuillanDlg::OnBrowseExclusion() {}

void CQuillanDlg::OnBrowseOutput() {}

} // namespace trelvane
