// Sorted runs in a temporary file: length-prefixed keys (LEB128 lengths), each followed by its
// tag (LEB128), merged by a tournament of the runs.
#include "engine/sorted_runs.h"

#include "engine/address_key.h"
#include "engine/address_key_sort.h"
#include "engine/async_task.h"
#include "engine/notice.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <utility>

namespace trelvane {
namespace {

constexpr std::size_t writeBlockBytes = std::size_t{4} << 20;
constexpr std::size_t smallestReadBytes = std::size_t{4} << 10;
constexpr std::size_t largestReadBytes = std::size_t{4} << 20;
// The longest LEB128 length field.
constexpr std::size_t maxLengthFieldBytes = 10;
// Room before a block read ahead for the unread bytes of the block before.
constexpr std::size_t readFront = std::size_t{64} << 10;
// How often a merge for Combine looks whether it is to stop.
constexpr std::uint64_t stopCheckKeys = std::uint64_t{1} << 16;

const char16_t* const writeFailure = u"写入临时文件失败！";
const char16_t* const readFailure = u"读取临时文件失败！";

// Compared as a pair, the first number first.
using Rank = std::pair<std::uint64_t, std::uint64_t>;

std::size_t WholeBlocks(std::size_t bytes)
{
    return (bytes + os::scratchBlockBytes - 1) / os::scratchBlockBytes * os::scratchBlockBytes;
}

} // namespace

// Reads the keys of a span in order, in whole blocks from block boundaries, each block read on a
// thread of its own while the one before is taken apart.
class SortedRuns::Reader
{
public:
    Reader(const Span& span, std::size_t bufferBytes, bool descending)
        : descending_(descending), file_(*span.file),
          next_(span.begin / os::scratchBlockBytes * os::scratchBlockBytes), end_(span.end),
          readBytes_(WholeBlocks(bufferBytes)), skip_(span.begin - next_)
    {
    }

    /// Moves to the next key; false at the end of the run.
    bool Advance()
    {
        if (!Have(maxLengthFieldBytes)) {
            atEnd_ = true;
            rank_ = {~std::uint64_t{0}, ~std::uint64_t{0}};
            return false;
        }
        const std::size_t length = ReadNumber();
        if (!Have(length + maxLengthFieldBytes) || filled_ - start_ < length)
            Fail();
        key_ = std::string_view(Data() + start_, length);
        const std::uint64_t head =
            addresskey::LoadBigEndian(key_.data(), std::min<std::size_t>(length, 8));
        const std::uint64_t next =
            length > 8
                ? addresskey::LoadBigEndian(key_.data() + 8, std::min<std::size_t>(length - 8, 8))
                : 0;
        rank_ = descending_ ? Rank{~head, ~next} : Rank{head, next};
        start_ += length;
        tag_ = ReadNumber();
        return true;
    }
    bool AtEnd() const { return atEnd_; }
    std::string_view Key() const { return key_; }
    /// The key's first 16 bytes as two big-endian numbers, zeros after a shorter key, negated
    /// for a descending merge: keys whose ranks differ come in the order of their ranks. A run at
    /// its end has the highest rank.
    const Rank& KeyRank() const { return rank_; }
    std::uint64_t Tag() const { return tag_; }

private:
    char* Data() { return static_cast<char*>(buffer_.data()); }

    // Reads a LEB128 number at start_; its bytes must be in the buffer.
    std::uint64_t ReadNumber()
    {
        std::uint64_t number = 0;
        for (unsigned shift = 0;; shift += 7) {
            if (start_ == filled_ || shift >= 64)
                Fail();
            const auto byte = static_cast<unsigned char>(Data()[start_++]);
            number |= std::uint64_t{byte & 0x7Fu} << shift;
            if (byte < 0x80)
                return number;
        }
    }

