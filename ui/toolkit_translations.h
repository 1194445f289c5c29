// Qt's own texts (standard buttons, file dialogs) in Simplified Chinese, like the program's.
#pragma once

#include <QString>

namespace trelvane {

/// The folder where the toolkit's translation catalogues are installed.
QString ToolkitTranslationsFolder();

/// Loads qtbase_zh_CN.qm from folder and installs it in the running application, whatever the
/// locale. Returns false, changing nothing, when the catalogue is missing or unreadable: the
/// toolkit's texts then stay English and the program runs on.
bool InstallToolkitTranslations(const QString& folder = ToolkitTranslationsFolder());

} // namespace trelvane
