// The input file list: rows that show file names, kept in step with AddressJob.inputPaths.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace trelvane {

/// The rows of a view's file list; every call runs on the dialog's thread.
class IFileRows
{
public:
    virtual ~IFileRows() = default;
    /// Appends a row showing text.
    virtual void AppendRow(const std::u16string& text) = 0;
    /// The first selected row from the top, or -1 when none is selected.
    virtual int FirstSelectedRow() const = 0;
    /// The text of a row.
    virtual std::u16string RowText(int row) const = 0;
    /// Deletes a row; the rows below move up.
    virtual void DeleteRow(int row) = 0;
};

/// The file name of a path: the text after its last "\" or "/", or after a drive prefix.
std::u16string FileNameOf(std::u16string_view path);

/// Removes from paths the first entry whose file name is name; false when none has it.
bool RemoveInputPath(std::vector<std::u16string>& paths, const std::u16string& name);

/// Appends each of newPaths, in order, as a row of its file name and to paths.
void AddInputFiles(IFileRows& rows, std::vector<std::u16string>& paths,
                   const std::vector<std::u16string>& newPaths);

/// Removes the selected rows from the top, and for each the first entry of paths with its name.
void RemoveSelectedFiles(IFileRows& rows, std::vector<std::u16string>& paths);

} // namespace trelvane
