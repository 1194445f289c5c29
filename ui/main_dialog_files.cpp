// The input file list of the main dialog: adding and removing files.
#include "ui/main_dialog.h"

namespace trelvane {

void CQuillanDlg::OnAddFiles() {}

void CQuillanDlg::OnRemoveSelected() {}

bool CQuillanDlg::RemoveInputPath(const std::u16string&)
{
    return false;
}

std::u16string CQuillanDlg::FileNameOf(std::u16string_view)
{
    return {};
}

} // namespace trelvane
