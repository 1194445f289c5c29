// Sorted runs of byte keys in one temporary file, and the merge that reads them back as one.
#pragma once

#include "engine/os/huge_memory.h"
#include "engine/os/scratch_file.h"
#include "engine/stop_flag.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trelvane {

/// A temporary file could not be made, written or read: the job cannot go on. text says what
/// failed, in which folder and why.
struct ScratchFailure
{
    std::u16string text;
};

/// Runs of keys, each sorted and free of repeats, one after another in temporary files; each key
/// carries a 64-bit tag.
class SortedRuns
{
public:
    SortedRuns();
    ~SortedRuns();
    SortedRuns(const SortedRuns&) = delete;
    SortedRuns& operator=(const SortedRuns&) = delete;
    /// Moving takes the files along; the files of the runs moved onto are removed.
    SortedRuns(SortedRuns&&) noexcept;
    SortedRuns& operator=(SortedRuns&&) noexcept;

    /// Appends a run: keys must come in the order in which Merge is to walk them. A file is
    /// made on the first call. Throws ScratchFailure.
    void BeginRun();
    void Add(std::string_view key, std::uint64_t tag);
    void EndRun();

    bool Empty() const { return runs_.empty(); }
    /// Keys written over all runs, repeats across runs included.
    std::uint64_t KeyCount() const { return keyCount_; }

    /// visit(key, tag) is called for a distinct key, repeat(key, tag, firstTag) for a key equal to
    /// the one visited before it, with that one's tag; either stops the merge by returning false.
    using Visit = std::function<bool(std::string_view, std::uint64_t)>;
    using VisitRepeat = std::function<bool(std::string_view, std::uint64_t, std::uint64_t)>;
    /// Walks the keys of all runs in order (keys compared as unsigned bytes, the reverse when
    /// descending): the first of equal keys, which is that of the earliest run, to visit, the
    /// others to repeat (when given). Views are valid only during the call. Reading buffers
    /// share about readBudget bytes. Throws ScratchFailure.
    void Merge(bool descending, std::size_t readBudget, const Visit& visit,
               const VisitRepeat& repeat = {});
    /// Replaces the runs by runs that hold each distinct key once and follow one another in the
    /// merged order, so that Merge then merges nothing; without repeat, the keys are split by
    /// their first byte into two parts merged at once on two threads. repeat is called as by
    /// Merge. Returns the number of distinct keys, or nothing when stop was requested or repeat
    /// returned false (the runs then stay as they were). Throws ScratchFailure.
    std::optional<std::uint64_t> Combine(bool descending, std::size_t readBudget,
                                         const StopFlag* stop, const VisitRepeat& repeat = {});

private:
    // Where a run's keys of one group (addresskey::GroupOf, by first byte) begin in its file,
    // and how many keys come before them in the run.
    struct GroupStart
    {
        std::size_t group = 0;
        std::uint64_t offset = 0;
        std::uint64_t keysBefore = 0;
    };
    struct Run
    {
        std::size_t file = 0;
        std::uint64_t offset = 0;
        std::uint64_t bytes = 0;
        std::uint64_t keys = 0;
        std::vector<GroupStart> groups;
    };
    // Bytes begin to end of one file, read as a sequence of keys.
    struct Span
    {
        os::ScratchFile* file;
        std::uint64_t begin;
        std::uint64_t end;
    };
    class Reader;

    static void MergeSpans(const std::vector<Span>& spans, bool descending, std::size_t readBudget,
                           const Visit& visit, const VisitRepeat& repeat);
    std::vector<Span> WholeRuns() const;
    static constexpr std::size_t noSplit = ~std::size_t{0};
    std::size_t SplitGroup(bool descending) const;
    // Appends the runs of other after this one's; neither may have a run under way.
    void Adopt(SortedRuns&& other);
    char* Pending() { return static_cast<char*>(pending_[filling_].data()); }
    void AppendNumber(std::uint64_t number);
    void Flush();
    void Write(std::size_t bytes);
    void WaitForWrite();
    [[noreturn]] void Fail(std::u16string_view message) const;

    // Runs are written to the last file.
    std::vector<std::unique_ptr<os::ScratchFile>> files_;
    std::vector<Run> runs_;
    // Bytes not yet written, at a block boundary of the file, in one of two buffers while the
    // other one is written.
    LargeBuffer pending_[2];
    std::size_t filling_ = 0;
    std::size_t pendingSize_ = 0;
    std::uint64_t written_ = 0;
    std::uint64_t keyCount_ = 0;
    // The first failure to write, told again by every later run.
    mutable std::u16string failure_;
    // The write of the buffer not being filled; last, so that it ends before the file closes.
    std::future<bool> writing_;
};

} // namespace trelvane
