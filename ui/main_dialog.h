// The main dialog: the window's controls and start state, its handlers, and the receiver of the
// engine's reports.
#pragma once

#include "engine/address_job.h"
#include "ui/control_ids.h"
#include "ui/file_dialogs.h"

#include <QDialog>
#include <QHash>

#include <memory>
#include <string>
#include <string_view>

class QAbstractButton;
class QKeyEvent;
class QLineEdit;
class QProgressBar;
class QTimer;
class QTreeWidget;

namespace trelvane {

class StatusBar;
struct ReportState;

/// The one window of the program: the input files, the organising and output rules, the start
/// button, a progress bar and a status bar. While it exists it is AddressJob.report.
class CQuillanDlg : public QDialog, public IProcessReport
{
    Q_OBJECT

public:
    /// Builds every control in its start state and stores the dialog in AddressJob.report.
    /// fileDialogs answers the add and browse buttons; nullptr means the toolkit's dialogs.
    explicit CQuillanDlg(std::unique_ptr<IFileDialogs> fileDialogs = nullptr,
                         QWidget* parent = nullptr);
    ~CQuillanDlg() override;

    /// The control with a template id (IDOK, IDC_...), or nullptr for an unknown id.
    QWidget* Control(int id) const;
    /// The push button, radio button or check box with a template id, or nullptr.
    QAbstractButton* Button(int id) const;
    /// The edit box with a template id, or nullptr.
    QLineEdit* Edit(int id) const;

    /// The filter settings of the last start.
    const JobSettings& CollectedJobSettings() const { return m_jobSettings; }
    /// The output settings of the last start.
    const OutputSettings& CollectedOutputSettings() const { return m_outputSettings; }

    // The input file list (main_dialog_files.cpp).

    /// Asks for input files and appends each to the list and to AddressJob.inputPaths.
    void OnAddFiles();
    /// Appends each path, in order, as a row of its file name and to AddressJob.inputPaths;
    /// files dropped on the list arrive here too.
    void AddInputFiles(const QStringList& paths);
    /// Removes the selected rows, and for each the first input path of that file name.
    void OnRemoveSelected();
    /// Removes the first input path whose file name is name; false when none has it.
    bool RemoveInputPath(const std::u16string& name);
    /// The file name of a path: the text after its last "\" or "/", or after a drive prefix.
    static std::u16string FileNameOf(std::u16string_view path);

    // Starting a job and the browse buttons (main_dialog_start.cpp).

    /// Checks the inputs, disables the input controls, collects the settings and starts a job.
    /// Virtual so that tests can watch the dialog's keyboard handling run it.
    virtual void OnStart();
    /// Fills m_jobSettings and m_outputSettings from the controls.
    void CollectSettings();
    /// Enables or disables the 21 input controls.
    void EnableControls(bool enable);
    /// Asks for an exclusion file and puts its path into IDC_EXCLUSION_PATH.
    void OnBrowseExclusion();
    /// Asks for an output file and puts its path into IDC_OUTPUT_PATH.
    void OnBrowseOutput();

    // Progress and completion (main_dialog_report.cpp); the report operations run on workers.

    /// Shows text in the middle part of the status bar unless it already shows it.
    void SetStatusText(const QString& text);
    void OnLineProcessed(const std::u16string& filePath, int totalLines, int lineNumber) override;
    void OnProcessingFinished() override;
    void OnOutputProgress(int total, int current) override;
    void OnOutputFinished(int filteredCount, int writtenCount) override;
    /// Ends the display of a job that stopped on a failure, after its message box: the
    /// controls are enabled again for the next job. Runs on the worker.
    void OnJobAborted();

    /// Runs the dialog until it is closed. Windows it does not own, such as a worker's message
    /// box, stay usable meanwhile.
    int RunModal();

    /// Does nothing: the dialog is never closed by accepting; Enter runs OnStart instead.
    void accept() override;
    /// Closes the dialog (Esc, the close box, Alt+F4), first ending a running job.
    void reject() override;

protected:
    /// Enter and Return anywhere click the start button; everything else is the dialog's.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildControls();
    void GroupRadioButtons();
    void SetUpFileList();
    void LayOutControls();
    void ConnectHandlers();
    void SetStartState();

    /// Prepares the display of the workers' reports (main_dialog_report.cpp).
    void InitReporting();
    /// Stops a running job before the window goes, so no worker touches it afterwards
    /// (main_dialog_report.cpp).
    void StopJobForClose();

    JobSettings m_jobSettings;
    OutputSettings m_outputSettings;
    StatusBar* m_statusBar = nullptr;
    QTreeWidget* m_fileList = nullptr;
    QProgressBar* m_progress = nullptr;
    std::unique_ptr<IFileDialogs> m_fileDialogs;
    std::unique_ptr<ReportState> m_reportState;
    QTimer* m_reportTimer = nullptr;
    QHash<int, QWidget*> m_controls;
};

} // namespace trelvane