    // Makes bytes unread bytes from start_ on available, as far as the span has them; false
    // when it has none left at all.
    bool Have(std::size_t bytes)
    {
        if (filled_ - start_ >= bytes)
            return true;
        if (!aheadRead_.valid())
            ReadAhead();
        while (filled_ - start_ < bytes && aheadRead_.valid())
            TakeAhead();
        return filled_ > start_;
    }

    // Asks for the next block of the span, read on a thread of its own into the other buffer,
    // after room for unread bytes.
    void ReadAhead()
    {
        if (next_ >= end_)
            return;
        if (ahead_.size() < readFront + readBytes_)
            ahead_.Allocate(readFront + readBytes_);
        os::ScratchFile* file = &file_;
        const std::uint64_t offset = next_;
        char* into = static_cast<char*>(ahead_.data()) + readFront;
        const std::size_t want = readBytes_;
        aheadRead_ =
            StartAsync([file, offset, into, want] { return file->ReadAt(offset, into, want); });
    }

    // Waits for the block read ahead and goes on in its buffer, the unread bytes moved before it;
    // then asks for the next block.
    void TakeAhead()
    {
        const std::ptrdiff_t count = aheadRead_.get();
        if (count <= 0)
            Fail();
        // The last block of a span may hold the start of the next one.
        const auto taken = static_cast<std::size_t>(
            std::min<std::uint64_t>(static_cast<std::uint64_t>(count), end_ - next_));
        next_ += taken;
        const std::size_t unread = filled_ - start_;
        char* block = static_cast<char*>(ahead_.data()) + readFront;
        if (unread <= readFront) {
            if (unread != 0)
                std::memcpy(block - unread, Data() + start_, unread);
            std::swap(buffer_, ahead_);
            start_ = readFront - unread;
            filled_ = readFront + taken;
        } else {
            // A key longer than the room before a block: both go to a buffer of their own.
            LargeBuffer joined;
            joined.Allocate(readFront + unread + taken);
            char* to = static_cast<char*>(joined.data());
            std::memcpy(to, Data() + start_, unread);
            std::memcpy(to + unread, block, taken);
            buffer_ = std::move(joined);
            start_ = 0;
            filled_ = unread + taken;
        }
        // A span that starts inside a block is read from the block's start.
        const std::size_t skipped = std::min(skip_, filled_ - start_);
        start_ += skipped;
        skip_ -= skipped;
        ReadAhead();
    }

    [[noreturn]] void Fail() const
    {
        throw ScratchFailure{FailureText(readFailure, file_.Folder(), file_.Error())};
    }

