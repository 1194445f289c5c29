// The input file list: adding files with the button or by dropping them, removing the selected
// rows, and file names of paths.
#include "ui/main_dialog.h"

#include "tests/ui/scripted_file_dialogs.h"

#include <QAbstractButton>
#include <QDir>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <memory>
#include <utility>

using namespace trelvane;

namespace {

QStringList QStrings(const std::vector<std::u16string>& strings)
{
    QStringList list;
    for (const std::u16string& text : strings)
        list << QString::fromStdU16String(text);
    return list;
}

std::vector<std::u16string> U16Strings(const QStringList& list)
{
    std::vector<std::u16string> strings;
    for (const QString& text : list)
        strings.push_back(text.toStdU16String());
    return strings;
}

QString LongFolder()
{
    return "/" + QString(300, 'f');
}

} // namespace

class InputFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fileNameOf_data();
    void fileNameOf();
    void addAppendsNamesAndFullPaths_data();
    void addAppendsNamesAndFullPaths();
    void dropAddsLocalFilesInOrder_data();
    void dropAddsLocalFilesInOrder();
    void removeTakesSelectedRowsFromTheTop_data();
    void removeTakesSelectedRowsFromTheTop();
    void removeEndsAtARowWithoutEntry();
    void removeInputPathTakesTheFirstExactName_data();
    void removeInputPathTakesTheFirstExactName();

private:
    QStringList RowTexts() const;
    void AddInOneDialog(const QStringList& paths);

    QTemporaryDir m_folder; // holds a real subfolder "sub" for the drops
    std::unique_ptr<CQuillanDlg> m_dialog;
    test::ScriptedFileDialogs* m_fileDialogs = nullptr;
    QTreeWidget* m_fileList = nullptr;
    std::vector<std::u16string> m_savedPaths;
    IProcessReport* m_savedReport = nullptr;
};

void InputFilesTest::init()
{
    m_savedPaths = std::exchange(AddressJob.inputPaths, {});
    m_savedReport = AddressJob.report;
    auto fileDialogs = std::make_unique<test::ScriptedFileDialogs>();
    m_fileDialogs = fileDialogs.get();
    m_dialog = std::make_unique<CQuillanDlg>(std::move(fileDialogs));
    m_fileList = m_dialog->findChild<QTreeWidget*>("IDC_FILE_LIST");
    QVERIFY(m_fileList);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
}

void InputFilesTest::cleanup()
{
    m_dialog.reset();
    AddressJob.inputPaths = std::move(m_savedPaths);
    AddressJob.report = m_savedReport;
}

QStringList InputFilesTest::RowTexts() const
{
    QStringList texts;
    for (int row = 0; row < m_fileList->topLevelItemCount(); ++row)
        texts << m_fileList->topLevelItem(row)->text(0);
    return texts;
}

void InputFilesTest::AddInOneDialog(const QStringList& paths)
{
    m_fileDialogs->QueueOpenFiles(paths);
    m_dialog->Button(IDC_ADD_FILES)->click();
}

void InputFilesTest::fileNameOf_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("list.txt in a folder") << "/home/me/lists/list.txt"
                                          << "list.txt";
    QTest::newRow("backslashes") << "C:\\Users\\me\\list.txt"
                                 << "list.txt";
    QTest::newRow("mixed separators") << "D:/mail\\2015/list.txt"
                                      << "list.txt";
    QTest::newRow("last separator a backslash") << "/mail/a\\b.txt"
                                                << "b.txt";
    QTest::newRow("no extension") << "/data/README"
                                  << "README";
    QTest::newRow("several dots") << "/data/b.c.d.txt"
                                  << "b.c.d.txt";
    QTest::newRow("trailing slash") << "/data/lists/"
                                    << "";
    QTest::newRow("trailing backslash") << "C:\\data\\"
                                        << "";
    QTest::newRow("drive prefix") << "C:name.txt"
                                  << "name.txt";
    QTest::newRow("bare drive") << "C:"
                                << "";
    QTest::newRow("colon later is part of the name") << "abc:def.txt"
                                                     << "abc:def.txt";
    QTest::newRow("bare name") << "name.txt"
                               << "name.txt";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("non-ASCII") << QString::fromUtf8("/数据/名单.txt")
                               << QString::fromUtf8("名单.txt");
    QTest::newRow("path beyond 260 characters") << LongFolder() + "/x.txt"
                                                << "x.txt";
    QTest::newRow("name beyond 255 characters") << "/d/" + QString(300, 'n') << QString(300, 'n');
}

void InputFilesTest::fileNameOf()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(QString::fromStdU16String(CQuillanDlg::FileNameOf(path.toStdU16String())), name);
}

