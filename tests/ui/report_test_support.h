// What the tests of the dialog's job display share: input files, a record of the status texts
// shown, and the message boxes of a job.
#pragma once

#include "ui/dialog/control_ids.h"
#include "ui/qt/main_dialog.h"
#include "ui/qt/status_bar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QTest>

#include <vector>

namespace trelvane::test {

/// Writes text to path as bytes; fails the test when it cannot.
inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

/// Lines "<prefix><n>@example.com" for n from 1 to count, each ending in CR LF.
inline QByteArray AddressLines(const QByteArray& prefix, int count)
{
    QByteArray bytes;
    for (int n = 1; n <= count; ++n)
        bytes += prefix + QByteArray::number(n) + "@example.com\r\n";
    return bytes;
}

/// One text that part 1 of the status bar was given, with the state of the progress bar and
/// of the start button at that moment.
struct ShownText
{
    QString text;
    int range = 0;
    int position = 0;
    bool startEnabled = false;
};

/// Records every text that part 1 of the dialog's status bar is given.
class StatusHistory
{
public:
    explicit StatusHistory(CQuillanDlg& dialog)
    {
        auto* bar = dialog.findChild<StatusBar*>(QStringLiteral("statusBar"));
        auto* progress = qobject_cast<QProgressBar*>(dialog.Control(IDC_PROGRESS));
        QAbstractButton* start = dialog.Button(IDOK);
        QObject::connect(bar, &StatusBar::PartTextSet, bar,
                         [this, progress, start](int part, const QString& text) {
                             if (part == 1)
                                 shown.push_back({text, progress->maximum(), progress->value(),
                                                  start->isEnabled()});
                         });
    }

    QStringList Texts() const
    {
        QStringList texts;
        for (const ShownText& entry : shown)
            texts << entry.text;
        return texts;
    }

    std::vector<ShownText> shown;
};

/// The message boxes on screen, in the order of the top-level window list.
inline std::vector<QMessageBox*> VisibleBoxes()
{
    std::vector<QMessageBox*> boxes;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible())
            boxes.push_back(box);
    }
    return boxes;
}

/// Waits until count boxes are on screen; false after the timeout.
inline bool WaitForBoxCount(std::size_t count)
{
    return QTest::qWaitFor([count] { return VisibleBoxes().size() == count; });
}

/// The visible box that shows text, or nullptr.
inline QMessageBox* BoxWithText(const QString& text)
{
    for (QMessageBox* box : VisibleBoxes()) {
        if (box->text() == text)
            return box;
    }
    return nullptr;
}

/// Clicks OK on every visible box.
inline void CloseBoxes()
{
    for (QMessageBox* box : VisibleBoxes())
        box->button(QMessageBox::Ok)->click();
}

inline const QString processingFinishedText = QStringLiteral("文件处理完成，正在输出结果...");

/// The completion text of the status bar.
inline QString CompletionStatus(int filtered, int written)
{
    return QStringLiteral("输出完成！过滤数量：%1条 处理后数量：%2条").arg(filtered).arg(written);
}

/// The text of the completion box.
inline QString CompletionBox(int filtered, int written)
{
    return QStringLiteral("输出完成！\n过滤数量：%1条\n处理后数量：%2条")
        .arg(filtered)
        .arg(written);
}

/// The processing text of an input file.
inline QString ProcessingStatus(const QString& path, int lines)
{
    return QStringLiteral("正在处理文件 ") + path + QStringLiteral("  行数 ") +
           QString::number(lines);
}

/// Starts a job from the dialog as the user does: input paths, output path, start button.
inline void StartFromDialog(CQuillanDlg& dialog, const QStringList& inputs, const QString& output)
{
    AddressJob.inputPaths.clear();
    for (const QString& path : inputs)
        AddressJob.inputPaths.push_back(path.toStdU16String());
    dialog.Edit(IDC_OUTPUT_PATH)->setText(output);
    dialog.Button(IDOK)->click();
}

} // namespace trelvane::test
