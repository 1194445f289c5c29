// Starting a job from the main dialog, and its browse buttons.
#include "ui/qt/main_dialog.h"

#include "ui/dialog/start_checks.h"
#include "ui/qt/file_dialogs.h"
#include "ui/qt/message_box.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QThread>

namespace trelvane {
namespace {

// The dialog's widgets as the shared start logic reads and switches them.
class WidgetControls final : public IDialogControls
{
public:
    explicit WidgetControls(CQuillanDlg& dialog) : m_dialog(dialog) {}

    bool IsChecked(int id) const override { return m_dialog.Button(id)->isChecked(); }
    std::u16string Text(int id) const override
    {
        return m_dialog.Edit(id)->text().toStdU16String();
    }
    void Enable(int id, bool enable) override { m_dialog.Control(id)->setEnabled(enable); }

private:
    CQuillanDlg& m_dialog;
};

} // namespace

void CQuillanDlg::OnStart()
{
    WidgetControls controls(*this);
    const std::optional<Refusal> refusal =
        StartFromControls(controls, AddressJob.inputPaths.size(), m_jobSettings, m_outputSettings);
    if (!refusal)
        return;
    ShowMessage(QString::fromStdU16String(refusal->text));
    Control(refusal->focusId)->setFocus();
}

void CQuillanDlg::CollectSettings()
{
    trelvane::CollectSettings(WidgetControls(*this), m_jobSettings, m_outputSettings);
}

// Widgets belong to the dialog's thread; a call from a worker is carried over to it.
void CQuillanDlg::EnableControls(bool enable)
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, enable] { EnableControls(enable); }, Qt::QueuedConnection);
        return;
    }
    WidgetControls controls(*this);
    trelvane::EnableControls(controls, enable);
}

void CQuillanDlg::OnBrowseExclusion()
{
    const QString path = m_fileDialogs->OpenFile(this);
    if (!path.isEmpty())
        Edit(IDC_EXCLUSION_PATH)->setText(path);
}

void CQuillanDlg::OnBrowseOutput()
{
    const QString path = m_fileDialogs->SaveFile(this);
    if (!path.isEmpty())
        Edit(IDC_OUTPUT_PATH)->setText(path);
}

} // namespace trelvane
