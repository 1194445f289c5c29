// Sorted runs in a temporary file: length-prefixed keys (LEB128 lengths), each followed by its
// tag (LEB128), merged with a heap.
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
        const std::size_t length = ReadNumber();
        if (!Have(length + maxLengthFieldBytes) || filled_ - start_ < length)
            runs_.Fail(readFailure);
        key_ = std::string_view(buffer_.data() + start_, length);
        start_ += length;
        tag_ = ReadNumber();
        return true;
    }
    std::string_view Key() const { return key_; }
    std::uint64_t Tag() const { return tag_; }

private:
    // Reads a LEB128 number at start_; its bytes must be in the buffer.
    std::uint64_t ReadNumber()
    {
        std::uint64_t number = 0;
        for (unsigned shift = 0;; shift += 7) {
            if (start_ == filled_ || shift >= 64)
                runs_.Fail(readFailure);
            const auto byte = static_cast<unsigned char>(buffer_[start_++]);
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
    std::uint64_t tag_ = 0;
};

SortedRuns::SortedRuns() = default;

SortedRuns::~SortedRuns() = default;

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
        pending_.reserve(writeBlockBytes + 2 * maxLengthFieldBytes);
    }
    runs_.push_back({written_, 0});
}

void SortedRuns::Add(std::string_view key, std::uint64_t tag)
{
    AppendNumber(key.size());
    pending_.append(key);
    AppendNumber(tag);
    ++keyCount_;
    if (pending_.size() >= writeBlockBytes)
        Flush();
}

void SortedRuns::AppendNumber(std::uint64_t number)
{
    for (; number >= 0x80; number >>= 7)
        pending_.push_back(static_cast<char>(0x80 | (number & 0x7F)));
    pending_.push_back(static_cast<char>(number));
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

void SortedRuns::Merge(bool descending, std::size_t readBudget, const Visit& visit,
                       const VisitRepeat& repeat)
{
    const std::size_t bufferBytes = std::clamp(readBudget / std::max<std::size_t>(runs_.size(), 1),
                                               smallestReadBytes, largestReadBytes);
    std::vector<Reader> readers;
    readers.reserve(runs_.size());
    for (const Run& run : runs_)
        readers.emplace_back(*this, run, bufferBytes);
    // A heap of the readers that have a key, the next key in the merged order on top; of equal
    // keys, the one of the earliest run.
    std::vector<Reader*> heap;
    for (Reader& reader : readers) {
        if (reader.Advance())
            heap.push_back(&reader);
    }
    const auto later = [descending](const Reader* a, const Reader* b) {
        const int order = a->Key().compare(b->Key());
        if (order != 0)
            return descending ? order < 0 : order > 0;
        return a > b;
    };
    std::make_heap(heap.begin(), heap.end(), later);
    std::string last;
    std::uint64_t lastTag = 0;
    bool any = false;
    while (!heap.empty()) {
        std::pop_heap(heap.begin(), heap.end(), later);
        Reader* top = heap.back();
        if (!any || top->Key() != last) {
            if (!visit(top->Key(), top->Tag()))
                return;
            last.assign(top->Key());
            lastTag = top->Tag();
            any = true;
        } else if (repeat && !repeat(top->Key(), top->Tag(), lastTag)) {
            return;
        }
        if (top->Advance())
            std::push_heap(heap.begin(), heap.end(), later);
        else
            heap.pop_back();
    }
}

} // namespace trelvane
