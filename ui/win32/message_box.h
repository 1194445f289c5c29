// The message box of the Windows view: usable from the dialog's thread and from workers.
#pragma once

#include <windows.h>

#include <string>

namespace trelvane {

/// The application's name: the executable's file name without its extension.
std::u16string ApplicationName();

/// Makes dialog, on the calling thread, the owner of the boxes shown on that thread; nullptr
/// when it closes.
void SetDialogWindow(HWND dialog);

/// Shows text with one OK button and the exclamation icon, captioned with ApplicationName(),
/// and returns when the user has closed it. On the dialog's thread the box is modal to the
/// dialog. On any other thread the box has no owner and only the calling thread waits; while
/// workers are released (ReleaseWaitingWorkers), such a call returns at once.
void ShowMessage(const std::u16string& text);

/// Closes every box that a worker waits in and lets later worker calls return at once; call it
/// on the dialog's thread before waiting for the workers to end.
void ReleaseWaitingWorkers();

/// Lets workers open boxes again after ReleaseWaitingWorkers.
void AllowWorkerMessages();

/// Installs ShowMessage as the engine's notice operation.
void InstallNoticeHandler();

} // namespace trelvane
