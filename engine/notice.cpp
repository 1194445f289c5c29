// The installed notice operation.
#include "engine/notice.h"

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
