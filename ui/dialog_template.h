// The main dialog's template: every control with its id, text and place in dialog units.
#pragma once

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
};

/// The dialog's caption.
inline constexpr const char* mainDialogCaption = "Trelvane(V2.2)  2015.3.2更新";
/// The dialog's size in dialog units.
inline constexpr int mainDialogWidth = 447;
inline constexpr int mainDialogHeight = 287;

/// The controls in template order, which is also the tab order.
std::span<const ControlTemplate> MainDialogTemplate();

} // namespace trelvane
