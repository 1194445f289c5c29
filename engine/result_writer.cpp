// Writing a job's sorted set to the output file or its volumes.
#include "engine/result_writer.h"

#include "engine/address_line.h"
#include "engine/code_page.h"
#include "engine/notice.h"
#include "engine/os/file.h"
#include "engine/settings_text.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace trelvane {
namespace {

// Output leaves the process in blocks of this size, so memory does not grow with the output.
constexpr std::size_t blockBytes = std::size_t{1} << 20;
constexpr std::string_view lineEnd = "\r\n";

// The files of one run: outputPath, then its numbered volumes. Counts the address lines whose
// bytes have reached the files: a line counts once the write that carried it succeeded, and
// stops counting if closing its file fails, since the system then vouches for none of it.
class VolumeStream
{
public:
    VolumeStream(const std::u16string& stem, const CodePage& codePage)
        : stem_(stem), codePage_(codePage)
    {
        buffer_.reserve(blockBytes + blockBytes / 8);
    }

    bool OpenFirst() { return Open(stem_); }

    // Closes the current file and opens the volume with the next number.
    bool OpenNextVolume()
    {
        if (!Finish())
            return false;
        ++volumeNumber_;
        return Open(stem_ + u".part" + DecimalText(volumeNumber_) + u".txt");
    }

    void AppendAddressLine(std::u16string_view line)
    {
        // Address lines were decoded with this code page, so every character has a form.
        codePage_.Encode(line, buffer_);
        buffer_.append(lineEnd);
        ++bufferedLines_;
    }

    void AppendBytes(const std::string& bytes) { buffer_.append(bytes); }

    bool FlushIfFull() { return buffer_.size() < blockBytes || Flush(); }

    // Writes what is buffered and closes the current file; false if either fails.
    bool Finish()
    {
        const bool flushed = Flush();
        const bool closed = file_.Close();
        if (!closed)
            flushedLines_ = 0;
        closedLines_ += flushedLines_;
        flushedLines_ = 0;
        return flushed && closed;
    }

    // Closes the current file and removes every file this run opened.
    void Discard()
    {
        file_.Close();
        for (const std::u16string& path : openedPaths_)
            os::RemoveFile(path);
    }

    int ArrivedLines() const { return closedLines_ + flushedLines_; }

private:
    bool Open(const std::u16string& path)
    {
        if (!file_.Open(path))
            return false;
        openedPaths_.push_back(path);
        return true;
    }

    // A failed block is dropped, not retried: part of it may already be in the file.
    bool Flush()
    {
        const bool written = buffer_.empty() || file_.Write(buffer_.data(), buffer_.size());
        if (written)
            flushedLines_ += bufferedLines_;
        buffer_.clear();
        bufferedLines_ = 0;
        return written;
    }

    const std::u16string& stem_;
    const CodePage& codePage_;
    os::OutputFile file_;
    std::string buffer_;
    std::vector<std::u16string> openedPaths_;
    int volumeNumber_ = 0;
    int bufferedLines_ = 0;
    int flushedLines_ = 0;
    int closedLines_ = 0;
};

// The encoded test-address block; entries the code page cannot represent are left out whole,
// since an address with characters missing may be somebody else's address.
std::string EncodeTestBlock(const std::vector<std::u16string>& addresses, const CodePage& codePage,
                            bool& lossy)
{
    std::string block;
    lossy = false;
    for (const std::u16string& address : addresses) {
        if (!codePage.CanEncode(address)) {
            lossy = true;
            continue;
        }
        codePage.Encode(address, block);
        block.append(lineEnd);
    }
    return block;
}

bool IsKept(const AddressJobRecord& job, std::u16string_view line)
{
    return !job.keepOnlySuffixes || HasListedSuffix(line, job.keepSuffixList);
}

// One run of the writer over one set.
class ResultRun
{
public:
    ResultRun(const AddressJobRecord& job, const AddressSet& set, const StopFlag* stop)
        : job_(job), set_(set), stop_(stop), out_(job.outputPath, SystemCodePage())
    {
        // A value below 1 would make every count a multiple of nothing: the option is off.
        testInterval_ = job.useTestAddresses ? std::max(job.testInterval, 0) : 0;
        linesPerVolume_ = job.mergeOutput ? 0 : std::max(job.maxLinesPerVolume, 0);
    }

    void Run()
    {
        try {
            RunUnguarded();
        } catch (...) {
            // A failure on the way (out of memory) leaves no partial output behind.
            if (!reported_)
                out_.Discard();
            throw;
        }
    }

private:
    void RunUnguarded()
    {
        if (Stopped())
            return;
        if (!out_.OpenFirst()) {
            ShowNotice(u"打开输出文件失败！");
            Report(0);
            return;
        }
        if (!PrepareTestBlock())
            return;
        const bool failed = !WriteSet() || (!Stopped() && !out_.Finish());
        if (Stopped()) {
            out_.Discard();
            return;
        }
        if (failed)
            ReportWriteFailure();
        else
            Report(out_.ArrivedLines());
    }

    bool Stopped() const { return stop_ != nullptr && stop_->IsRequested(); }

    // Encodes the test block and tells the user about entries that cannot be written; false
    // when a stop came meanwhile (the opened file is then removed).
    bool PrepareTestBlock()
    {
        if (testInterval_ == 0)
            return true;
        bool lossy = false;
        testBlock_ = EncodeTestBlock(job_.testAddresses, SystemCodePage(), lossy);
        if (lossy)
            ShowNotice(u"测试邮址含有无法写出的字符！");
        if (!Stopped())
            return true;
        out_.Discard();
        return false;
    }

    // Walks the set; false when a write or a later open fails. Returns early on a stop.
    bool WriteSet()
    {
        const int total = ReportedCount(static_cast<std::int64_t>(set_.Size()));
        std::int64_t position = 0;
        bool ok = true;
        set_.ForEach([&](std::u16string_view line) {
            if (Stopped())
                return false;
            job_.report->OnOutputProgress(total, ReportedCount(++position));
            if (Stopped())
                return false;
            if (line.empty() || !IsKept(job_, line))
                return true;
            ok = WriteLine(line);
            return ok;
        });
        return ok;
    }

    bool WriteLine(std::u16string_view line)
    {
        out_.AppendAddressLine(line);
        ++handedLines_;
        if (testInterval_ > 0 && ++testCounter_ == testInterval_) {
            out_.AppendBytes(testBlock_);
            testCounter_ = 0;
        }
        if (linesPerVolume_ > 0 && handedLines_ % linesPerVolume_ == 0)
            return out_.OpenNextVolume();
        return out_.FlushIfFull();
    }

    // Closes what is open, tells the user and reports the lines that reached the files; a stop
    // during the notice removes the files instead.
    void ReportWriteFailure()
    {
        out_.Finish();
        ShowNotice(u"写入输出文件失败！");
        if (Stopped()) {
            out_.Discard();
            return;
        }
        Report(out_.ArrivedLines());
    }

    void Report(int writtenCount)
    {
        if (Stopped())
            return;
        reported_ = true;
        job_.report->OnOutputFinished(job_.filteredCount, writtenCount);
    }

    const AddressJobRecord& job_;
    const AddressSet& set_;
    const StopFlag* stop_;
    VolumeStream out_;
    std::string testBlock_;
    int testInterval_ = 0;
    int linesPerVolume_ = 0;
    int handedLines_ = 0;
    int testCounter_ = 0;
    bool reported_ = false;
};

} // namespace

void WriteResults(const AddressJobRecord& job, const AddressSet& set, const StopFlag* stop)
{
    ResultRun(job, set, stop).Run();
}

} // namespace trelvane
