// Work started on a thread of its own where one can be had.
#pragma once

#include <future>
#include <system_error>
#include <utility>

namespace trelvane {

/// Starts work on a thread of its own; without a thread to be had, it runs when its result is
/// asked for. Either way the future's get gives work's result.
template <typename Work> auto StartAsync(Work work) -> std::future<decltype(work())>
{
    try {
        return std::async(std::launch::async, work);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, std::move(work));
    }
}

} // namespace trelvane
