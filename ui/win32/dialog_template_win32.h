// The main dialog's template in memory, built from the shared control table, for
// DialogBoxIndirectParamW.
#pragma once

#include <windows.h>

#include <vector>

namespace trelvane {

/// The DLGTEMPLATEEX of the main dialog: its caption, size, styles and font, then every control
/// of the table in template order with its id, class, text, place and style. The words are
/// DWORD-aligned as the API requires when the vector's data is.
std::vector<WORD> MainDialogTemplateWin32();

} // namespace trelvane
