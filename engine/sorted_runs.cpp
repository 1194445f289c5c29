// Sorted runs in a temporary file: length-prefixed keys (LEB128 lengths), each followed by its
// tag (LEB128), merged by a tournament of the runs.
#include "engine/sorted_runs.h"

#include "engine/address_key_sort.h"
#include "engine/notice.h"

#include <algorithm>
#include <cstring>
#include <system_error>

namespace trelvane {
namespace {

constexpr std::size_t writeBlockBytes = std::size_t{4} << 20;
constexpr std::size_t smallestReadBytes = std::size_t{4} << 10;
constexpr std::size_t largestReadBytes = std::size_t{4} << 20;
// The longest LEB128 length field.
constexpr std::size_t maxLengthFieldBytes = 10;

const char16_t* const writeFailure = u"写入临时文件失败！";
const char16_t* const readFailure = u"读取临时文件失败！";

std::size_t WholeBlocks(std::size_t bytes)
{
    return (bytes + os::scratchBlockBytes - 1) / os::scratchBlockBytes * os::scratchBlockBytes;
}

} // namespace

// Reads one run's keys in order, in whole blocks from block boundaries, through a buffer that
// grows for a key longer than it.
class SortedRuns::Reader
{
public:
    Reader(SortedRuns& runs, const Run& run, std::size_t bufferBytes)
        : runs_(runs), next_(run.offset), end_(run.offset + run.bytes),
          readBytes_(WholeBlocks(bufferBytes))
    {
    }

    /// Moves to the next key; false at the end of the run.
    bool Advance()
    {
        if (!Have(maxLengthFieldBytes)) {
            atEnd_ = true;
            return false;
        }
        const std::size_t length = ReadNumber();
        if (!Have(length + maxLengthFieldBytes) || filled_ - start_ < length)
            runs_.Fail(readFailure);
        key_ = std::string_view(Data() + start_, length);
        prefix_ = addresskey::LoadBigEndian(key_.data(), std::min(length, sizeof prefix_));
        start_ += length;
        tag_ = ReadNumber();
        return true;
    }
    bool AtEnd() const { return atEnd_; }
    std::string_view Key() const { return key_; }
    /// The key's first 8 bytes as a big-endian number, zeros after a shorter key: keys whose
    /// prefixes differ are in the order of their prefixes.
    std::uint64_t Prefix() const { return prefix_; }
    std::uint64_t Tag() const { return tag_; }

private:
    char* Data() { return static_cast<char*>(buffer_.data()); }

    // Reads a LEB128 number at start_; its bytes must be in the buffer.
    std::uint64_t ReadNumber()
    {
        std::uint64_t number = 0;
        for (unsigned shift = 0;; shift += 7) {
            if (start_ == filled_ || shift >= 64)
                runs_.Fail(readFailure);
            const auto byte = static_cast<unsigned char>(Data()[start_++]);
            number |= std::uint64_t{byte & 0x7Fu} << shift;
            if (byte < 0x80)
                return number;
        }
    }

    // Makes bytes unread bytes from start_ on available, as far as the run has them; false
    // when the run has none left at all.
    bool Have(std::size_t bytes)
    {
        if (filled_ - start_ >= bytes)
            return true;
        // Keys handed out before are no longer looked at: the unread bytes move to just before
        // a block boundary, where the next read lands.
        const std::size_t unread = filled_ - start_;
        const std::size_t front = WholeBlocks(unread);
        const std::size_t room = front + std::max(readBytes_, WholeBlocks(bytes));
        if (buffer_.size() < room) {
            LargeBuffer larger;
            larger.Allocate(room);
            std::memcpy(static_cast<char*>(larger.data()) + front - unread, Data() + start_,
                        unread);
            buffer_ = std::move(larger);
        } else {
            std::memmove(Data() + front - unread, Data() + start_, unread);
        }
        start_ = front - unread;
        filled_ = front;
        while (filled_ - start_ < bytes && next_ < end_) {
            const std::size_t want =
                (buffer_.size() - filled_) / os::scratchBlockBytes * os::scratchBlockBytes;
            const std::ptrdiff_t count = runs_.file_->ReadAt(next_, Data() + filled_, want);
            if (count <= 0)
                runs_.Fail(readFailure);
            // The last block of a run may hold the start of the next one.
            const auto taken = static_cast<std::size_t>(
                std::min<std::uint64_t>(static_cast<std::uint64_t>(count), end_ - next_));
            filled_ += taken;
            next_ += taken;
        }
        return filled_ > start_;
    }

