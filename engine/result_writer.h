// Writing a job's sorted set to the output file or its volumes.
#pragma once

#include "engine/address_job.h"
#include "engine/stop_flag.h"

namespace trelvane {

/// Writes set to job.outputPath (and its volumes), with the keep-only rule and test-address
/// blocks, reporting OnOutputProgress per line and OnOutputFinished at the end. Failures are
/// told through ShowNotice. When stop is requested it stops, removes what it wrote and sends
/// no further reports.
void WriteResults(const AddressJobRecord& job, const AddressSet& set, const StopFlag* stop);

} // namespace trelvane
