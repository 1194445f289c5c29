// The file dialogs the Windows view opens, behind an interface so tests can answer them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace trelvane {

/// Asks the user for files; every operation blocks until the user confirms or cancels.
class IFileDialogs
{
public:
    virtual ~IFileDialogs() = default;

    /// Existing files, several at once, as full paths in the dialog's order; empty on cancel.
    virtual std::vector<std::u16string> OpenFiles(HWND owner) = 0;
    /// One existing file as a full path; empty on cancel.
    virtual std::u16string OpenFile(HWND owner) = 0;
    /// A file to write, as a full path with "txt" added to a name without extension; the user
    /// confirms overwriting an existing file. Empty on cancel.
    virtual std::u16string SaveFile(HWND owner) = 0;
};

/// The system's common file dialogs, explorer style, with the filters "txt(*.txt)" and
/// "All Files(*.*)".
class CommonFileDialogs final : public IFileDialogs
{
public:
    std::vector<std::u16string> OpenFiles(HWND owner) override;
    std::u16string OpenFile(HWND owner) override;
    std::u16string SaveFile(HWND owner) override;
};

} // namespace trelvane