void InputFilesTest::addAppendsNamesAndFullPaths_data()
{
    QTest::addColumn<QList<QStringList>>("dialogs");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("paths");
    QTest::newRow("three in one go")
        << QList<QStringList>{{"/in/one.txt", "/in/two.txt", "/in/three.txt"}}
        << QStringList{"one.txt", "two.txt", "three.txt"}
        << QStringList{"/in/one.txt", "/in/two.txt", "/in/three.txt"};
    QTest::newRow("the dialog's order, not sorted")
        << QList<QStringList>{{"/in/b.txt", "/in/a.txt"}} << QStringList{"b.txt", "a.txt"}
        << QStringList{"/in/b.txt", "/in/a.txt"};
    QTest::newRow("a second dialog appends")
        << QList<QStringList>{{"/in/c.txt"}, {"/in/a.txt", "/in/b.txt"}}
        << QStringList{"c.txt", "a.txt", "b.txt"}
        << QStringList{"/in/c.txt", "/in/a.txt", "/in/b.txt"};
    QTest::newRow("the same file twice")
        << QList<QStringList>{{"/in/a.txt"}, {"/in/a.txt"}} << QStringList{"a.txt", "a.txt"}
        << QStringList{"/in/a.txt", "/in/a.txt"};
    QTest::newRow("cancel adds nothing") << QList<QStringList>{{"/in/a.txt"}, {}}
                                         << QStringList{"a.txt"} << QStringList{"/in/a.txt"};
    QTest::newRow("no extension") << QList<QStringList>{{"/in/README"}} << QStringList{"README"}
                                  << QStringList{"/in/README"};
    QStringList many;
    QStringList manyNames;
    for (int i = 0; i < 200; ++i) {
        manyNames << QString("file%1.txt").arg(i, 3, 10, QChar('0'));
        many << LongFolder() + "/" + manyNames.back();
    }
    QTest::newRow("200 long paths in one dialog") << QList<QStringList>{many} << manyNames << many;
}

void InputFilesTest::addAppendsNamesAndFullPaths()
{
    QFETCH(QList<QStringList>, dialogs);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, paths);
    for (const QStringList& chosen : dialogs)
        AddInOneDialog(chosen);
    QCOMPARE(m_fileDialogs->openFilesCalls, dialogs.size());
    QCOMPARE(m_fileDialogs->lastParent, m_dialog.get());
    QCOMPARE(RowTexts(), rows);
    QCOMPARE(QStrings(AddressJob.inputPaths), paths);
}

void InputFilesTest::dropAddsLocalFilesInOrder_data()
{
    QVERIFY(QDir(m_folder.path()).mkpath("sub"));
    const QString folder = m_folder.path() + "/sub";
    const QUrl a = QUrl::fromLocalFile("/in/a.txt");
    const QUrl b = QUrl::fromLocalFile(QString::fromUtf8("/数据/名单 2.txt"));
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::addColumn<bool>("jobRunning");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("paths");
    QTest::newRow("two files in the order dropped")
        << QList<QUrl>{b, a} << false << true
        << QStringList{QString::fromUtf8("名单 2.txt"), "a.txt"}
        << QStringList{QString::fromUtf8("/数据/名单 2.txt"), "/in/a.txt"};
    QTest::newRow("folders and remote URLs left out")
        << QList<QUrl>{QUrl::fromLocalFile(folder), QUrl("https://example.com/c.txt"), a,
                       QUrl("sftp://host/d.txt")}
        << false << true << QStringList{"a.txt"} << QStringList{"/in/a.txt"};
    QTest::newRow("only a folder") << QList<QUrl>{QUrl::fromLocalFile(folder)} << false << false
                                   << QStringList{} << QStringList{};
    QTest::newRow("no URLs") << QList<QUrl>{} << false << false << QStringList{} << QStringList{};
    QTest::newRow("while a job runs")
        << QList<QUrl>{a} << true << false << QStringList{} << QStringList{};
}

// Files dropped on the list are appended after those already added, as the button adds them.
void InputFilesTest::dropAddsLocalFilesInOrder()
{
    QFETCH(QList<QUrl>, urls);
    QFETCH(bool, jobRunning);
    QFETCH(bool, accepted);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, paths);
    AddInOneDialog({"/in/first.txt"});
    m_dialog->EnableControls(!jobRunning);
    QMimeData data;
    data.setUrls(urls);
    data.setText("/in/text-only.txt");
    QWidget* viewport = m_fileList->viewport();
    const QPoint centre = viewport->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data,
                          Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QCOMPARE(enter.isAccepted(), accepted);
    QDropEvent drop(centre, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    QCOMPARE(drop.isAccepted(), accepted);
    QCOMPARE(RowTexts(), QStringList{"first.txt"} + rows);
    QCOMPARE(QStrings(AddressJob.inputPaths), QStringList{"/in/first.txt"} + paths);
}

