// The toolkit's file dialogs: filters, results, default suffix, overwrite prompt, and that a
// run leaves nothing in a fresh home folder.
#include "ui/qt/file_dialogs.h"

#include "ui/qt/main_dialog.h"
#include "ui/qt/message_box.h"

#include <QApplication>
#include <QComboBox>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace trelvane;

namespace {

enum class Kind
{
    OpenFiles,
    OpenFile,
    Save
};

QStringList RunDialog(Kind kind)
{
    QtFileDialogs dialogs;
    switch (kind) {
    case Kind::OpenFiles:
        return dialogs.OpenFiles(nullptr);
    case Kind::OpenFile:
        return {dialogs.OpenFile(nullptr)};
    case Kind::Save:
        return {dialogs.SaveFile(nullptr)};
    }
    return {};
}

// Calls answer with the next modal window of type T once it is shown.
template <class T> void Answer(QObject* context, std::function<void(T&)> answer)
{
    auto* poll = new QTimer(context);
    QObject::connect(poll, &QTimer::timeout, context, [poll, answer] {
        auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!window || !window->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        answer(*window);
    });
    poll->start(10);
}

void Type(QFileDialog& dialog, const QString& text)
{
    dialog.findChild<QLineEdit*>("fileNameEdit")->setText(text);
}

QStringList EntriesUnder(const QString& folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << it.next();
    return entries;
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class FileDialogsTest : public QObject
{
    Q_OBJECT

public:
    explicit FileDialogsTest(QString home) : m_home(std::move(home)) {}

private slots:
    void cleanup();

    void filtersShowTxtAndAllFiles_data();
    void filtersShowTxtAndAllFiles();
    void openFilesGivesEveryChosenPathInOrder();
    void saveAddsTxtAndAsksBeforeReplacing();
    void cancelGivesNothing_data();
    void cancelGivesNothing();
    void existingToolkitSettingsStayAsTheyWere();
    void dialogAndMessageLeaveNothingBehind();

private:
    QString m_home;
    QTemporaryDir m_files;
};

// Every test runs with HOME and XDG_CONFIG_HOME in a fresh folder; nothing may appear there.
void FileDialogsTest::cleanup()
{
    QCOMPARE(EntriesUnder(m_home), QStringList());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (const QWidget* window : QApplication::topLevelWidgets())
        QVERIFY2(!window->isVisible(), window->metaObject()->className());
}

void FileDialogsTest::filtersShowTxtAndAllFiles_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("open several") << int(Kind::OpenFiles) << int(QFileDialog::ExistingFiles) << "";
    QTest::newRow("open one") << int(Kind::OpenFile) << int(QFileDialog::ExistingFile) << "";
    QTest::newRow("save") << int(Kind::Save) << int(QFileDialog::AnyFile) << "txt";
}

void FileDialogsTest::filtersShowTxtAndAllFiles()
{
    QFETCH(int, kind);
    QFETCH(int, fileMode);
    QFETCH(QString, suffix);
    QStringList shown;
    QStringList firstPatterns;
    QStringList secondPatterns;
    int mode = -1;
    QString defaultSuffix;
    Answer<QFileDialog>(this, [&](QFileDialog& dialog) {
        const auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
        for (int i = 0; i < types->count(); ++i)
            shown << types->itemText(i);
        const auto* model = dialog.findChild<QFileSystemModel*>();
        firstPatterns = model->nameFilters();
        dialog.selectNameFilter(dialog.nameFilters().at(1));
        secondPatterns = model->nameFilters();
        mode = dialog.fileMode();
        defaultSuffix = dialog.defaultSuffix();
        dialog.reject();
    });
    RunDialog(Kind(kind));
    QCOMPARE(shown, (QStringList{"txt(*.txt)", "All Files(*.*)"}));
    QCOMPARE(firstPatterns, QStringList{"*.txt"});
    QCOMPARE(secondPatterns, QStringList{"*"}); // "*.*" would hide files without a dot
    QCOMPARE(mode, fileMode);
    QCOMPARE(defaultSuffix, suffix);
}

void FileDialogsTest::openFilesGivesEveryChosenPathInOrder()
{
    for (const char* name : {"b.txt", "a.txt", "noext"})
        WriteFile(m_files.filePath(name), "x@y.z\n");
    Answer<QFileDialog>(this, [this](QFileDialog& dialog) {
        dialog.setDirectory(m_files.path());
        Type(dialog, "\"b.txt\" \"noext\" \"a.txt\"");
        static_cast<QDialog&>(dialog).accept(); // QFileDialog::accept is protected
    });
    const QStringList expected = {m_files.filePath("b.txt"), m_files.filePath("noext"),
                                  m_files.filePath("a.txt")};
    QCOMPARE(RunDialog(Kind::OpenFiles), expected);
}

void FileDialogsTest::saveAddsTxtAndAsksBeforeReplacing()
{
    Answer<QFileDialog>(this, [this](QFileDialog& dialog) {
        Type(dialog, m_files.filePath("result"));
        static_cast<QDialog&>(dialog).accept(); // QFileDialog::accept is protected
    });
    QCOMPARE(RunDialog(Kind::Save), QStringList{m_files.filePath("result.txt")});

    WriteFile(m_files.filePath("old.txt"), "kept\n");
    bool asked = false;
    Answer<QFileDialog>(this, [this, &asked](QFileDialog& dialog) {
        Answer<QMessageBox>(this, [&asked](QMessageBox& question) {
            asked = true;
            question.button(QMessageBox::Yes)->click();
        });
        Type(dialog, m_files.filePath("old.txt"));
        static_cast<QDialog&>(dialog).accept(); // QFileDialog::accept is protected
    });
    QCOMPARE(RunDialog(Kind::Save), QStringList{m_files.filePath("old.txt")});
    QVERIFY(asked);
}

void FileDialogsTest::cancelGivesNothing_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("result");
    QTest::newRow("open several") << int(Kind::OpenFiles) << QStringList();
    QTest::newRow("open one") << int(Kind::OpenFile) << QStringList{QString()};
    QTest::newRow("save") << int(Kind::Save) << QStringList{QString()};
}

