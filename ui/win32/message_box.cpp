// The Windows view's message box.
#include "ui/win32/message_box.h"

#include "engine/notice.h"
#include "ui/dialog/file_list.h"
#include "ui/win32/wide_text.h"

#include <mutex>
#include <set>

namespace trelvane {
namespace {

constexpr UINT boxFlags = MB_OK | MB_ICONEXCLAMATION;

// The dialog that owns the boxes of its thread, and the workers waiting in a box.
struct BoxState
{
    std::mutex mutex;
    HWND dialog = nullptr;
    DWORD dialogThread = 0;
    std::set<DWORD> waitingThreads;
    bool released = false;
};

BoxState& State()
{
    static BoxState state;
    return state;
}

BOOL CALLBACK ConfirmBox(HWND window, LPARAM)
{
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

void ShowFromWorker(const std::u16string& text)
{
    BoxState& state = State();
    const DWORD thread = GetCurrentThreadId();
    {
        const std::lock_guard lock(state.mutex);
        if (state.released)
            return;
        state.waitingThreads.insert(thread);
    }
    MessageBoxW(nullptr, Wide(text), Wide(ApplicationName()), boxFlags);
    const std::lock_guard lock(state.mutex);
    state.waitingThreads.erase(thread);
}

} // namespace

std::u16string ApplicationName()
{
    std::u16string path(MAX_PATH, u'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(path.data()),
                                                static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    std::u16string name = FileNameOf(path);
    if (const std::size_t dot = name.rfind(u'.'); dot != std::u16string::npos)
        name.resize(dot);
    return name;
}

void SetDialogWindow(HWND dialog)
{
    BoxState& state = State();
    const std::lock_guard lock(state.mutex);
    state.dialog = dialog;
    state.dialogThread = dialog ? GetCurrentThreadId() : 0;
}

void ShowMessage(const std::u16string& text)
{
    HWND owner = nullptr;
    bool fromWorker = false;
    {
        BoxState& state = State();
        const std::lock_guard lock(state.mutex);
        owner = state.dialog;
        fromWorker = owner && state.dialogThread != GetCurrentThreadId();
    }
    if (fromWorker)
        ShowFromWorker(text);
    else
        MessageBoxW(owner, Wide(text), Wide(ApplicationName()), boxFlags);
}

// A worker may be between registering and opening its box, so its thread is asked again until
// it has left the box.
void ReleaseWaitingWorkers()
{
    BoxState& state = State();
    for (;;) {
        std::set<DWORD> threads;
        {
            const std::lock_guard lock(state.mutex);
            state.released = true;
            threads = state.waitingThreads;
        }
        if (threads.empty())
            return;
        for (DWORD thread : threads)
            EnumThreadWindows(thread, &ConfirmBox, 0);
        Sleep(10);
    }
}

void AllowWorkerMessages()
{
    BoxState& state = State();
    const std::lock_guard lock(state.mutex);
    state.released = false;
}

void InstallNoticeHandler()
{
    SetNoticeHandler([](std::u16string_view text) { ShowMessage(std::u16string(text)); });
}

} // namespace trelvane
