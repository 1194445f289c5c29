// The main dialog's display of the engine's progress and completion reports.
//
// The shared ReportRelay keeps the per-line reports as latest values; a timer on the dialog's
// thread shows them at screen rate. The two once-per-job reports hand their work to the
// dialog's thread and wait for it, unless the dialog is closing.
#include "ui/qt/main_dialog.h"

#include "ui/dialog/report_relay.h"
#include "ui/qt/message_box.h"
#include "ui/qt/status_bar.h"

#include <QCoreApplication>
#include <QEvent>
#include <QProgressBar>
#include <QTimer>

#include <functional>
#include <utility>

namespace trelvane {
namespace {

constexpr int statusPart = 1;
constexpr int reportIntervalMs = 33; // about the screen's rate

// The report timer; a posted event makes it serve the reports at once, which a worker uses
// when it waits for the dialog's thread.
class ReportTimer final : public QTimer
{
public:
    ReportTimer(std::function<void()> service, QObject* parent)
        : QTimer(parent), m_service(std::move(service))
    {
        connect(this, &QTimer::timeout, this, [this] { m_service(); });
    }

protected:
    void customEvent(QEvent*) override { m_service(); }

private:
    std::function<void()> m_service;
};

// The dialog's widgets as the shared report logic drives them.
class WidgetReportView final : public IReportView
{
public:
    WidgetReportView(CQuillanDlg& dialog, QTimer& timer) : m_dialog(dialog), m_timer(timer) {}

    void SetStatusText(const std::u16string& text) override
    {
        m_dialog.SetStatusText(QString::fromStdU16String(text));
    }
    void ShowProgress(ProgressValue value) override
    {
        auto* bar = qobject_cast<QProgressBar*>(m_dialog.Control(IDC_PROGRESS));
        if (bar->minimum() != 0 || bar->maximum() != value.range)
            bar->setRange(0, value.range);
        bar->setValue(value.position);
    }
    void EnableControls(bool enable) override { m_dialog.EnableControls(enable); }
    void WakeDialogThread() override
    {
        QCoreApplication::postEvent(&m_timer, new QEvent(QEvent::User));
    }
    void ShowWorkerMessage(const std::u16string& text) override
    {
        ShowMessage(QString::fromStdU16String(text));
    }
    void ReleaseWaitingWorkers() override { trelvane::ReleaseWaitingWorkers(); }

private:
    CQuillanDlg& m_dialog;
    QTimer& m_timer;
};

} // namespace

void CQuillanDlg::InitReporting()
{
    m_reportTimer = new ReportTimer([this] { m_reports->Serve(); }, this);
    m_reportView = std::make_unique<WidgetReportView>(*this, *m_reportTimer);
    m_reports = std::make_unique<ReportRelay>(*m_reportView);
    m_reportTimer->start(reportIntervalMs);
}

void CQuillanDlg::SetStatusText(const QString& text)
{
    if (m_statusBar->PartText(statusPart) != text)
        m_statusBar->SetPartText(statusPart, text);
}

void CQuillanDlg::OnLineProcessed(const std::u16string& filePath, int totalLines, int lineNumber)
{
    m_reports->OnLineProcessed(filePath, totalLines, lineNumber);
}

void CQuillanDlg::OnProcessingFinished()
{
    m_reports->OnProcessingFinished(m_outputSettings);
}

void CQuillanDlg::OnOutputProgress(int total, int current)
{
    m_reports->OnOutputProgress(total, current);
}

void CQuillanDlg::OnOutputFinished(int filteredCount, int writtenCount)
{
    m_reports->OnOutputFinished(filteredCount, writtenCount);
}

void CQuillanDlg::OnJobAborted()
{
    m_reports->OnJobAborted();
}

} // namespace trelvane
