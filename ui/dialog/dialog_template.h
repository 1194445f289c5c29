// The main dialog's template: every control with its id, text, place in dialog units and window
// style. Both views build the dialog from it.
#pragma once

#include <cstdint>
#include <span>

namespace trelvane {

/// The kinds of control the template holds.
enum class ControlKind
{
    DefaultButton,
    PushButton,
    ListView,
    GroupBox,
    RadioButton,
    CheckBox,
    Label,
    Edit,
    NumberEdit,
    ProgressBar,
};

/// One control of the template; x, y, width and height are dialog units.
struct ControlTemplate
{
    int id;
    const char* name; ///< objectName: the id's name, or a descriptive name for id -1
    ControlKind kind;
    const char* text; ///< UTF-8; empty for controls without text
    int x;
    int y;
    int width;
    int height;
    std::uint32_t style; ///< the Windows window style: WS_GROUP, WS_TABSTOP, WS_DISABLED, ...
};

/// The dialog's caption.
inline constexpr const char* mainDialogCaption = "Trelvane(V2.2)  2015.3.2更新";
/// The dialog's size in dialog units.
inline constexpr int mainDialogWidth = 447;
inline constexpr int mainDialogHeight = 287;
/// The dialog's template id and language (Chinese, Simplified).
inline constexpr int mainDialogId = 102;
inline constexpr std::uint16_t mainDialogLanguage = 2052;
/// The dialog's window style (WS_POPUP, WS_VISIBLE, WS_CAPTION, WS_SYSMENU, WS_MINIMIZEBOX,
/// DS_MODALFRAME, DS_SETFONT, DS_FIXEDSYS) and extended style (WS_EX_APPWINDOW).
inline constexpr std::uint32_t mainDialogStyle = 0x90CA00C8;
inline constexpr std::uint32_t mainDialogExStyle = 0x00040000;
/// The dialog's font: 9 point "MS Shell Dlg", normal weight, DEFAULT_CHARSET.
inline constexpr const char16_t* mainDialogFont = u"MS Shell Dlg";
inline constexpr int mainDialogFontPoints = 9;

/// The controls in template order, which is also the tab order.
std::span<const ControlTemplate> MainDialogTemplate();

} // namespace trelvane
