// Writing a job's sorted set to the output file or its volumes.
#pragma once

#include "engine/address_job.h"
#include "engine/stop_flag.h"

namespace trelvane {

/// Writes set to job.outputPath and, when the output is split, its volumes outputPath + ".part"
/// + number + ".txt", in the system code page with CR LF line ends, applying the keep-only rule
/// and inserting the test-address block; reports OnOutputProgress per line of the set and
/// OnOutputFinished once every file is closed. A testInterval or maxLinesPerVolume below 1
/// turns that option off. Test addresses the code page cannot write are left out after one
/// notice. Every file is written under a temporary name beside its own and renamed over its
/// final name only after the whole run has been written and closed. A failed open, write or
/// close stops writing, removes the temporary files, is told with the path and the system's
/// reason, and reports 0 written: earlier files stay as they were. A failed rename is told the
/// same way; the volumes before it are in place and counted, it and the later ones keep their
/// earlier content. When stop is requested it ends within one line, removes its temporary files
/// and reports nothing more. An
/// exception (out of memory) before OnOutputFinished removes its temporary files too, and passes
/// on.
void WriteResults(const AddressJobRecord& job, const AddressSet& set, const StopFlag* stop);

} // namespace trelvane