void FileDialogsTest::cancelGivesNothing()
{
    QFETCH(int, kind);
    QFETCH(QStringList, result);
    WriteFile(m_files.filePath("c.txt"), "x\n");
    Answer<QFileDialog>(this, [this](QFileDialog& dialog) {
        Type(dialog, m_files.filePath("c.txt"));
        dialog.reject();
    });
    QCOMPARE(RunDialog(Kind(kind)), result);
}

void FileDialogsTest::existingToolkitSettingsStayAsTheyWere()
{
    const QString folder = m_home + "/.config";
    const QString path = folder + "/QtProject.conf";
    const QByteArray before = "[FileDialog]\nhistory=file:///somewhere\n";
    QVERIFY(QDir().mkpath(folder));
    WriteFile(path, before);
    Answer<QFileDialog>(this, [this](QFileDialog& dialog) {
        dialog.setDirectory(m_files.path());
        dialog.reject();
    });
    RunDialog(Kind::OpenFile);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
    file.close();
    QVERIFY(QDir(folder).removeRecursively());
}

void FileDialogsTest::dialogAndMessageLeaveNothingBehind()
{
    CQuillanDlg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    Answer<QMessageBox>(this, [](QMessageBox& box) { box.button(QMessageBox::Ok)->click(); });
    ShowMessage(QStringLiteral("message"));
    dialog.close();
}

int main(int argc, char** argv)
{
    // The home folder is replaced before the toolkit reads it, so every file the toolkit
    // would store lands there and the tests can see it.
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/.config"));
    for (const char* variable : {"XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
        qunsetenv(variable);
    QApplication app(argc, argv);
    FileDialogsTest test(home.path());
    return QTest::qExec(&test, argc, argv);
}

#include "file_dialogs_test.moc"
