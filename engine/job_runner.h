// Running a job on its processing thread and its output thread.
#pragma once

#include "engine/address_job.h"

namespace trelvane {

/// The memory limit of a job that sets none: half of the machine's physical memory, at most
/// 1 GiB. Fresh memory is slow to get on some machines, so past that a set costs less time in
/// runs on disk than in memory: on those we measured, 30 million lines took 6.4-6.8 s in runs
/// against 4.4-8.2 s in memory, 100 million 22 s against 50 s.
std::uint64_t DefaultMemoryLimit();

/// Empties both sets, zeroes filteredCount, copies settings into AddressJob and starts the
/// processing thread; returns at once. Shows "创建线程失败！" if the thread cannot start.
///
/// An exception that escapes a worker ends the job there: both sets are emptied, the output
/// files it opened are removed, "内存不足，作业已停止！" (std::bad_alloc) or
/// "作业因内部错误已停止！" is shown, and NotifyJobAborted tells the front end, instead of
/// OnOutputFinished.
void StartJob(const JobSettings& settings);

/// Copies settings into AddressJob and starts the output thread; called from
/// OnProcessingFinished. Shows "创建输出线程失败！" if the thread cannot start.
void StartOutput(const OutputSettings& settings);

/// The processing stage: counts and processes every input file, then OnProcessingFinished; a
/// stopped job that wrote runs to temporary files empties its set, which removes them.
void ProcessingThread(AddressJobRecord& job);

/// The output stage: writes the chosen set. A set that wrote runs keeps its temporary file (whose
/// name is already gone) until the next StartJob or the end of the process: after
/// OnOutputFinished the record belongs to the front end.
void OutputThread(AddressJobRecord& job);

/// Asks the running job, if any, to stop soon: it then sends no further reports or notices, and
/// an output stage that was writing removes the files it opened. The next StartJob clears it.
void RequestStop();

/// Waits until every worker thread has ended and joins it. Never call it from a report
/// operation or a notice handler; call RequestStop first unless the job is to finish.
void WaitForWorkers();

} // namespace trelvane
