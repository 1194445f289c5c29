// The installed notice operation.
#include "engine/notice.h"

#include "engine/code_page.h"
#include "engine/os/file.h"

#include <utility>

namespace trelvane {
namespace {

NoticeHandler& InstalledHandler()
{
    static NoticeHandler handler;
    return handler;
}

JobAbortHandler& InstalledAbortHandler()
{
    static JobAbortHandler handler;
    return handler;
}

} // namespace

void SetNoticeHandler(NoticeHandler handler)
{
    InstalledHandler() = std::move(handler);
}

void ShowNotice(std::u16string_view text)
{
    if (const NoticeHandler& handler = InstalledHandler())
        handler(text);
}

std::u16string FailureText(std::u16string_view message, std::u16string_view path, int errorNumber)
{
    std::u16string text(message);
    text.append(path).append(u": ").append(FromSystemBytes(os::ErrorText(errorNumber)));
    return text;
}

void SetJobAbortHandler(JobAbortHandler handler)
{
    InstalledAbortHandler() = std::move(handler);
}

void NotifyJobAborted()
{
    if (const JobAbortHandler& handler = InstalledAbortHandler())
        handler();
}

} // namespace trelvane
