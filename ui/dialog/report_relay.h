// The dialog's side of the engine's reports, shared by both views: per-line reports kept as
// latest values and shown at screen rate, once-per-job reports run on the dialog's thread while
// the worker waits, and the hand-over to the output stage.
#pragma once

#include "engine/address_job.h"
#include "ui/dialog/report_state.h"

#include <string>

namespace trelvane {

/// What the reports need of a view.
class IReportView
{
public:
    virtual ~IReportView() = default;
    /// Shows text in part 1 of the status bar unless it already shows it (dialog's thread).
    virtual void SetStatusText(const std::u16string& text) = 0;
    /// Sets the progress bar's range 0 to value.range and its position (dialog's thread).
    virtual void ShowProgress(ProgressValue value) = 0;
    /// Enables or disables the 21 input controls (dialog's thread).
    virtual void EnableControls(bool enable) = 0;
    /// Makes the dialog's thread call ReportRelay::Serve soon (any thread).
    virtual void WakeDialogThread() = 0;
    /// Shows an unowned message box from a worker and waits until the user closes it while the
    /// dialog stays usable; returns at once while workers are released.
    virtual void ShowWorkerMessage(const std::u16string& text) = 0;
    /// Closes the boxes that workers wait on and lets later ones return at once (dialog's thread).
    virtual void ReleaseWaitingWorkers() = 0;
};

/// The progress bar's state for a reported range and position: a file whose last line has no
/// LF has one line more than it has LF bytes, so the range grows to the position and the bar
/// still ends full.
ProgressValue DisplayedProgress(ProgressValue reported);

/// The dialog's handling of the four reports and of a job that aborted.
class ReportRelay
{
public:
    explicit ReportRelay(IReportView& view) : m_view(view) {}

    /// Processing thread: records the line; a new file queues its status text.
    void OnLineProcessed(const std::u16string& filePath, int totalLines, int lineNumber);
    /// Processing thread: shows that processing has finished, then starts the output stage with
    /// outputSettings.
    void OnProcessingFinished(const OutputSettings& outputSettings);
    /// Output thread: records the output progress.
    void OnOutputProgress(int total, int current);
    /// Output thread: enables the controls, shows the completion texts and waits in the box.
    void OnOutputFinished(int filteredCount, int writtenCount);
    /// Worker: a job that stopped on a failure has been told; the controls are enabled again.
    void OnJobAborted();

    /// Dialog's thread, at screen rate and when woken: shows what the workers left and runs the
    /// work a worker waits on.
    void Serve();
    /// Dialog's thread: stops a running job and waits for its workers; later reports return at
    /// once, so no worker touches the view afterwards.
    void StopJobForClose();

private:
    void NoteFile(const std::u16string& path, int totalLines);
    void ShowPending();
    bool RunOnDialogThread(const std::function<void()>& work);
    void ForgetLastFile();

    IReportView& m_view;
    ReportState m_state;
};

} // namespace trelvane
