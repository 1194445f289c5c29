// Answers the message boxes that a test makes the dialog open, so that none blocks the test.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <vector>

namespace trelvane::test {

/// While it lives, clicks OK on every message box that becomes visible and records its text
/// and owner. It works inside the box's own event loop, so a box opened on the dialog's
/// thread does not hold the test up.
class MessageBoxAnswerer
{
public:
    MessageBoxAnswerer()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { AnswerVisibleBoxes(); });
        m_timer.start(5);
    }

    /// The texts of the boxes answered so far, in order.
    QStringList texts;
    /// The owner window of each answered box.
    std::vector<QPointer<QWidget>> owners;

private:
    void AnswerVisibleBoxes()
    {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(window);
            if (box == nullptr || !box->isVisible())
                continue;
            texts << box->text();
            owners.emplace_back(box->parentWidget());
            box->button(QMessageBox::Ok)->click();
        }
    }

    QTimer m_timer;
};

} // namespace trelvane::test
