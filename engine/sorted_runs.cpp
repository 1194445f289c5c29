// Sorted runs in a temporary file: length-prefixed keys (LEB128 lengths), merged with a heap.
#include "engine/sorted_runs.h"

#include "engine/notice.h"

#include <algorithm>
#include <cstring>

namespace trelvane {
namespace {

constexpr std::size_t writeBlockBytes = std::size_t{1} << 20;
constexpr std::size_t smallestReadBytes = std::size_t{4} << 10;
constexpr std::size_t largestReadBytes = std::size_t{4} << 20;
// The longest LEB128 length field.
constexpr std::size_t maxLengthFieldBytes = 10;

const char16_t* const writeFailure = u"写入临时文件失败！";
const char16_t* const readFailure = u"读取临时文件失败！";

} // namespace

// Reads one run's keys in order, through a buffer that grows for a key longer than it.
class SortedRuns::Reader
{
public:
    Reader(SortedRuns& runs, const Run& run, std::size_t bufferBytes)
        : runs_(runs), next_(run.offset), end_(run.offset + run.bytes), buffer_(bufferBytes, '\0')
    {
    }

    /// Moves to the next key; false at the end of the run.
    bool Advance()
    {
        if (!Have(maxLengthFieldBytes))
            return false;
        std::size_t length = 0;
        std::size_t at = start_;
        for (unsigned shift = 0;; shift += 7) {
            if (at == filled_)
                runs_.Fail(readFailure);
            const auto byte = static_cast<unsigned char>(buffer_[at++]);
            length |= static_cast<std::size_t>(byte & 0x7F) << shift;
            if (byte < 0x80)
                break;
        }
        return Take(at - start_, length);
    }

    std::string_view Key() const { return key_; }

private:
    // Takes the key of length bytes after a length field of fieldBytes at start_.
    bool Take(std::size_t fieldBytes, std::size_t length)
    {
        if (!Have(fieldBytes + length) || filled_ - start_ < fieldBytes + length)
            runs_.Fail(readFailure);
        key_ = std::string_view(buffer_.data() + start_ + fieldBytes, length);
        start_ += fieldBytes + length;
        return true;
    }

    // Makes bytes unread bytes from start_ on available, as far as the run has them; false
    // when the run has none left at all.
    bool Have(std::size_t bytes)
    {
        if (filled_ - start_ >= bytes)
            return true;
        // Keys handed out before are no longer looked at: move the unread bytes to the front.
        std::memmove(buffer_.data(), buffer_.data() + start_, filled_ - start_);
        filled_ -= start_;
        start_ = 0;
        if (buffer_.size() < bytes)
            buffer_.resize(std::max(bytes, 2 * buffer_.size()));
        while (filled_ < bytes && next_ < end_) {
            const std::size_t want = static_cast<std::size_t>(
                std::min<std::uint64_t>(buffer_.size() - filled_, end_ - next_));
            const std::ptrdiff_t count = runs_.file_->ReadAt(next_, buffer_.data() + filled_, want);
            if (count <= 0)
                runs_.Fail(readFailure);
            filled_ += static_cast<std::size_t>(count);
            next_ += static_cast<std::uint64_t>(count);
        }
        return filled_ > start_;
    }

    SortedRuns& runs_;
    std::uint64_t next_;
    std::uint64_t end_;
    std::string buffer_;
    std::size_t start_ = 0;
    std::size_t filled_ = 0;
    std::string_view key_;
};

SortedRuns::SortedRuns() = default;

SortedRuns::~SortedRuns() = default;

void SortedRuns::Fail(std::u16string_view message) const
{
    throw ScratchFailure{FailureText(message, file_ ? file_->Folder() : std::u16string(),
                                     file_ ? file_->Error() : 0)};
}

void SortedRuns::BeginRun()
{
    if (!file_) {
        auto file = std::make_unique<os::ScratchFile>();
        const bool created = file->Create();
        file_ = std::move(file);
        if (!created)
            Fail(writeFailure);
        pending_.reserve(writeBlockBytes + maxLengthFieldBytes);
    }
    runs_.push_back({written_, 0});
}

void SortedRuns::Add(std::string_view key)
{
    std::size_t length = key.size();
    for (; length >= 0x80; length >>= 7)
        pending_.push_back(static_cast<char>(0x80 | (length & 0x7F)));
    pending_.push_back(static_cast<char>(length));
    pending_.append(key);
    ++keyCount_;
    if (pending_.size() >= writeBlockBytes)
        Flush();
}

void SortedRuns::EndRun()
{
    Flush();
    runs_.back().bytes = written_ - runs_.back().offset;
}

void SortedRuns::Flush()
{
    if (!file_->Append(pending_.data(), pending_.size()))
        Fail(writeFailure);
    written_ += pending_.size();
    pending_.clear();
}

void SortedRuns::Merge(bool descending, std::size_t readBudget,
                       const std::function<bool(std::string_view)>& visit)
{
    const std::size_t bufferBytes = std::clamp(readBudget / std::max<std::size_t>(runs_.size(), 1),
                                               smallestReadBytes, largestReadBytes);
    std::vector<Reader> readers;
    readers.reserve(runs_.size());
    for (const Run& run : runs_)
        readers.emplace_back(*this, run, bufferBytes);
    // A heap of the readers that have a key, the next key in the merged order on top.
    std::vector<Reader*> heap;
    for (Reader& reader : readers) {
        if (reader.Advance())
            heap.push_back(&reader);
    }
    const auto later = [descending](const Reader* a, const Reader* b) {
        return descending ? a->Key() < b->Key() : b->Key() < a->Key();
    };
    std::make_heap(heap.begin(), heap.end(), later);
    std::string last;
    bool any = false;
    while (!heap.empty()) {
        std::pop_heap(heap.begin(), heap.end(), later);
        Reader* top = heap.back();
        if (!any || top->Key() != last) {
            if (!visit(top->Key()))
                return;
            last.assign(top->Key());
            any = true;
        }
        if (top->Advance())
            std::push_heap(heap.begin(), heap.end(), later);
        else
            heap.pop_back();
    }
}

} // namespace trelvane
