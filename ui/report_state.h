// What the workers' reports leave for the dialog's thread to show.
#pragma once

namespace trelvane {

/// The latest values reported by the workers, shared between them and the dialog's thread.
struct ReportState
{
};

} // namespace trelvane
