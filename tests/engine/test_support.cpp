// Helpers shared by the engine tests.
#include "test_support.h"

#include "engine/code_page.h"
#include "engine/notice.h"

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

namespace trelvane::test {
namespace {

std::condition_variable finishSignal;

} // namespace

TempDir::TempDir()
{
    std::random_device device;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        path_ = base / ("trelvane-test-" + std::to_string(device()));
        if (std::filesystem::create_directory(path_))
            break;
    }
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempDir::Write(const std::string& name, std::string_view bytes) const
{
    const auto path = path_ / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::u16string TempDir::Wide(const std::string& name) const
{
    return WidePath(path_ / name);
}

std::string ReadBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::u16string U16(std::string_view utf8)
{
    return CodePage::Utf8().Decode(utf8);
}

std::string Utf8(std::u16string_view text)
{
    std::string bytes;
    CodePage::Utf8().Encode(text, bytes);
    return bytes;
}

std::u16string WidePath(const std::filesystem::path& path)
{
    if constexpr (namesInCodePage)
        return FromSystemBytes(path.string());
    else
        return path.u16string();
}

std::vector<std::u16string> LinesOf(const AddressSet& set)
{
    std::vector<std::u16string> lines;
    set.ForEach([&lines](std::u16string_view line) {
        lines.emplace_back(line);
        return true;
    });
    return lines;
}

void RecordingReport::OnLineProcessed(const std::u16string& filePath, int totalLines,
                                      int lineNumber)
{
    Record("line " + Utf8(filePath) + " " + std::to_string(totalLines) + " " +
           std::to_string(lineNumber));
}

void RecordingReport::OnProcessingFinished()
{
    Record("processed");
}

void RecordingReport::OnOutputProgress(int total, int current)
{
    Record("progress " + std::to_string(total) + " " + std::to_string(current));
}

void RecordingReport::OnOutputFinished(int filteredCount, int writtenCount)
{
    Record("finished " + std::to_string(filteredCount) + " " + std::to_string(writtenCount));
    finishSignal.notify_all();
}

void RecordingReport::Record(std::string call)
{
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
}

std::vector<std::string> RecordingReport::Calls() const
{
    std::lock_guard lock(mutex_);
    return calls_;
}

bool RecordingReport::WaitForFinish(int timeoutMilliseconds) const
{
    std::unique_lock lock(mutex_);
    return finishSignal.wait_for(lock, std::chrono::milliseconds(timeoutMilliseconds), [this] {
        return !calls_.empty() && calls_.back().rfind("finished", 0) == 0;
    });
}

NoticeRecorder::NoticeRecorder()
{
    SetNoticeHandler([this](std::u16string_view text) {
        std::lock_guard lock(mutex_);
        texts_.push_back(Utf8(text));
    });
}

NoticeRecorder::~NoticeRecorder()
{
    SetNoticeHandler(nullptr);
}

std::vector<std::string> NoticeRecorder::Texts() const
{
    std::lock_guard lock(mutex_);
    return texts_;
}

} // namespace trelvane::test
