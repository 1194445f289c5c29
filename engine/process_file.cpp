// The per-line rules of processing: suffix filter, exclusion, de-duplication. One thread reads
// and decodes a file's lines and applies the rules to every other one, while the calling thread
// applies them to the rest and puts the lines into the set.
#include "engine/process_file.h"

#include "engine/address_key.h"
#include "engine/address_line.h"
#include "engine/batch_hand_off.h"
#include "engine/os/file.h"

#include <exception>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace trelvane {
namespace {

constexpr std::size_t linesPerBatch = 4096;
constexpr std::size_t batchCount = 4;
// How many lines ahead the set is asked for a line's index entry, and for the line it names.
constexpr std::size_t prefetchDistance = 16;
constexpr std::size_t matchDistance = 8;

/// The rule that drops a line before it reaches the set.
struct Drop
{
    bool dropped = false;
    RemovalReason reason = RemovalReason::OverLong;
    std::int64_t hashedEntry = 0; ///< the matching line of the hashed list
    std::int64_t entryLine = 0;   ///< the matching line of the exclusion file
};

/// The job's rules as they apply to one file, for one thread.
class Rules
{
public:
    Rules(const AddressJobRecord& job, const JobExclusions* exclusions,
          const HashedExclusions* hashed)
        : exclusions_(job.useExclusionFile ? exclusions : nullptr), hashed_(hashed)
    {
        if (job.deleteSuffixes)
            deleteSuffixes_.emplace(job.deleteSuffixList);
    }

    /// Whether any rule looks at the lines' texts.
    bool Any() const { return deleteSuffixes_ || exclusions_ != nullptr || hashed_ != nullptr; }
    const JobExclusions& Exclusions() const { return *exclusions_; }
    const HashedExclusions& Hashed() const { return *hashed_; }

    Drop Judge(const ReadLine& line)
    {
        if (line.overLong)
            return {true, RemovalReason::OverLong};
        if (!Any())
            return {};
        return line.ascii ? JudgeAscii(line.AsciiBody()) : Judge(line.text);
    }

    /// Judges the text of a line that is not over-long.
    Drop Judge(std::u16string_view text)
    {
        if (deleteSuffixes_ && deleteSuffixes_->Holds(text))
            return {true, RemovalReason::DeletedSuffix};
        if (exclusions_ != nullptr) {
            if (const std::int64_t entry = exclusions_->EntryLine(text); entry != 0)
                return {true, RemovalReason::Excluded, 0, entry};
        }
        return JudgeHashed(text);
    }

    /// Judge of an ASCII line without LF or CR, given as its bytes, which are its key too.
    Drop JudgeAscii(std::string_view bytes)
    {
        if (deleteSuffixes_ && deleteSuffixes_->HoldsAscii(bytes))
            return {true, RemovalReason::DeletedSuffix};
        if (exclusions_ != nullptr) {
            if (const std::int64_t entry = exclusions_->EntryLineOfKey(bytes); entry != 0)
                return {true, RemovalReason::Excluded, 0, entry};
        }
        if (hashed_ == nullptr)
            return {};
        WidenAscii(bytes, scratch_);
        return JudgeHashed(scratch_);
    }

private:
    Drop JudgeHashed(std::u16string_view text) const
    {
        if (hashed_ != nullptr) {
            if (const std::int64_t entry = hashed_->Match(text); entry != 0)
                return {true, RemovalReason::Excluded, entry};
        }
        return {};
    }

    std::optional<SuffixLookup> deleteSuffixes_;
    const JobExclusions* exclusions_;
    const HashedExclusions* hashed_;
    std::u16string scratch_;
};

/// Lines read and judged, with the set's key of each line not dropped, waiting to be put into the
/// set. The texts, and the keys' hashes, are kept only for the removal report and for the lines
/// left to the inserting thread to judge.
struct LineBatch
{
    struct Line
    {
        std::int64_t number;
        std::size_t keyOffset; ///< of the key in keys
        std::size_t keyLength;
        std::size_t textOffset; ///< of the text in texts
        std::size_t textLength;
        Drop drop;
        std::uint32_t hash; ///< AddressSet::HashOf the key, with texts only
        bool ascii;         ///< the key is the line's text, as bytes
        bool unjudged;      ///< the rules are still to be applied (see JudgeRest)
    };

    bool keepTexts = false;
    std::string keys;
    std::u16string texts;
    std::vector<Line> lines;