void InputFilesTest::removeTakesSelectedRowsFromTheTop_data()
{
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("paths");
    const QStringList five = {"/in/1.txt", "/in/2.txt", "/in/3.txt", "/in/4.txt", "/in/5.txt"};
    QTest::newRow("the same file twice, both rows")
        << QStringList{"/in/a.txt", "/in/a.txt"} << QList<int>{0, 1} << QStringList{}
        << QStringList{};
    QTest::newRow("same name from two folders, second row")
        << QStringList{"/A/list.txt", "/B/list.txt"} << QList<int>{1} << QStringList{"list.txt"}
        << QStringList{"/B/list.txt"};
    QTest::newRow("first and last of five")
        << five << QList<int>{0, 4} << QStringList{"2.txt", "3.txt", "4.txt"}
        << QStringList{"/in/2.txt", "/in/3.txt", "/in/4.txt"};
    QTest::newRow("second and fourth of five")
        << five << QList<int>{1, 3} << QStringList{"1.txt", "3.txt", "5.txt"}
        << QStringList{"/in/1.txt", "/in/3.txt", "/in/5.txt"};
    QTest::newRow("nothing selected")
        << QStringList{"/in/a.txt", "/in/b.txt"} << QList<int>{} << QStringList{"a.txt", "b.txt"}
        << QStringList{"/in/a.txt", "/in/b.txt"};
    QTest::newRow("drive paths with backslashes")
        << QStringList{"C:\\A\\x.txt", "D:\\B\\x.txt", "C:\\A\\y.txt"} << QList<int>{0}
        << QStringList{"x.txt", "y.txt"} << QStringList{"D:\\B\\x.txt", "C:\\A\\y.txt"};
}

void InputFilesTest::removeTakesSelectedRowsFromTheTop()
{
    QFETCH(QStringList, added);
    QFETCH(QList<int>, selected);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, paths);
    AddInOneDialog(added);
    for (int row : selected)
        m_fileList->topLevelItem(row)->setSelected(true);
    m_dialog->Button(IDC_REMOVE_SELECTED)->click();
    QCOMPARE(RowTexts(), rows);
    QCOMPARE(QStrings(AddressJob.inputPaths), paths);
}

// A row whose name no entry has must not stop the removal from ending.
void InputFilesTest::removeEndsAtARowWithoutEntry()
{
    AddInOneDialog({"/in/a.txt", "/in/b.txt"});
    m_fileList->insertTopLevelItem(0, new QTreeWidgetItem(QStringList{"ghost.txt"}));
    for (int row = 0; row < 3; ++row)
        m_fileList->topLevelItem(row)->setSelected(row != 2);
    m_dialog->Button(IDC_REMOVE_SELECTED)->click();
    QCOMPARE(RowTexts(), QStringList{"b.txt"});
    QCOMPARE(QStrings(AddressJob.inputPaths), QStringList{"/in/b.txt"});
}

void InputFilesTest::removeInputPathTakesTheFirstExactName_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("removed");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("first of two with the name")
        << QStringList{"/A/x.txt", "/B/x.txt"} << "x.txt" << true << QStringList{"/B/x.txt"};
    QTest::newRow("later entry when the first differs")
        << QStringList{"/A/a.txt", "/B/b.txt", "/C/c.txt"} << "b.txt" << true
        << QStringList{"/A/a.txt", "/C/c.txt"};
    QTest::newRow("case differs") << QStringList{"/A/List.txt"} << "list.txt" << false
                                  << QStringList{"/A/List.txt"};
    QTest::newRow("no such name") << QStringList{"/A/a.txt"} << "b.txt" << false
                                  << QStringList{"/A/a.txt"};
    QTest::newRow("a full path is not a name")
        << QStringList{"/A/a.txt"} << "/A/a.txt" << false << QStringList{"/A/a.txt"};
    QTest::newRow("empty list") << QStringList{} << "a.txt" << false << QStringList{};
}

void InputFilesTest::removeInputPathTakesTheFirstExactName()
{
    QFETCH(QStringList, paths);
    QFETCH(QString, name);
    QFETCH(bool, removed);
    QFETCH(QStringList, left);
    AddressJob.inputPaths = U16Strings(paths);
    QCOMPARE(m_dialog->RemoveInputPath(name.toStdU16String()), removed);
    QCOMPARE(QStrings(AddressJob.inputPaths), left);
}

QTEST_MAIN(InputFilesTest)
#include "input_files_test.moc"
