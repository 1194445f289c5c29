// The input file list of the main dialog: adding and removing files.
#include "ui/main_dialog.h"

#include "ui/file_dialogs.h"

#include <QTreeWidget>

#include <algorithm>

namespace trelvane {

void CQuillanDlg::OnAddFiles()
{
    AddInputFiles(m_fileDialogs->OpenFiles(this));
}

void CQuillanDlg::AddInputFiles(const QStringList& paths)
{
    for (const QString& path : paths) {
        std::u16string fullPath = path.toStdU16String();
        m_fileList->addTopLevelItem(
            new QTreeWidgetItem(QStringList{QString::fromStdU16String(FileNameOf(fullPath))}));
        AddressJob.inputPaths.push_back(std::move(fullPath));
    }
}

// Each pass deletes the first selected row, whether or not an entry had its name, so the
// loop ends even if the rows and the entries have fallen out of step.
void CQuillanDlg::OnRemoveSelected()
{
    for (int row = 0; row < m_fileList->topLevelItemCount();) {
        QTreeWidgetItem* item = m_fileList->topLevelItem(row);
        if (!item->isSelected()) {
            ++row;
            continue;
        }
        RemoveInputPath(item->text(0).toStdU16String());
        delete item;
    }
}

bool CQuillanDlg::RemoveInputPath(const std::u16string& name)
{
    std::vector<std::u16string>& paths = AddressJob.inputPaths;
    const auto found =
        std::find_if(paths.begin(), paths.end(),
                     [&name](const std::u16string& path) { return FileNameOf(path) == name; });
    if (found == paths.end())
        return false;
    paths.erase(found);
    return true;
}

std::u16string CQuillanDlg::FileNameOf(std::u16string_view path)
{
    const std::size_t separator = path.find_last_of(u"\\/");
    if (separator != std::u16string_view::npos)
        return std::u16string(path.substr(separator + 1));
    if (path.size() >= 2 && path[1] == u':')
        return std::u16string(path.substr(2));
    return std::u16string(path);
}

} // namespace trelvane
