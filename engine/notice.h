// The one channel through which the engine tells the user about failures.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace trelvane {

/// Shows a failure text to the user and returns once the user has acknowledged it.
using NoticeHandler = std::function<void(std::u16string_view text)>;

/// Installs the front end's notice operation; set it before the first job starts.
void SetNoticeHandler(NoticeHandler handler);

/// Shows text through the installed handler, on the calling thread; without one, does nothing.
void ShowNotice(std::u16string_view text);

/// A failure text that says what failed, where and why: message + path + ": " + the system's
/// text for errorNumber.
std::u16string FailureText(std::u16string_view message, std::u16string_view path, int errorNumber);

/// Takes the end of a job that stopped on a failure without OnOutputFinished (out of memory,
/// an error on a worker thread); called on that worker after the notice that tells why. The
/// front end may then start another job. A job stopped on request never sends it.
using JobAbortHandler = std::function<void()>;

/// Installs the front end's operation for an aborted job; set it before the first job starts.
void SetJobAbortHandler(JobAbortHandler handler);

/// Calls the installed abort handler, on the calling thread; without one, does nothing.
void NotifyJobAborted();

} // namespace trelvane
