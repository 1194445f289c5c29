// Files by wide path: the engine's thin layer over the operating system's file calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace trelvane::os {

/// The system's text for an error number, e.g. "No such file or directory".
std::string ErrorText(int errorNumber);

/// What identifies one version of a file: a re-read may be skipped while it stays the same.
struct FileIdentity
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNanoseconds = 0;
    std::int64_t changedNanoseconds = 0;
    /// A regular file: it can be read more than once and its size is known. A pipe, a FIFO or a
    /// character device is not: its bytes can be read only once.
    bool isRegular = false;
    /// A folder: neither regular nor to be read as a pipe.
    bool isDirectory = false;

    bool operator==(const FileIdentity&) const = default;
};

/// A file opened read-only, as raw bytes, for sequential reading. Closed on destruction.
///
/// A file that is not regular (a pipe, a FIFO, a character device) may have no data for a long
/// time: opening it does not wait for a writer, and Read waits for data at most readWaitMs, so
/// that the caller can check whether it should stop and then ask again.
class InputFile
{
public:
    /// What Read returns when a file that is not regular had no data within readWaitMs.
    static constexpr std::ptrdiff_t noDataYet = -2;
    /// The longest time one Read waits for data.
    static constexpr int readWaitMs = 100;

    /// Opens path (converted with the system code page on POSIX systems; Windows takes it as it
    /// is); on failure IsOpen() is false and Error() holds the errno.
    explicit InputFile(const std::u16string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    /// Whether the open file is a regular file (see FileIdentity::isRegular).
    bool IsRegular() const { return regular_; }
    /// errno of the last failed call, 0 when none failed.
    int Error() const { return error_; }
    /// Reads up to size bytes; returns the count, 0 at the end of the file, -1 on failure, or
    /// noDataYet when a file that is not regular had no data within readWaitMs.
    std::ptrdiff_t Read(char* buffer, std::size_t size);
    /// Makes the next Read start at offset bytes from the start of a regular file; false on
    /// failure (errno in Error()).
    bool SeekTo(std::uint64_t offset);
    /// The identity of the open file; nullopt if it cannot be taken.
    std::optional<FileIdentity> Identity() const;

private:
    int fd_ = -1;
    int error_ = 0;
    bool regular_ = false;
};

/// A file for writing, made beside the file it is to replace. Closed on destruction, without
/// error report; a new file stays until it is renamed (ReplaceFile) or removed (RemoveFile).
class OutputFile
{
public:
    OutputFile();
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    /// Closes the current file, then creates a new, empty file in the folder of finalPath under
    /// a hidden name that no file had: "." + finalPath's own name + ".trelvane-" + the process
    /// id + "-" + a number + ".tmp", created exclusively; Path() gives its name. When finalPath
    /// is a device, a pipe or a socket, it is opened for writing itself instead and Path() is
    /// empty: there is nothing to replace. A new file takes the permissions of the file it is to
    /// replace. Fails (errno in Error()) when the folder does not take the new file, when
    /// finalPath is a folder or a file this process may not write, so that a result that could
    /// never be put in place is told before anything is written.
    bool CreateBeside(const std::u16string& finalPath);
    bool IsOpen() const { return fd_ >= 0; }
    /// The path of the new file made by the last successful CreateBeside; empty when it opened
    /// finalPath itself.
    const std::u16string& Path() const { return path_; }
    /// Writes all size bytes; false on failure (disk full, ...). A new file may be written
    /// around the system's cache in large aligned blocks, while the caller goes on, and its last
    /// bytes held until Close: a failure to write them is told by a later Write or by Close.
    bool Write(const char* data, std::size_t size);
    /// Closes the file; false when the close reports a failure. Closing a closed file is true.
    bool Close();
    int Error() const { return error_; }

private:
    // How the platform writes a new file in large blocks, where it does.
    struct Staging;

    int fd_ = -1;
    int error_ = 0;
    std::u16string path_;
    std::unique_ptr<Staging> staging_;
};

/// The identity of the file at path, or nullopt when it cannot be taken.
std::optional<FileIdentity> IdentityOf(const std::u16string& path);

/// Whether path names a file whose bytes can be read only once: a pipe, a FIFO, a device.
inline bool IsReadOnce(const std::u16string& path)
{
    const std::optional<FileIdentity> identity = IdentityOf(path);
    return identity && !identity->isRegular && !identity->isDirectory;
}

/// The path under which trelvane-cli opens its standard input as an input file ("-" on its
/// command line); reading it is reading a file that is not regular, unless the input is one.
std::u16string StandardInputPath();

/// Removes the file at path; false when it could not be removed.
bool RemoveFile(const std::u16string& path);

/// Renames from to to in one step, replacing a file named to; returns 0, or the errno of the
/// failure, when nothing was changed.
int ReplaceFile(const std::u16string& from, const std::u16string& to);

} // namespace trelvane::os
