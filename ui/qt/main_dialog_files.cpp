// The input file list of the main dialog: adding and removing files.
#include "ui/qt/main_dialog.h"

#include "ui/dialog/file_list.h"
#include "ui/qt/file_dialogs.h"

#include <QTreeWidget>

namespace trelvane {
namespace {

// The rows of the dialog's list, one column each.
class TreeRows final : public IFileRows
{
public:
    explicit TreeRows(QTreeWidget& list) : m_list(list) {}

    void AppendRow(const std::u16string& text) override
    {
        m_list.addTopLevelItem(new QTreeWidgetItem(QStringList{QString::fromStdU16String(text)}));
    }
    int FirstSelectedRow() const override
    {
        for (int row = 0; row < m_list.topLevelItemCount(); ++row) {
            if (m_list.topLevelItem(row)->isSelected())
                return row;
        }
        return -1;
    }
    std::u16string RowText(int row) const override
    {
        return m_list.topLevelItem(row)->text(0).toStdU16String();
    }
    void DeleteRow(int row) override { delete m_list.topLevelItem(row); }

private:
    QTreeWidget& m_list;
};

} // namespace

void CQuillanDlg::OnAddFiles()
{
    AddInputFiles(m_fileDialogs->OpenFiles(this));
}

void CQuillanDlg::AddInputFiles(const QStringList& paths)
{
    std::vector<std::u16string> newPaths;
    for (const QString& path : paths)
        newPaths.push_back(path.toStdU16String());
    TreeRows rows(*m_fileList);
    trelvane::AddInputFiles(rows, AddressJob.inputPaths, newPaths);
}

void CQuillanDlg::OnRemoveSelected()
{
    TreeRows rows(*m_fileList);
    RemoveSelectedFiles(rows, AddressJob.inputPaths);
}

} // namespace trelvane
