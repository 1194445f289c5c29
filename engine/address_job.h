// The engine's one job record, its settings blocks and the report interface to the window.
#pragma once

#include "engine/address_set.h"
#include "engine/input_diagnostics.h"
#include "engine/removal_sink.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace trelvane {

/// Which set a job fills and writes: 0 ascending, 1 descending.
using SortOrder = std::int32_t;
inline constexpr SortOrder sortAscending = 0;
inline constexpr SortOrder sortDescending = 1;

/// The filter settings of one job, filled by a front end and copied into the record by StartJob.
struct JobSettings
{
    SortOrder sortOrder = sortAscending;
    bool useTestAddresses = false;
    bool useExclusionFile = false;
    bool deleteSuffixes = false;
    bool keepOnlySuffixes = false;
    std::int32_t testInterval = 0;
    std::vector<std::u16string> testAddresses;
    std::u16string exclusionPath;
    std::vector<std::u16string> deleteSuffixList;
    std::vector<std::u16string> keepSuffixList;
    /// Drop lines whose address digest is in the hashed list at hashedExclusionPath.
    bool useHashedExclusion = false;
    std::u16string hashedExclusionPath;
    /// Memory in bytes that the job's set may take before it writes runs to temporary files;
    /// 0 takes DefaultMemoryLimit() (engine/job_runner.h).
    std::uint64_t memoryLimit = 0;
};

/// The output settings of one job, handed to StartOutput when processing has finished.
struct OutputSettings
{
    bool mergeOutput = false;
    std::int32_t maxLinesPerVolume = 0;
    std::u16string outputPath;
};

/// The largest count the report interface can carry.
inline constexpr std::int64_t maxReportedCount = std::numeric_limits<int>::max();

/// A 64-bit count as the report interface's int: a count beyond maxReportedCount gives
/// maxReportedCount.
constexpr int ReportedCount(std::int64_t count)
{
    return static_cast<int>(count < maxReportedCount ? count : maxReportedCount);
}

/// Receives every progress and completion report of a job, always on a worker thread.
///
/// Each call must return before the engine goes on. The path is passed by reference: it is
/// the same string for every line of a file, and copying it per line would cost an allocation
/// per line.
class IProcessReport
{
public:
    /// A line of filePath reached the set (new or duplicate); totalLines is the file's LF count,
    /// or 0 when it cannot be known before the file is read (a pipe): lineNumber then is the
    /// count so far.
    virtual void OnLineProcessed(const std::u16string& filePath, int totalLines,
                                 int lineNumber) = 0;
    /// Every input file is done; the receiver starts the output stage with StartOutput.
    virtual void OnProcessingFinished() = 0;
    /// The line at position current (from 1) of total is about to be handled by the writer.
    virtual void OnOutputProgress(int total, int current) = 0;
    /// The job has ended; the output thread touches the record no more after this returns.
    virtual void OnOutputFinished(int filteredCount, int writtenCount) = 0;

protected:
    ~IProcessReport() = default;
};

/// The state of the engine: the settings of the running or last job (the JobSettings fields,
/// written by StartJob, then the OutputSettings fields, written by StartOutput), its sets and
/// counts.
struct AddressJobRecord : JobSettings, OutputSettings
{
    AddressSet ascendingSet{SetOrder::Ascending};
    AddressSet descendingSet{SetOrder::Descending};
    std::vector<std::u16string> inputPaths;
    IProcessReport* report = nullptr;
    std::int32_t filteredCount = 0;
    /// Receives every line left out of the output, when a report is asked for; set by the
    /// front end before StartJob.
    IRemovalSink* removalSink = nullptr;
    /// What the job's input looks wrong in; emptied by StartJob.
    InputDiagnostics diagnostics;

    /// The set that a job with the record's sortOrder fills and writes.
    AddressSet& ChosenSet() { return sortOrder == sortDescending ? descendingSet : ascendingSet; }
    const AddressSet& ChosenSet() const
    {
        return sortOrder == sortDescending ? descendingSet : ascendingSet;
    }
};

/// The process-wide job record; constructed before any front end starts.
extern AddressJobRecord AddressJob;

} // namespace trelvane
