// Writing a job's sorted set to the output file or its volumes.
#include "engine/result_writer.h"

#include "engine/code_page.h"
#include "engine/notice.h"
#include "engine/os/file.h"
#include "engine/output_piece.h"
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
// The set is prepared for output in pieces of up to this many lines, at most pieceSlots of them
// ahead of the one being written: about 4 MiB in flight for lines of usual length, which lets
// the preparing thread run on while a written block waits for the disk.
constexpr std::size_t pieceLines = 16384;
constexpr std::size_t pieceSlots = 8;

// The files of one run: outputPath, then its numbered volumes. Each is written to a new file
// beside its final name; only when every file has been written and closed are they renamed over
// their final names, so a failed or stopped run leaves earlier files as they were, and a file
// with a final name is always whole.
class VolumeStream
{
public:
    explicit VolumeStream(const std::u16string& stem) : stem_(stem)
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

    // Appends an address line already in the code page, with its line end.
    void AppendAddressLine(std::string_view bytes)
    {
        buffer_.append(bytes);
        ++volumes_.back().lines;
    }

    void AppendBytes(const std::string& bytes) { buffer_.append(bytes); }

    bool FlushIfFull() { return buffer_.size() < blockBytes || Flush(); }

    // Writes what is buffered and closes the current file; false if either fails.
    bool Finish()
    {
        if (!Flush())
            return false;
        if (!file_.Close())
            return WriteFailed();
        return true;
    }

    // Renames every written file over its final name, in volume order; returns the address
    // lines of the files put in place. At a failed rename the files from there on are removed,
    // and their final names keep what they held.
    int Commit()
    {
        int placed = 0;
        for (std::size_t i = 0; i < volumes_.size(); ++i) {
            const int error =
                volumes_[i].temporaryPath.empty()
                    ? 0
                    : os::ReplaceFile(volumes_[i].temporaryPath, volumes_[i].finalPath);
            if (error != 0) {
                failure_ =
                    trelvane::FailureText(u"写入输出文件失败！", volumes_[i].finalPath, error);
                volumes_.erase(volumes_.begin(), volumes_.begin() + static_cast<std::ptrdiff_t>(i));
                Discard();
                return placed;
            }
            placed += volumes_[i].lines;
        }
        volumes_.clear();
        return placed;
    }

    // Closes the current file and removes every file of this run not yet put in place.
    void Discard()
    {
        file_.Close();
        for (const Volume& volume : volumes_) {
            if (!volume.temporaryPath.empty())
                os::RemoveFile(volume.temporaryPath);
        }
        volumes_.clear();
    }

    // What failed, where and why, once a call returned false.
    const std::u16string& Failure() const { return failure_; }

private:
    struct Volume
    {
        std::u16string finalPath;
        std::u16string temporaryPath; // empty for a device or a pipe, written in place
        int lines = 0;
    };

    bool Open(const std::u16string& path)
    {
        if (!file_.CreateBeside(path)) {
            failure_ = trelvane::FailureText(u"打开输出文件失败！", path, file_.Error());
            return false;
        }
        volumes_.push_back({path, file_.Path(), 0});
        return true;
    }

    bool WriteFailed()
    {
        failure_ =
            trelvane::FailureText(u"写入输出文件失败！", volumes_.back().finalPath, file_.Error());
        return false;
    }

    // A failed block is dropped, not retried: the run fails anyway.
    bool Flush()
    {
        const bool written = buffer_.empty() || file_.Write(buffer_.data(), buffer_.size());
        buffer_.clear();
        return written || WriteFailed();
    }

    const std::u16string& stem_;
    os::OutputFile file_;
    std::string buffer_;
    std::vector<Volume> volumes_;
    std::u16string failure_;
    int volumeNumber_ = 0;
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

// One run of the writer over one set.
class ResultRun
{
public:
    ResultRun(const AddressJobRecord& job, const AddressSet& set, const StopFlag* stop)
        : job_(job), set_(set), stop_(stop), out_(job.outputPath),
          maker_(SystemCodePage(), job.keepOnlySuffixes ? &job.keepSuffixList : nullptr,
                 job.removalSink != nullptr),
          pieces_(pieceSlots)
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
            ShowNotice(out_.Failure());
            Report(0);
            return;
        }
        if (!PrepareTestBlock())
            return;
        const bool written = WriteSet() && (Stopped() || out_.Finish());
        if (Stopped() || !written) {
            out_.Discard();
            if (!written && !Stopped())
                ShowNotice(out_.Failure());
            Report(0);
            return;
        }
        const int placed = out_.Commit();
        if (!out_.Failure().empty())
            ShowNotice(out_.Failure());
        Report(placed);
    }

    bool Stopped() const { return StopRequested(stop_); }

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
        total_ = ReportedCount(static_cast<std::int64_t>(set_.Size()));
        bool ok = true;
        set_.WalkPieces(
            pieceLines, pieceSlots,
            [this](const KeyPiece& keys, std::size_t slot) { maker_.Make(keys, pieces_[slot]); },
            [this, &ok](std::size_t slot) { return WritePiece(pieces_[slot], ok); });
        return ok;
    }

    // Handles the lines of a piece in order; false to end the walk, with ok false when a write
    // or an open failed.
    bool WritePiece(const OutputPiece& piece, bool& ok)
    {
        std::size_t start = 0;
        std::size_t skipped = 0;
        for (const std::uint32_t end : piece.ends) {
            if (Stopped())
                return false;
            job_.report->OnOutputProgress(total_, ReportedCount(++position_));
            if (Stopped())
                return false;
            if (end == start) {
                TellSkipped(piece, skipped++);
                continue;
            }
            ok = WriteLine(std::string_view(piece.bytes).substr(start, end - start));
            if (!ok)
                return false;
            start = end;
        }
        return true;
    }

    void TellSkipped(const OutputPiece& piece, std::size_t index)
    {
        if (job_.removalSink == nullptr)
            return;
        const OutputPiece::Skipped& line = piece.skipped[index];
        const std::size_t textStart = index == 0 ? 0 : piece.skipped[index - 1].textEnd;
        job_.removalSink->OnLineSkipped(
            line.reason,
            std::u16string_view(piece.skippedText).substr(textStart, line.textEnd - textStart),
            line.place);
    }

    bool WriteLine(std::string_view line)
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
    const OutputPieceMaker maker_;
    std::vector<OutputPiece> pieces_;
    std::string testBlock_;
    int total_ = 0;
    std::int64_t position_ = 0;
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
