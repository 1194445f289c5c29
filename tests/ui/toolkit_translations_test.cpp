// Qt's own texts in Chinese: the standard buttons and the file dialog after loading the
// toolkit's catalogue, and English without it.
#include "ui/toolkit_translations.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace trelvane;

namespace {

QString OkButtonText()
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("trelvane"), QStringLiteral("x"),
                    QMessageBox::Ok);
    return box.button(QMessageBox::Ok)->text();
}

// The texts of the file dialog's own labels and buttons, which it builds when it is made.
QStringList FileDialogTexts()
{
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    QStringList texts;
    for (const char* label : {"lookInLabel", "fileNameLabel", "fileTypeLabel"})
        texts << dialog.findChild<QLabel*>(label)->text();
    texts << dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->text();
    return texts;
}

} // namespace

class ToolkitTranslationsTest : public QObject
{
    Q_OBJECT

private slots:
    // Runs first: once installed, the catalogue stays for the whole process.
    void missingCatalogueLeavesEnglish();
    void catalogueMakesStandardTextsChinese();
};

void ToolkitTranslationsTest::missingCatalogueLeavesEnglish()
{
    const QTemporaryDir emptyFolder;
    QVERIFY(!InstallToolkitTranslations(emptyFolder.path()));
    QCOMPARE(OkButtonText(), QStringLiteral("OK"));
    QCOMPARE(FileDialogTexts(),
             (QStringList{"Look in:", "File &name:", "Files of type:", "Cancel"}));
}

void ToolkitTranslationsTest::catalogueMakesStandardTextsChinese()
{
    QVERIFY(InstallToolkitTranslations());
    QCOMPARE(OkButtonText(), QString::fromUtf8("确定"));
    QCOMPARE(FileDialogTexts(),
             QString::fromUtf8("查找范围：|文件名称(&N)：|文件类型：|取消").split('|'));
}

QTEST_MAIN(ToolkitTranslationsTest)
#include "toolkit_translations_test.moc"
