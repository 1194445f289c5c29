// The system's common file dialogs.
#include "ui/win32/file_dialogs.h"

#include <commdlg.h>

namespace trelvane {
namespace {

// Room for the folder and the names of hundreds of files chosen at once.
constexpr std::size_t selectionUnits = 64 * 1024;
constexpr wchar_t filter[] = L"txt(*.txt)\0*.txt\0All Files(*.*)\0*.*\0";
constexpr DWORD commonFlags =
    OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_ENABLESIZING;

// Runs an open or save dialog; the selection area as the dialog left it, empty on cancel.
std::u16string RunDialog(HWND owner, DWORD flags, BOOL(WINAPI* run)(LPOPENFILENAMEW))
{
    std::u16string selection(selectionUnits, u'\0');
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = reinterpret_cast<wchar_t*>(selection.data());
    dialog.nMaxFile = static_cast<DWORD>(selection.size());
    dialog.Flags = commonFlags | flags;
    dialog.lpstrDefExt = L"txt";
    if (!run(&dialog))
        return {};
    return selection;
}

// The strings of a selection area: each ends in a NUL, an empty one ends the list.
std::vector<std::u16string> SplitSelection(const std::u16string& selection)
{
    std::vector<std::u16string> parts;
    for (std::size_t start = 0; start < selection.size() && selection[start] != u'\0';) {
        const std::size_t end = selection.find(u'\0', start);
        parts.push_back(selection.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

} // namespace

// One chosen file comes back as its full path; several as the folder, then each name.
std::vector<std::u16string> CommonFileDialogs::OpenFiles(HWND owner)
{
    std::vector<std::u16string> parts =
        SplitSelection(RunDialog(owner, OFN_ALLOWMULTISELECT, &GetOpenFileNameW));
    if (parts.size() <= 1)
        return parts;
    std::u16string folder = parts.front();
    if (folder.back() != u'\\')
        folder += u'\\';
    std::vector<std::u16string> paths;
    for (std::size_t i = 1; i < parts.size(); ++i)
        paths.push_back(folder + parts[i]);
    return paths;
}

std::u16string CommonFileDialogs::OpenFile(HWND owner)
{
    const std::vector<std::u16string> parts =
        SplitSelection(RunDialog(owner, 0, &GetOpenFileNameW));
    return parts.empty() ? std::u16string() : parts.front();
}

std::u16string CommonFileDialogs::SaveFile(HWND owner)
{
    const std::vector<std::u16string> parts =
        SplitSelection(RunDialog(owner, 0, &GetSaveFileNameW));
    return parts.empty() ? std::u16string() : parts.front();
}

} // namespace trelvane
