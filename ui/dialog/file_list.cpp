// The input file list.
#include "ui/dialog/file_list.h"

#include <algorithm>

namespace trelvane {

std::u16string FileNameOf(std::u16string_view path)
{
    const std::size_t separator = path.find_last_of(u"\\/");
    if (separator != std::u16string_view::npos)
        return std::u16string(path.substr(separator + 1));
    if (path.size() >= 2 && path[1] == u':')
        return std::u16string(path.substr(2));
    return std::u16string(path);
}

bool RemoveInputPath(std::vector<std::u16string>& paths, const std::u16string& name)
{
    const auto found =
        std::find_if(paths.begin(), paths.end(),
                     [&name](const std::u16string& path) { return FileNameOf(path) == name; });
    if (found == paths.end())
        return false;
    paths.erase(found);
    return true;
}

void AddInputFiles(IFileRows& rows, std::vector<std::u16string>& paths,
                   const std::vector<std::u16string>& newPaths)
{
    for (const std::u16string& path : newPaths) {
        rows.AppendRow(FileNameOf(path));
        paths.push_back(path);
    }
}

// Each pass deletes the first selected row, whether or not an entry had its name, so the
// loop ends even if the rows and the entries have fallen out of step.
void RemoveSelectedFiles(IFileRows& rows, std::vector<std::u16string>& paths)
{
    for (int row = rows.FirstSelectedRow(); row >= 0; row = rows.FirstSelectedRow()) {
        RemoveInputPath(paths, rows.RowText(row));
        rows.DeleteRow(row);
    }
}

} // namespace trelvane
