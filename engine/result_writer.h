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
/// notice. A failed first open is told and reports 0 written; a later failed open, write or
/// close stops writing, is told, and reports only the lines that reached the files: a line counts
/// once the write that carried it succeeded, unless closing its file then fails. When stop is
/// requested it ends within one line, removes every file it opened and reports nothing more.
/// An exception (out of memory) before OnOutputFinished removes every file it opened too, and
/// passes on.
void WriteResults(const AddressJobRecord& job, const AddressSet& set, const StopFlag* stop);

} // namespace trelvane
