// Helpers shared by the engine tests: temporary folders, files, recording report receivers.
#pragma once

#include "engine/address_job.h"

#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace trelvane::test {

/// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    /// Writes bytes to the file name inside the folder and returns its path.
    std::filesystem::path Write(const std::string& name, std::string_view bytes) const;
    /// The path of name inside the folder as the engine takes it (UTF-16).
    std::u16string Wide(const std::string& name) const;

private:
    std::filesystem::path path_;
};

/// The whole content of a file; empty when it cannot be read.
std::string ReadBytes(const std::filesystem::path& path);

/// UTF-16 form of an ASCII or UTF-8 literal, for readable test expectations.
std::u16string U16(std::string_view utf8);

/// Whether the system names files by bytes in its code page (POSIX), not in UTF-16 (Windows).
#ifdef _WIN32
inline constexpr bool namesInCodePage = false;
#else
inline constexpr bool namesInCodePage = true;
#endif

/// A path as the engine takes it.
std::u16string WidePath(const std::filesystem::path& path);

/// Every line of a set, in the set's order.
std::vector<std::u16string> LinesOf(const AddressSet& set);

/// Records every report call as a readable line, e.g. "line /a.txt 3 1", "processed",
/// "progress 5 1", "finished 2 7". Thread-safe.
class RecordingReport : public IProcessReport
{
public:
    virtual ~RecordingReport() = default;
    void OnLineProcessed(const std::u16string& filePath, int totalLines, int lineNumber) override;
    void OnProcessingFinished() override;
    void OnOutputProgress(int total, int current) override;
    void OnOutputFinished(int filteredCount, int writtenCount) override;

    std::vector<std::string> Calls() const;
    /// Blocks until OnOutputFinished has been recorded (or the timeout passes); true if it was.
    bool WaitForFinish(int timeoutMilliseconds = 10000) const;

protected:
    void Record(std::string call);

private:
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

/// Installs itself as the notice handler for its lifetime and records the texts (UTF-8).
class NoticeRecorder
{
public:
    NoticeRecorder();
    ~NoticeRecorder();
    std::vector<std::string> Texts() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> texts_;
};

/// UTF-8 form of UTF-16 text, for messages and comparisons.
std::string Utf8(std::u16string_view text);

} // namespace trelvane::test
