// The main dialog's display of the engine's progress and completion reports.
//
// The per-line reports only store the latest values in the ReportState; a timer on the
// dialog's thread shows them at screen rate. The two once-per-job reports hand their work to
// the dialog's thread and wait for it, unless the dialog is closing.
#include "ui/main_dialog.h"

#include "engine/job_runner.h"
#include "engine/settings_text.h"
#include "ui/message_box.h"
#include "ui/report_state.h"
#include "ui/status_bar.h"

#include <QCoreApplication>
#include <QEvent>
#include <QProgressBar>
#include <QTimer>

#include <functional>
#include <string>
#include <utility>

namespace trelvane {
namespace {

constexpr int statusPart = 1;
constexpr int reportIntervalMs = 33; // about the screen's rate

// The report timer; a posted event makes it show the reports at once, which a worker uses
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

std::u16string ProcessingText(const std::u16string& path, int totalLines)
{
    return u"正在处理文件 " + path + u"  行数 " + DecimalText(totalLines);
}

// Queues the status text of a file unless it is the file shown last; runs on the processing
// thread when the path or the line count differs from the last line's.
void NoteFile(ReportState& state, const std::u16string& path, int totalLines)
{
    const bool sameFile = state.hasLastFile && state.lastFileProgress.range == totalLines &&
                          state.lastPathText == path;
    state.lastPath = &path;
    if (sameFile)
        return;
    PendingText pending{ProcessingText(path, totalLines), state.hasLastFile,
                        state.lastFileProgress};
    state.lastPathText = path;
    state.hasLastFile = true;
    state.lastFileProgress = {totalLines, 0};
    state.QueueText(std::move(pending));
}

void ShowProgress(QProgressBar& bar, ProgressValue value)
{
    if (bar.minimum() != 0 || bar.maximum() != value.range)
        bar.setRange(0, value.range);
    bar.setValue(value.position);
}

// Shows what the workers left: each queued text after the last progress of the file before
// it, then the latest progress.
void ShowPending(CQuillanDlg& dialog, ReportState& state)
{
    auto* bar = qobject_cast<QProgressBar*>(dialog.Control(IDC_PROGRESS));
    std::uint64_t progress = ReportState::nothingPending;
    for (const PendingText& pending : state.TakePending(progress)) {
        if (pending.hasPrevious)
            ShowProgress(*bar, pending.previous);
        dialog.SetStatusText(QString::fromStdU16String(pending.text));
    }
    if (progress != ReportState::nothingPending)
        ShowProgress(*bar, ReportState::Unpack(progress));
}

// Makes the report timer serve a waiting worker now rather than at its next tick.
void Wake(QTimer* reportTimer)
{
    QCoreApplication::postEvent(reportTimer, new QEvent(QEvent::User));
}

} // namespace

void CQuillanDlg::InitReporting()
{
    m_reportTimer = new ReportTimer(
        [this] {
            if (m_reportState->IsClosing())
                return;
            ShowPending(*this, *m_reportState);
            m_reportState->RunPendingWork();
        },
        this);
    m_reportTimer->start(reportIntervalMs);
}

// Runs on the dialog's thread. No worker may wait for this thread while it waits for the
// workers: report work is refused from here on and message boxes release their workers.
void CQuillanDlg::StopJobForClose()
{
    m_reportState->Close();
    RequestStop();
    ReleaseWaitingWorkers();
    WaitForWorkers();
}

void CQuillanDlg::SetStatusText(const QString& text)
{
    if (m_statusBar->PartText(statusPart) != text)
        m_statusBar->SetPartText(statusPart, text);
}

void CQuillanDlg::OnLineProcessed(const std::u16string& filePath, int totalLines, int lineNumber)
{
    ReportState& state = *m_reportState;
    if (state.IsClosing())
        return;
    if (&filePath != state.lastPath || totalLines != state.lastFileProgress.range ||
        !state.hasLastFile)
        NoteFile(state, filePath, totalLines);
    state.lastFileProgress.position = lineNumber;
    state.StoreProgress({totalLines, lineNumber});
}

void CQuillanDlg::OnProcessingFinished()
{
    ReportState& state = *m_reportState;
    // The next job shows its first file again, whatever it is.
    state.hasLastFile = false;
    state.lastPath = nullptr;
    const bool shown = state.RunOnDialogThread(
        [this] {
            ShowPending(*this, *m_reportState);
            SetStatusText(tr("文件处理完成，正在输出结果..."));
        },
        [this] { Wake(m_reportTimer); });
    if (shown)
        StartOutput(m_outputSettings);
}

void CQuillanDlg::OnOutputProgress(int total, int current)
{
    if (!m_reportState->IsClosing())
        m_reportState->StoreProgress({total, current});
}

void CQuillanDlg::OnOutputFinished(int filteredCount, int writtenCount)
{
    QString boxText;
    const bool shown = m_reportState->RunOnDialogThread(
        [&] {
            ShowPending(*this, *m_reportState);
            EnableControls(true);
            SetStatusText(tr("输出完成！过滤数量：%1条 处理后数量：%2条")
                              .arg(filteredCount)
                              .arg(writtenCount));
            boxText = tr("输出完成！\n过滤数量：%1条\n处理后数量：%2条")
                          .arg(filteredCount)
                          .arg(writtenCount);
        },
        [this] { Wake(m_reportTimer); });
    // The box has no owner: the dialog is usable again and a new job may start meanwhile.
    if (shown)
        ShowMessage(boxText);
}

void CQuillanDlg::OnJobAborted()
{
    // The next job shows its first file again, whatever it is.
    m_reportState->hasLastFile = false;
    m_reportState->lastPath = nullptr;
    if (!m_reportState->IsClosing())
        EnableControls(true);
}

} // namespace trelvane
