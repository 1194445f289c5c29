// A file for a job's temporary data, in the system's folder for temporary files.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace trelvane::os {

/// What a temporary file's writes and reads are aligned to: Append and ReadAt take buffers at
/// addresses, sizes and file offsets that are multiples of it (the last read may return less).
constexpr std::size_t scratchBlockBytes = 4096;

/// A temporary file that no other program sees and that never outlives its process.
///
/// Where the system allows, it is written and read around the system's cache: the cache pages
/// that a big job's temporary data would take are slow to get on some machines, and the data is
/// read back once.
///
/// It is made in the folder named by TMPDIR (the system's folder for temporary files when that is
/// not set) and its name is removed as soon as it is made, so nothing stays behind, whatever way
/// the process ends. Closed on destruction.
class ScratchFile
{
public:
    ScratchFile() = default;
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    /// Makes the file; false (errno in Error()) when the folder does not take it.
    bool Create();
    /// The folder the file was made in, for failure texts.
    const std::u16string& Folder() const { return folder_; }
    /// Appends all size bytes (see scratchBlockBytes); false (errno in Error()) on failure, such as
    /// a full disk.
    bool Append(const char* data, std::size_t size);
    /// Reads up to size bytes from offset (see scratchBlockBytes); returns the count (0 at the
    /// end), or -1 on failure.
    std::ptrdiff_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size);
    int Error() const { return error_.load(); }

private:
    int fd_ = -1;
    // Reads may fail on two threads at once.
    std::atomic<int> error_{0};
    bool direct_ = false;
    std::u16string folder_;
};

/// The machine's physical memory in bytes; 0 when it cannot be told.
std::uint64_t PhysicalMemoryBytes();

} // namespace trelvane::os