    std::string_view Key(const Line& line) const
    {
        return {keys.data() + line.keyOffset, line.keyLength};
    }
    std::u16string_view Text(const Line& line) const
    {
        return {texts.data() + line.textOffset, line.textLength};
    }
    /// Adds line, dropped or not by drop, or left unjudged.
    void Add(const ReadLine& line, const Drop& drop, bool unjudged)
    {
        const std::size_t keyOffset = keys.size();
        std::uint32_t hash = 0;
        if (!drop.dropped) {
            AppendKey(line);
            if (keepTexts)
                hash = AddressSet::HashOf(std::string_view(keys).substr(keyOffset));
        }
        const bool keepText = keepTexts || (unjudged && !line.ascii);
        lines.push_back({line.number, keyOffset, keys.size() - keyOffset, texts.size(),
                         keepText ? line.text.size() : 0, drop, hash, line.ascii, unjudged});
        if (keepText)
            texts.append(line.text);
    }
    /// Applies rules to the lines left unjudged.
    void JudgeRest(Rules& rules)
    {
        for (Line& line : lines) {
            if (!line.unjudged)
                continue;
            line.drop = line.ascii ? rules.JudgeAscii(Key(line)) : rules.Judge(Text(line));
            line.unjudged = false;
        }
    }
    void Clear()
    {
        keys.clear();
        texts.clear();
        lines.clear();
    }

private:
    void AppendKey(const ReadLine& line)
    {
        // An ASCII line's key is its own bytes.
        if (line.ascii) {
            keys.append(line.AsciiBody());
            return;
        }
        const std::size_t offset = keys.size();
        keys.resize(offset + 3 * line.text.size());
        keys.resize(offset + EncodeAddressKey(line.text, keys.data() + offset));
    }
};

/// Tells sink why line was dropped, with the list entry that matched.
void TellDrop(IRemovalSink& sink, const Drop& drop, std::int64_t number, std::u16string_view text,
              const Rules& rules)
{
    if (drop.reason != RemovalReason::Excluded)
        sink.OnLineDropped(drop.reason, number, text);
    else if (drop.hashedEntry != 0)
        sink.OnLineDropped(drop.reason, number, text, rules.Hashed().Path(), drop.hashedEntry);
    else
        sink.OnLineDropped(drop.reason, number, text, rules.Exclusions().Path(), drop.entryLine);
}

/// Puts batches of judged lines into the set, in order, with the reports of each line.
class Inserter
{
public:
    Inserter(AddressJobRecord& job, AddressSet& target, const std::u16string& path, int totalLines,
             Rules& rules, const StopFlag* stop)
        : job_(job), target_(target), path_(path), totalLines_(totalLines), rules_(rules),
          stop_(stop)
    {
    }

    void Insert(LineBatch& batch)
    {
        batch.JudgeRest(rules_);
        if (job_.removalSink != nullptr)
            InsertWithReport(batch);
        else
            AppendAll(batch);
    }

    std::int64_t Filtered() const { return filtered_; }

private:
    // The lines go into the set unchecked: settling it drops and counts the repeats.
    void AppendAll(const LineBatch& batch)
    {
        // A batch read before a stop request is left alone: no count, no report.
        if (StopRequested(stop_))
            return;
        for (const LineBatch::Line& line : batch.lines) {
            if (line.drop.dropped) {
                ++filtered_;
                continue;
            }
            target_.AppendKey(batch.Key(line));
            if (job_.report != nullptr)
                job_.report->OnLineProcessed(path_, totalLines_, ReportedCount(line.number));
        }
    }

    // Line by line in file order, so that the report tells repeats and drops in that order and
    // names the first of equal lines.
    void InsertWithReport(const LineBatch& batch)
    {
        const std::vector<LineBatch::Line>& lines = batch.lines;
        for (std::size_t at = 0; at < lines.size(); ++at) {
            if (const std::size_t ahead = at + prefetchDistance;
                ahead < lines.size() && !lines[ahead].drop.dropped)
                target_.Prefetch(lines[ahead].hash);
            if (const std::size_t ahead = at + matchDistance;
                ahead < lines.size() && !lines[ahead].drop.dropped)
                target_.PrefetchMatch(lines[ahead].hash);
            if (StopRequested(stop_))
                return;
            Settle(lines[at], batch);
        }
    }

    void Settle(const LineBatch::Line& line, const LineBatch& batch)
    {
        IRemovalSink& sink = *job_.removalSink;
        if (line.drop.dropped) {
            ++filtered_;
            TellDrop(sink, line.drop, line.number, batch.Text(line), rules_);
            return;
        }
        const std::uint64_t place = sink.PlaceOf(line.number);
        std::uint64_t first = 0;
        if (!target_.InsertKey(batch.Key(line), line.hash, place, first)) {
            ++filtered_;
            sink.OnRepeat(place, first, batch.Text(line));
        }
        if (job_.report != nullptr)
            job_.report->OnLineProcessed(path_, totalLines_, ReportedCount(line.number));
    }

