// The message box of the window platform: usable from the dialog's thread and from workers.
#pragma once

#include <QString>

namespace trelvane {

/// The application's name: the executable's file name without its extension.
QString ApplicationName();

/// Shows text with one OK button and the warning icon, captioned with ApplicationName(), and
/// returns when the user has closed the box.
///
/// On the dialog's thread the box is modal to the active window. On any other thread the
/// dialog's thread opens an unowned, non-modal box and only the calling thread waits; the
/// dialog stays usable. While workers are released (ReleaseWaitingWorkers), a call from a
/// worker returns at once without a box.
void ShowMessage(const QString& text);

/// Closes every box that a worker waits on, wakes those workers, and lets later worker calls
/// return at once; call it on the dialog's thread before waiting for the workers to end.
void ReleaseWaitingWorkers();

/// Lets workers open boxes again after ReleaseWaitingWorkers.
void AllowWorkerMessages();

/// Installs ShowMessage as the engine's notice operation.
void InstallNoticeHandler();

} // namespace trelvane
