// A hook for the runner's tests: a thread start that fails on request.
#pragma once

namespace trelvane::test_hook {

/// Makes the next worker-thread start of the job runner fail as if the system had no thread
/// to give.
void FailNextThreadStart();

} // namespace trelvane::test_hook