    SortedRuns& runs_;
    std::uint64_t next_;
    std::uint64_t end_;
    std::size_t readBytes_;
    LargeBuffer buffer_;
    std::size_t start_ = 0;
    std::size_t filled_ = 0;
    std::string_view key_;
    std::uint64_t prefix_ = 0;
    std::uint64_t tag_ = 0;
    bool atEnd_ = false;
};

SortedRuns::SortedRuns() = default;

SortedRuns::~SortedRuns() = default;

SortedRuns::SortedRuns(SortedRuns&&) noexcept = default;

SortedRuns& SortedRuns::operator=(SortedRuns&& other) noexcept
{
    // A write in flight ends before its file closes.
    if (writing_.valid())
        writing_.wait();
    file_ = std::move(other.file_);
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
    if (failure_.empty())
        failure_ = FailureText(message, file_ ? file_->Folder() : std::u16string(),
                               file_ ? file_->Error() : 0);
    throw ScratchFailure{failure_};
}

void SortedRuns::BeginRun()
{
    // After a failure the file is of no use: the next run fails the same way.
    if (!failure_.empty())
        throw ScratchFailure{failure_};
    if (!file_) {
        auto file = std::make_unique<os::ScratchFile>();
        const bool created = file->Create();
        file_ = std::move(file);
        if (!created)
            Fail(writeFailure);
        for (LargeBuffer& buffer : pending_)
            buffer.Allocate(writeBlockBytes + os::scratchBlockBytes);
    }
    runs_.push_back({written_, 0});
}

void SortedRuns::Add(std::string_view key, std::uint64_t tag)
{
    const std::size_t needed = pendingSize_ + key.size() + 2 * maxLengthFieldBytes;
    if (pending_[filling_].size() < needed)
        pending_[filling_].Grow(needed);
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
    os::ScratchFile* file = file_.get();
    const char* block = Pending();
    try {
        writing_ = std::async(std::launch::async,
                              [file, block, bytes] { return file->Append(block, bytes); });
    } catch (const std::system_error&) {
        // No thread to be had: the block is written now.
        if (!file->Append(block, bytes))
            Fail(writeFailure);
    }
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
    const std::size_t bufferBytes = std::clamp(readBudget / std::max<std::size_t>(runs_.size(), 1),
                                               smallestReadBytes, largestReadBytes);
    std::vector<Reader> readers;
    readers.reserve(runs_.size());
    for (const Run& run : runs_) {
        readers.emplace_back(*this, run, bufferBytes);
        readers.back().Advance();
    }
    // Whether run a's key comes before run b's: a run at its end comes last; of equal keys, that
    // of the earlier run comes first.
    const auto before = [&readers, descending](std::size_t a, std::size_t b) {
        const Reader& x = readers[a];
        const Reader& y = readers[b];
        if (x.AtEnd() || y.AtEnd())
            return !x.AtEnd();
        if (x.Prefix() != y.Prefix())
            return (x.Prefix() < y.Prefix()) != descending;
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
    std::uint64_t lastPrefix = 0;
    std::uint64_t lastTag = 0;
    bool any = false;
    while (n != 0 && !readers[winner].AtEnd()) {
        Reader& top = readers[winner];
        if (!any || top.Prefix() != lastPrefix || top.Key() != last) {
            if (!visit(top.Key(), top.Tag()))
                return;
            last.assign(top.Key());
            lastPrefix = top.Prefix();
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

} // namespace trelvane
