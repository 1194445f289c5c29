// The dialog's handling of the engine's reports.
#include "ui/dialog/report_relay.h"

#include "engine/job_runner.h"
#include "ui/dialog/dialog_texts.h"

#include <algorithm>

namespace trelvane {

ProgressValue DisplayedProgress(ProgressValue reported)
{
    return {std::max(reported.range, reported.position), reported.position};
}

void ReportRelay::OnLineProcessed(const std::u16string& filePath, int totalLines, int lineNumber)
{
    if (m_state.IsClosing())
        return;
    if (&filePath != m_state.lastPath || totalLines != m_state.lastFileProgress.range ||
        !m_state.hasLastFile)
        NoteFile(filePath, totalLines);
    m_state.lastFileProgress.position = lineNumber;
    m_state.StoreProgress({totalLines, lineNumber});
}

void ReportRelay::OnProcessingFinished(const OutputSettings& outputSettings)
{
    ForgetLastFile();
    if (RunOnDialogThread([this] {
            ShowPending();
            m_view.SetStatusText(std::u16string(processingFinishedText));
        }))
        StartOutput(outputSettings);
}

void ReportRelay::OnOutputProgress(int total, int current)
{
    if (!m_state.IsClosing())
        m_state.StoreProgress({total, current});
}

void ReportRelay::OnOutputFinished(int filteredCount, int writtenCount)
{
    const bool shown = RunOnDialogThread([&] {
        ShowPending();
        m_view.EnableControls(true);
        m_view.SetStatusText(CompletionStatusText(filteredCount, writtenCount));
    });
    // The box has no owner: the dialog is usable again and a new job may start meanwhile.
    if (shown)
        m_view.ShowWorkerMessage(CompletionBoxText(filteredCount, writtenCount));
}

void ReportRelay::OnJobAborted()
{
    ForgetLastFile();
    RunOnDialogThread([this] {
        ShowPending();
        m_view.EnableControls(true);
    });
}

void ReportRelay::Serve()
{
    if (m_state.IsClosing())
        return;
    ShowPending();
    m_state.RunPendingWork();
}

// No worker may wait for the dialog's thread while it waits for the workers: report work is
// refused from here on and message boxes release their workers.
void ReportRelay::StopJobForClose()
{
    m_state.Close();
    RequestStop();
    m_view.ReleaseWaitingWorkers();
    WaitForWorkers();
}

// Queues the status text of a file unless it is the file shown last; runs on the processing
// thread when the path or the line count differs from the last line's.
void ReportRelay::NoteFile(const std::u16string& path, int totalLines)
{
    const bool sameFile = m_state.hasLastFile && m_state.lastFileProgress.range == totalLines &&
                          m_state.lastPathText == path;
    m_state.lastPath = &path;
    if (sameFile)
        return;
    PendingText pending{ProcessingText(path, totalLines), m_state.hasLastFile,
                        m_state.lastFileProgress};
    m_state.lastPathText = path;
    m_state.hasLastFile = true;
    m_state.lastFileProgress = {totalLines, 0};
    m_state.QueueText(std::move(pending));
}

// Shows what the workers left: each queued text after the last progress of the file before
// it, then the latest progress.
void ReportRelay::ShowPending()
{
    std::uint64_t progress = ReportState::nothingPending;
    for (const PendingText& pending : m_state.TakePending(progress)) {
        if (pending.hasPrevious)
            m_view.ShowProgress(DisplayedProgress(pending.previous));
        m_view.SetStatusText(pending.text);
    }
    if (progress != ReportState::nothingPending)
        m_view.ShowProgress(DisplayedProgress(ReportState::Unpack(progress)));
}

bool ReportRelay::RunOnDialogThread(const std::function<void()>& work)
{
    return m_state.RunOnDialogThread(work, [this] { m_view.WakeDialogThread(); });
}

// The next job shows its first file again, whatever it is.
void ReportRelay::ForgetLastFile()
{
    m_state.hasLastFile = false;
    m_state.lastPath = nullptr;
}

} // namespace trelvane