    bool descending_;
    os::ScratchFile& file_;
    std::uint64_t next_;
    std::uint64_t end_;
    std::size_t readBytes_;
    std::size_t skip_;
    LargeBuffer buffer_;
    LargeBuffer ahead_;
    std::size_t start_ = 0;
    std::size_t filled_ = 0;
    std::string_view key_;
    Rank rank_;
    std::uint64_t tag_ = 0;
    bool atEnd_ = false;
    // Last, so that a read under way ends before its buffer goes.
    std::future<std::ptrdiff_t> aheadRead_;
};

SortedRuns::SortedRuns() = default;

SortedRuns::~SortedRuns() = default;

SortedRuns::SortedRuns(SortedRuns&&) noexcept = default;

SortedRuns& SortedRuns::operator=(SortedRuns&& other) noexcept
{
    // A write in flight ends before its file closes.
    if (writing_.valid())
        writing_.wait();
    files_ = std::move(other.files_);
    runs_ = std::move(other.runs_);
    pending_[0] = std::move(other.pending_[0]);
    pending_[1] = std::move(other.pending_[1]);
    filling_ = other.filling_;
    pendingSize_ = other.pendingSize_;
    written_ = other.written_;
    keyCount_ = other.keyCount_;
    failure_ = std::move(other.failure_);
    writing_ = std::move(other.writing_);
    return *this;
}

void SortedRuns::Fail(std::u16string_view message) const
{
    if (failure_.empty()) {
        const os::ScratchFile* file = files_.empty() ? nullptr : files_.back().get();
        failure_ = FailureText(message, file != nullptr ? file->Folder() : std::u16string(),
                               file != nullptr ? file->Error() : 0);
    }
    throw ScratchFailure{failure_};
}

void SortedRuns::BeginRun()
{
    // After a failure the file is of no use: the next run fails the same way.
    if (!failure_.empty())
        throw ScratchFailure{failure_};
    if (files_.empty()) {
        files_.push_back(std::make_unique<os::ScratchFile>());
        if (!files_.back()->Create())
            Fail(writeFailure);
        for (LargeBuffer& buffer : pending_)
            buffer.Allocate(writeBlockBytes + os::scratchBlockBytes);
    }
    Run run;
    run.file = files_.size() - 1;
    run.offset = written_;
    runs_.push_back(std::move(run));
}

void SortedRuns::Add(std::string_view key, std::uint64_t tag)
{
    const std::size_t needed = pendingSize_ + key.size() + 2 * maxLengthFieldBytes;
    if (pending_[filling_].size() < needed)
        pending_[filling_].Grow(needed);
    Run& run = runs_.back();
    const std::size_t group = addresskey::GroupOf(key);
    if (run.groups.empty() || run.groups.back().group != group)
        run.groups.push_back({group, written_ + pendingSize_, run.keys});
    ++run.keys;
    AppendNumber(key.size());
    std::memcpy(Pending() + pendingSize_, key.data(), key.size());
    pendingSize_ += key.size();
    AppendNumber(tag);
    ++keyCount_;
    if (pendingSize_ >= writeBlockBytes)
        Flush();
}

void SortedRuns::AppendNumber(std::uint64_t number)
{
    char* out = Pending();
    for (; number >= 0x80; number >>= 7)
        out[pendingSize_++] = static_cast<char>(0x80 | (number & 0x7F));
    out[pendingSize_++] = static_cast<char>(number);
}

// A run ends on a block boundary, zeros after its last key, so that the next starts on one.
void SortedRuns::EndRun()
{
    const std::uint64_t end = written_ + pendingSize_;
    const std::size_t padded = WholeBlocks(pendingSize_);
    std::memset(Pending() + pendingSize_, 0, padded - pendingSize_);
    pendingSize_ = padded;
    Write(padded);
    runs_.back().bytes = end - runs_.back().offset;
}

void SortedRuns::Flush()
{
    Write(pendingSize_ / os::scratchBlockBytes * os::scratchBlockBytes);
}

// Starts writing the first bytes of the buffer being filled, on a thread of its own, and goes on
// filling the other buffer with the rest; the write before is waited for first.
void SortedRuns::Write(std::size_t bytes)
{
    WaitForWrite();
    LargeBuffer& next = pending_[1 - filling_];
    const std::size_t rest = pendingSize_ - bytes;
    if (next.size() < rest)
        next.Grow(rest);
    std::memcpy(next.data(), Pending() + bytes, rest);
    os::ScratchFile* file = files_.back().get();
    const char* block = Pending();
    writing_ = StartAsync([file, block, bytes] { return file->Append(block, bytes); });
    written_ += bytes;
    filling_ = 1 - filling_;
    pendingSize_ = rest;
}

void SortedRuns::WaitForWrite()
{
    if (writing_.valid() && !writing_.get())
        Fail(writeFailure);
}

void SortedRuns::Merge(bool descending, std::size_t readBudget, const Visit& visit,
                       const VisitRepeat& repeat)
{
    WaitForWrite();
    MergeSpans(WholeRuns(), descending, readBudget, visit, repeat);
}

std::vector<SortedRuns::Span> SortedRuns::WholeRuns() const
{
    std::vector<Span> spans;
    for (const Run& run : runs_)
        spans.push_back({files_[run.file].get(), run.offset, run.offset + run.bytes});
    return spans;
}

void SortedRuns::MergeSpans(const std::vector<Span>& spans, bool descending, std::size_t readBudget,
                            const Visit& visit, const VisitRepeat& repeat)
{
    const std::size_t bufferBytes = std::clamp(readBudget / std::max<std::size_t>(spans.size(), 1),
                                               smallestReadBytes, largestReadBytes);
    std::vector<Reader> readers;
    readers.reserve(spans.size());
    for (const Span& span : spans) {
        readers.emplace_back(span, bufferBytes / 2, descending);
        readers.back().Advance();
    }
    // Whether run a's key comes before run b's: a run at its end comes last; of equal keys, that
    // of the earlier run comes first.
    const auto before = [&readers, descending](std::size_t a, std::size_t b) {
        const Reader& x = readers[a];
        const Reader& y = readers[b];
        if (x.KeyRank() != y.KeyRank())
            return x.KeyRank() < y.KeyRank();
        if (x.AtEnd() || y.AtEnd())
            return !x.AtEnd();
        const int order = x.Key().compare(y.Key());
        if (order != 0)
            return (order < 0) != descending;
        return a < b;
    };
    // A tournament of the runs (a loser tree): inner node i of 1 to n - 1 keeps the run that lost
    // the match there, its children are 2i and 2i + 1, and run r plays from leaf n + r. When the
    // winner's key is replaced, only the matches on its path are played again: log2(n)
    // comparisons a key instead of the twice as many of a heap.
    const std::size_t n = readers.size();
    std::vector<std::size_t> losers(n);
    std::vector<std::size_t> winners(2 * n);
    for (std::size_t run = 0; run < n; ++run)
        winners[n + run] = run;
    for (std::size_t node = n; node-- > 1;) {
        const std::size_t a = winners[2 * node];
        const std::size_t b = winners[2 * node + 1];
        const bool aFirst = before(a, b);
        winners[node] = aFirst ? a : b;
        losers[node] = aFirst ? b : a;
    }
    std::size_t winner = n > 1 ? winners[1] : 0;
    std::string last;
    Rank lastRank;
    std::uint64_t lastTag = 0;
    bool any = false;
    while (n != 0 && !readers[winner].AtEnd()) {
        Reader& top = readers[winner];
        if (!any || top.KeyRank() != lastRank || top.Key() != last) {
            if (!visit(top.Key(), top.Tag()))
                return;
            last.assign(top.Key());
            lastRank = top.KeyRank();
            lastTag = top.Tag();
            any = true;
        } else if (repeat && !repeat(top.Key(), top.Tag(), lastTag)) {
            return;
        }
        top.Advance();
        for (std::size_t node = (n + winner) / 2; node >= 1; node /= 2) {
            if (before(losers[node], winner))
                std::swap(losers[node], winner);
        }
    }
}

// The group at which the keys split into two parts of about as many keys, to be merged on their
// own: the first group of the second part. noSplit when the parts would be too uneven (one
// group holds most keys) or too small to be worth a thread.
std::size_t SortedRuns::SplitGroup(bool descending) const
{
    using addresskey::groupCount;
    std::vector<std::uint64_t> counts(groupCount);
    for (const Run& run : runs_) {
        for (std::size_t at = 0; at < run.groups.size(); ++at) {
            const std::uint64_t next =
                at + 1 < run.groups.size() ? run.groups[at + 1].keysBefore : run.keys;
            counts[run.groups[at].group] += next - run.groups[at].keysBefore;
        }
    }
    const std::uint64_t total = keyCount_;
    std::uint64_t before = 0;
    for (std::size_t step = 0; step < groupCount; ++step) {
        const std::size_t group = descending ? groupCount - 1 - step : step;
        if (2 * (before + counts[group]) > total) {
            // Of this group's keys going first or second, the split that is more even.
            const std::uint64_t after = before + counts[group];
            const bool withFirst = after - total / 2 < total / 2 - before;
            const std::uint64_t first = withFirst ? after : before;
            if (total < addresskey::parallelSortKeys || first < total / 4 ||
                first > total - total / 4)
                return noSplit;
            const std::size_t next = withFirst ? step + 1 : step;
            return descending ? groupCount - 1 - next : next;
        }
        before += counts[group];
    }
    return noSplit;
}

std::optional<std::uint64_t> SortedRuns::Combine(bool descending, std::size_t readBudget,
                                                 const StopFlag* stop, const VisitRepeat& repeat)
{
    WaitForWrite();
    // Merges spans into one run of combined; false when stopped.
    const auto mergeInto = [&](const std::vector<Span>& spans, std::size_t budget,
                               SortedRuns& combined, std::uint64_t& distinct) {
        std::uint64_t keys = 0;
        bool ended = false;
        const auto goOn = [&] { return ++keys % stopCheckKeys != 0 || !StopRequested(stop); };
        VisitRepeat tellRepeat;
        if (repeat) {
            tellRepeat = [&](std::string_view key, std::uint64_t tag, std::uint64_t firstTag) {
                ended = !(repeat(key, tag, firstTag) && goOn());
                return !ended;
            };
        }
        combined.BeginRun();
        MergeSpans(
            spans, descending, budget,
            [&](std::string_view key, std::uint64_t tag) {
                combined.Add(key, tag);
                ++distinct;
                ended = !goOn();
                return !ended;
            },
            tellRepeat);
        combined.EndRun();
        return !ended;
    };
    const std::size_t split = repeat ? noSplit : SplitGroup(descending);
    SortedRuns combined;
    std::uint64_t distinct = 0;
    if (split == noSplit) {
        if (!mergeInto(WholeRuns(), readBudget, combined, distinct))
            return std::nullopt;
    } else {
        // Each run's keys before the split group, and from it on, merged by two threads.
        std::vector<Span> firstPart;
        std::vector<Span> secondPart;
        for (const Run& run : runs_) {
            const auto from =
                std::find_if(run.groups.begin(), run.groups.end(), [&](const GroupStart& start) {
                    return descending ? start.group <= split : start.group >= split;
                });
            const std::uint64_t middle =
                from != run.groups.end() ? from->offset : run.offset + run.bytes;
            os::ScratchFile* file = files_[run.file].get();
            firstPart.push_back({file, run.offset, middle});
            secondPart.push_back({file, middle, run.offset + run.bytes});
        }
        SortedRuns second;
        std::uint64_t secondDistinct = 0;
        bool done[2] = {false, false};
        std::exception_ptr failures[2];
        addresskey::RunOnTwoThreads(
            [&] {
                try {
                    done[1] = mergeInto(secondPart, readBudget / 2, second, secondDistinct);
                } catch (...) {
                    failures[1] = std::current_exception();
                }
            },
            [&] {
                try {
                    done[0] = mergeInto(firstPart, readBudget / 2, combined, distinct);
                } catch (...) {
                    failures[0] = std::current_exception();
                }
            });
        for (const std::exception_ptr& failure : failures) {
            if (failure)
                std::rethrow_exception(failure);
        }
        if (!done[0] || !done[1])
            return std::nullopt;
        second.WaitForWrite();
        combined.Adopt(std::move(second));
        distinct += secondDistinct;
    }
    combined.WaitForWrite();
    *this = std::move(combined);
    return distinct;
}

void SortedRuns::Adopt(SortedRuns&& other)
{
    const std::size_t shift = files_.size();
    for (Run& run : other.runs_) {
        run.file += shift;
        runs_.push_back(std::move(run));
    }
    for (auto& file : other.files_)
        files_.push_back(std::move(file));
    written_ = other.written_;
    keyCount_ += other.keyCount_;
    other = SortedRuns();
}

} // namespace trelvane