    AddressJobRecord& job_;
    AddressSet& target_;
    const std::u16string& path_;
    int totalLines_;
    Rules& rules_;
    const StopFlag* stop_;
    std::int64_t filtered_ = 0;
};

/// Reads the file at path into batches: each line counted in the diagnostics and judged, or with
/// shareJudging every other line left to the inserting thread to judge. send(batch) hands over a
/// full batch, and the last one if it holds lines; take() gives the next batch to fill, or
/// nullptr to end early.
template <typename Send, typename Take>
ReadOutcome ReadBatches(const std::u16string& path, AddressJobRecord& job, Rules& rules,
                        bool shareJudging, const StopFlag& stop, Send&& send, Take&& take)
{
    // The texts of ASCII lines are needed whole only for the removal report; the rules widen
    // those they judge.
    const bool keepTexts = job.removalSink != nullptr;
    shareJudging = shareJudging && rules.Any();
    const auto next = [&take, keepTexts] {
        LineBatch* batch = take();
        if (batch != nullptr)
            batch->keepTexts = keepTexts;
        return batch;
    };
    LineBatch* batch = next();
    ReadOutcome outcome = ReadAddressLines(
        path, SystemCodePage(),
        [&](const ReadLine& line) {
            if (batch == nullptr)
                return;
            job.diagnostics.OnLine(line);
            const bool leave = shareJudging && !line.overLong && batch->lines.size() % 2 == 1;
            batch->Add(line, leave ? Drop{} : rules.Judge(line), leave);
            if (batch->lines.size() == linesPerBatch) {
                send(batch);
                batch = next();
            }
        },
        &stop, keepTexts);
    if (batch != nullptr && !batch->lines.empty())
        send(batch);
    return outcome;
}

} // namespace

FileOutcome ProcessFile(AddressJobRecord& job, AddressSet& target, const std::u16string& path,
                        int totalLines, const JobExclusions* exclusions, const StopFlag* stop,
                        const HashedExclusions* hashed)
{
    // The rules' cost is shared by the two threads, each with rules of its own.
    Rules readingRules(job, exclusions, hashed);
    Rules insertingRules(job, exclusions, hashed);
    job.diagnostics.BeginFile(path);
    if (job.removalSink != nullptr)
        job.removalSink->OnFileStarted(path);
    if (totalLines > 0) {
        const std::optional<os::FileIdentity> file = os::IdentityOf(path);
        target.Reserve(static_cast<std::size_t>(totalLines),
                       file && file->isRegular ? static_cast<std::uint64_t>(file->size) : 0);
    }
    Inserter inserter(job, target, path, totalLines, insertingRules, stop);
    // Stops the reading when the job stops, or when inserting failed.
    StopFlag readStop(stop);
    BatchHandOff<LineBatch> handOff(batchCount);
    FileOutcome outcome;
    std::exception_ptr readFailure;
    std::thread reader;
    try {
        reader = std::thread([&] {
            try {
                const auto send = [&handOff](LineBatch* full) { handOff.Send(full); };
                outcome.read = ReadBatches(path, job, readingRules, true, readStop, send,
                                           [&handOff] { return handOff.Take(); });
            } catch (...) {
                readFailure = std::current_exception();
            }
            handOff.Finish();
        });
    } catch (const std::system_error&) {
        // No second thread to be had: read and insert by turns.
        LineBatch batch;
        outcome.read = ReadBatches(
            path, job, readingRules, false, readStop,
            [&inserter](LineBatch* full) {
                inserter.Insert(*full);
                full->Clear();
            },
            [&batch] { return &batch; });
    }
    if (reader.joinable()) {
        try {
            while (LineBatch* batch = handOff.Receive()) {
                inserter.Insert(*batch);
                batch->Clear();
                handOff.Recycle(batch);
            }
        } catch (...) {
            readStop.Request();
            handOff.Quit();
            reader.join();
            throw;
        }
        reader.join();
        if (readFailure)
            std::rethrow_exception(readFailure);
    }
    job.diagnostics.EndFile();
    const std::int64_t jobFiltered = job.filteredCount + inserter.Filtered();
    job.filteredCount = ReportedCount(jobFiltered);
    outcome.countSaturated =
        jobFiltered > maxReportedCount || outcome.read.lines > maxReportedCount;
    return outcome;
}

} // namespace trelvane
