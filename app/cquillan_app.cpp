// The application's start-up.
#include "app/cquillan_app.h"

#include "engine/code_page.h"
#include "engine/notice.h"
#include "ui/main_dialog.h"
#include "ui/message_box.h"
#include "ui/toolkit_translations.h"

#include <QApplication>
#include <QIcon>

namespace trelvane {
namespace {

// The reverse-domain id of the desktop entry, the icon and the AppStream metadata.
constexpr const char* desktopId = "org.example.Trelvane";

QIcon ApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 256})
        icon.addFile(QStringLiteral(":/icons/%1/trelvane.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

int CQuillanApp::Run(char* programPath)
{
    SystemCodePage();
    int argc = 1;
    char* argv[] = {programPath, nullptr};
    QApplication app(argc, argv);
    // No organisation name: the program keeps no settings of its own anywhere.
    QApplication::setApplicationVersion(QStringLiteral(TRELVANE_VERSION));
    QApplication::setDesktopFileName(QString::fromLatin1(desktopId));
    QApplication::setWindowIcon(ApplicationIcon());
    // The program speaks Chinese whatever the locale; without the catalogue Qt's texts stay
    // English.
    InstallToolkitTranslations();
    InstallNoticeHandler();
    if (const std::u16string& notice = SystemCodePageNotice(); !notice.empty())
        ShowNotice(notice);
    CQuillanDlg dialog;
    dialog.RunModal();
    return 0;
}

} // namespace trelvane
