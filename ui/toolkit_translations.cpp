// Loading the toolkit's Simplified Chinese catalogue.
#include "ui/toolkit_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace trelvane {

QString ToolkitTranslationsFolder()
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

bool InstallToolkitTranslations(const QString& folder)
{
    auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), folder) ||
        !QCoreApplication::installTranslator(translator.get()))
        return false;
    translator.release(); // owned by the application object from here on
    return true;
}

} // namespace trelvane
