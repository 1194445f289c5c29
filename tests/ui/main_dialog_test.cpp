// The main dialog's controls, start state, radio groups, keyboard handling, tab order and text fit.
#include "ui/qt/main_dialog.h"

#include "ui/qt/status_bar.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using namespace trelvane;

namespace {

// Counts the start handler's runs instead of starting a job.
class CountingDialog final : public CQuillanDlg
{
public:
    using CQuillanDlg::CQuillanDlg;
    void OnStart() override { ++starts; }
    int starts = 0;
};

const QStringList radioNames = {"IDC_SORT_ASC",      "IDC_SORT_DESC",   "IDC_SUFFIX_NONE",
                                "IDC_SUFFIX_DELETE", "IDC_SUFFIX_KEEP", "IDC_MERGE_OUTPUT",
                                "IDC_SPLIT_OUTPUT"};

QPoint IndicatorCentre(const QAbstractButton* button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    const auto element = qobject_cast<const QRadioButton*>(button) ? QStyle::SE_RadioButtonIndicator
                                                                   : QStyle::SE_CheckBoxIndicator;
    return button->style()->subElementRect(element, &option, button).center();
}

QStringList CheckedRadios(const QWidget* dialog)
{
    QStringList checked;
    for (const QString& name : radioNames) {
        if (dialog->findChild<QRadioButton*>(name)->isChecked())
            checked << name;
    }
    return checked;
}

// The width a style needs around a control's text, measured the way the style draws it.
int NeededWidth(const QWidget* widget, const QString& text)
{
    const QStyle* style = widget->style();
    const int textWidth = widget->fontMetrics().horizontalAdvance(text);
    if (qobject_cast<const QRadioButton*>(widget))
        return textWidth + style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
               style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
    if (qobject_cast<const QCheckBox*>(widget))
        return textWidth + style->pixelMetric(QStyle::PM_IndicatorWidth) +
               style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    if (qobject_cast<const QPushButton*>(widget))
        return textWidth + 2 * style->pixelMetric(QStyle::PM_ButtonMargin);
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return textWidth + 2 * (label->margin() + label->frameWidth());
    return textWidth;
}

QString TextOf(const QWidget* widget)
{
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* group = qobject_cast<const QGroupBox*>(widget))
        return group->title();
    return {};
}

} // namespace

class MainDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controlsFollowTheTemplate_data();
    void controlsFollowTheTemplate();
    void startState_data();
    void startState();
    void startStateOfListProgressAndStatus();
    void windowIsFixedWithCloseAndMinimiseOnly();
    void radioClickChangesOnlyItsOwnSet_data();
    void radioClickChangesOnlyItsOwnSet();
    void dedupBoxStaysChecked();
    void numberEditsTakeDigitsOnly_data();
    void numberEditsTakeDigitsOnly();
    void enterRunsTheStartHandler_data();
    void enterRunsTheStartHandler();
    void escapeAndCloseEndTheDialog_data();
    void escapeAndCloseEndTheDialog();
    void tabFollowsTemplateOrder();
    void everyTextFitsItsControl_data();
    void everyTextFitsItsControl();
    void screenshot();

private:
    template <class T> T* Find(const QString& name) const
    {
        auto* widget = m_dialog->findChild<T*>(name);
        if (!widget)
            qFatal("no control %s", qPrintable(name));
        return widget;
    }

    std::unique_ptr<CountingDialog> m_dialog;
};

void MainDialogTest::init()
{
    m_dialog = std::make_unique<CountingDialog>();
    m_dialog->show();
    QApplication::setActiveWindow(m_dialog.get());
    QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
}

void MainDialogTest::cleanup()
{
    m_dialog.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (const QWidget* window : QApplication::topLevelWidgets())
        QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
}

// Template rectangles in dialog units; pixel rectangles must keep their share of the dialog.
void MainDialogTest::controlsFollowTheTemplate_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("units");
    const auto row = [](const char* name, const char* text, int x, int y, int w, int h) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromUtf8(text)
                            << QRect(x, y, w, h);
    };
    row("IDOK", "整理并输出", 141, 255, 59, 14);
    row("IDC_ADD_FILES", "添加待处理文件(txt)", 7, 255, 70, 14);
    row("IDC_FILE_LIST", "", 7, 7, 127, 242);
    row("IDC_REMOVE_SELECTED", "删除选中", 82, 255, 50, 14);
    row("groupSortingRules", "整理规则", 139, 7, 301, 188);
    row("IDC_SORT_ASC", "按首字母升序排列", 153, 20, 71, 10);
    row("IDC_SORT_DESC", "按首字母降序排列", 234, 20, 71, 10);
    row("labelTestInterval", "间隔行数：", 153, 142, 35, 8);
    row("IDC_TEST_INTERVAL", "", 188, 140, 40, 14);
    row("labelTestAddress", "测试邮址：", 237, 142, 35, 8);
    row("IDC_TEST_ADDRESS", "", 270, 140, 148, 14);
    row("IDC_USE_TEST", "使用测试邮件（使用测试邮件可以对群发进行抽样检测）", 153, 127, 187, 10);
    row("IDC_USE_EXCLUSION", "使用排除文件（可以批量过滤指定的邮箱）", 153, 162, 146, 10);
    row("labelExclusionPath", "导入排除文件：", 153, 177, 49, 8);
    row("IDC_EXCLUSION_PATH", "", 200, 175, 218, 14);
    row("IDC_BROWSE_EXCLUSION", "...", 421, 175, 16, 14);
    row("labelDeleteSuffixes", "输入要删除的后缀：", 153, 71, 63, 8);
    row("IDC_DELETE_SUFFIXES", "", 215, 69, 203, 14);
    row("labelKeepSuffixes", "输入要保留的后缀：", 153, 108, 63, 8);
    row("IDC_KEEP_SUFFIXES", "", 214, 106, 204, 14);
    row("groupOutputRules", "输出规则", 139, 200, 301, 50);
    row("IDC_MERGE_OUTPUT", "合并为一个文件后输出", 153, 213, 85, 10);
    row("IDC_SPLIT_OUTPUT", "分卷输出", 272, 213, 43, 10);
    row("labelMaxLines", "每卷最大行数：", 322, 214, 49, 8);
    row("IDC_MAX_LINES", "", 371, 212, 40, 14);
    row("IDC_PROGRESS", "", 250, 255, 190, 14);
    row("labelProgress", "处理进度：", 212, 258, 35, 8);
    row("IDC_SUFFIX_NONE", "不处理后缀", 153, 38, 50, 10);
    row("IDC_SUFFIX_DELETE", "删除指定后缀（不带@，多个请用|分隔。例如：qq.com|163.com）", 153, 56,
        230, 10);
    row("IDC_SUFFIX_KEEP", "只保留指定后缀（不带@，多个请用|分隔。例如：qq.com|163.com）", 153, 91,
        257, 10);
    row("labelOutputPath", "输出文件：", 153, 232, 35, 8);
    row("IDC_OUTPUT_PATH", "", 188, 230, 230, 14);
    row("IDC_BROWSE_OUTPUT", "...", 420, 230, 16, 14);
    row("labelDedup", "软件内部自动去重复！", 348, 21, 70, 8);
    row("IDC_DEDUP", "", 337, 21, 8, 10);
}

void MainDialogTest::controlsFollowTheTemplate()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QRect, units);
    const QWidget* control = Find<QWidget>(name);
    QCOMPARE(TextOf(control), text);
    const double perUnitX = m_dialog->width() / 447.0;
    const double perUnitY = m_dialog->height() / 287.0;
    const QRect pixels = control->geometry();
    QVERIFY2(qAbs(pixels.x() - units.x() * perUnitX) <= 1, "x");
    QVERIFY2(qAbs(pixels.y() - units.y() * perUnitY) <= 1, "y");
    QVERIFY2(qAbs(pixels.width() - units.width() * perUnitX) <= 1, "width");
    QVERIFY2(qAbs(pixels.height() - units.height() * perUnitY) <= 1, "height");
}

void MainDialogTest::startState_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("checked"); // -1: not a button
    QTest::addColumn<bool>("enabled");
    const auto row = [](const char* name, int checked, bool enabled) {
        QTest::newRow(name) << QString::fromLatin1(name) << checked << enabled;
    };
    row("IDOK", 0, true);
    row("IDC_ADD_FILES", 0, true);
    row("IDC_REMOVE_SELECTED", 0, true);
    row("IDC_SORT_ASC", 1, true);
    row("IDC_SORT_DESC", 0, true);
    row("IDC_SUFFIX_NONE", 1, true);
    row("IDC_SUFFIX_DELETE", 0, true);
    row("IDC_SUFFIX_KEEP", 0, true);
    row("IDC_MERGE_OUTPUT", 1, true);
    row("IDC_SPLIT_OUTPUT", 0, true);
    row("IDC_USE_TEST", 0, true);
    row("IDC_USE_EXCLUSION", 0, true);
    row("IDC_DEDUP", 1, false);
    row("IDC_BROWSE_EXCLUSION", 0, true);
    row("IDC_BROWSE_OUTPUT", 0, true);
    for (const char* edit :
         {"IDC_TEST_INTERVAL", "IDC_TEST_ADDRESS", "IDC_EXCLUSION_PATH", "IDC_DELETE_SUFFIXES",
          "IDC_KEEP_SUFFIXES", "IDC_MAX_LINES", "IDC_OUTPUT_PATH"})
        row(edit, -1, true);
    row("IDC_FILE_LIST", -1, true);
    row("IDC_PROGRESS", -1, true);
}

void MainDialogTest::startState()
{
    QFETCH(QString, name);
    QFETCH(int, checked);
    QFETCH(bool, enabled);
    const QWidget* control = Find<QWidget>(name);
    QCOMPARE(control->isEnabled(), enabled);
    if (const auto* edit = qobject_cast<const QLineEdit*>(control))
        QCOMPARE(edit->text(), QString());
    if (checked >= 0)
        QCOMPARE(qobject_cast<const QAbstractButton*>(control)->isChecked(), checked == 1);
}

void MainDialogTest::startStateOfListProgressAndStatus()
{
    const auto* list = Find<QTreeWidget>("IDC_FILE_LIST");
    QCOMPARE(list->topLevelItemCount(), 0);
    QCOMPARE(list->columnCount(), 1);
    QCOMPARE(list->headerItem()->text(0), QString::fromUtf8("待处理文件"));
    QCOMPARE(list->header()->sectionSize(0), 210);
    QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QVERIFY(!list->rootIsDecorated());

    const auto* progress = Find<QProgressBar>("IDC_PROGRESS");
    QCOMPARE(progress->minimum(), 0);
    QCOMPARE(progress->maximum(), 100);
    QCOMPARE(progress->value(), 0);

    const auto* status = Find<StatusBar>("statusBar");
    QCOMPARE(status->PartCount(), 3);
    QCOMPARE(status->PartText(0), QString::fromUtf8("状态："));
    QCOMPARE(status->PartText(1), QString::fromUtf8("初始化完成"));
    QCOMPARE(status->PartText(2), QString());
    QCOMPARE(status->PartLabel(0)->geometry().right() + 1, 50);
    QCOMPARE(status->PartLabel(1)->geometry().right() + 1, qMin(700, m_dialog->width()));
    QCOMPARE(status->geometry().bottom() + 1, m_dialog->height());
    QCOMPARE(status->width(), m_dialog->width());
    QVERIFY(status->y() >= qRound(269 * m_dialog->height() / 287.0));

    QCOMPARE(QApplication::focusWidget(), Find<QWidget>("IDOK"));
    QCOMPARE(AddressJob.report, static_cast<IProcessReport*>(m_dialog.get()));
}

void MainDialogTest::windowIsFixedWithCloseAndMinimiseOnly()
{
    QCOMPARE(m_dialog->windowTitle(), QString::fromUtf8("Trelvane(V2.2)  2015.3.2更新"));
    QCOMPARE(m_dialog->minimumSize(), m_dialog->maximumSize());
    const Qt::WindowFlags flags = m_dialog->windowFlags();
    QCOMPARE(m_dialog->windowType(), Qt::Window); // a dialog type would lose its task-bar entry
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
    QVERIFY(Find<QPushButton>("IDOK")->isDefault());
}

void MainDialogTest::radioClickChangesOnlyItsOwnSet_data()
{
    QTest::addColumn<QString>("clicked");
    QTest::addColumn<QStringList>("checked");
    QTest::newRow("descending") << "IDC_SORT_DESC"
                                << QStringList{"IDC_SORT_DESC", "IDC_SUFFIX_NONE",
                                               "IDC_MERGE_OUTPUT"};
    QTest::newRow("delete suffixes")
        << "IDC_SUFFIX_DELETE"
        << QStringList{"IDC_SORT_ASC", "IDC_SUFFIX_DELETE", "IDC_MERGE_OUTPUT"};
    QTest::newRow("keep suffixes")
        << "IDC_SUFFIX_KEEP" << QStringList{"IDC_SORT_ASC", "IDC_SUFFIX_KEEP", "IDC_MERGE_OUTPUT"};
    QTest::newRow("volumes") << "IDC_SPLIT_OUTPUT"
                             << QStringList{"IDC_SORT_ASC", "IDC_SUFFIX_NONE", "IDC_SPLIT_OUTPUT"};
    QTest::newRow("checked one again")
        << "IDC_SORT_ASC" << QStringList{"IDC_SORT_ASC", "IDC_SUFFIX_NONE", "IDC_MERGE_OUTPUT"};
}

void MainDialogTest::radioClickChangesOnlyItsOwnSet()
{
    QFETCH(QString, clicked);
    QFETCH(QStringList, checked);
    auto* radio = Find<QRadioButton>(clicked);
    QTest::mouseClick(radio, Qt::LeftButton, {}, IndicatorCentre(radio));
    QCOMPARE(CheckedRadios(m_dialog.get()), checked);
}

void MainDialogTest::dedupBoxStaysChecked()
{
    auto* dedup = Find<QCheckBox>("IDC_DEDUP");
    QTest::mouseClick(dedup, Qt::LeftButton, {}, IndicatorCentre(dedup));
    QTest::mouseClick(dedup, Qt::LeftButton, {}, IndicatorCentre(dedup));
    QVERIFY(dedup->isChecked());
    QVERIFY(!dedup->isEnabled());
}

void MainDialogTest::numberEditsTakeDigitsOnly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("interval: letters") << "IDC_TEST_INTERVAL"
                                       << "a1b2c"
                                       << "12";
    QTest::newRow("interval: signs and separators") << "IDC_TEST_INTERVAL"
                                                    << "-5+3,000 "
                                                    << "53000";
    QTest::newRow("max lines: letters") << "IDC_MAX_LINES"
                                        << "x9y0z"
                                        << "90";
    QTest::newRow("max lines: minus") << "IDC_MAX_LINES"
                                      << "-7"
                                      << "7";
    QTest::newRow("address edit takes letters") << "IDC_TEST_ADDRESS"
                                                << "a1b"
                                                << "a1b";
}

void MainDialogTest::numberEditsTakeDigitsOnly()
{
    QFETCH(QString, name);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    auto* edit = Find<QLineEdit>(name);
    edit->setFocus();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), shown);
}

void MainDialogTest::enterRunsTheStartHandler_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("startEnabled");
    QTest::addColumn<int>("starts");
    QTest::newRow("in the address edit") << "IDC_TEST_ADDRESS" << int(Qt::Key_Return) << true << 1;
    QTest::newRow("in a number edit") << "IDC_TEST_INTERVAL" << int(Qt::Key_Return) << true << 1;
    QTest::newRow("keypad enter") << "IDC_OUTPUT_PATH" << int(Qt::Key_Enter) << true << 1;
    QTest::newRow("in the file list") << "IDC_FILE_LIST" << int(Qt::Key_Return) << true << 1;
    QTest::newRow("on a check box") << "IDC_USE_TEST" << int(Qt::Key_Return) << true << 1;
    QTest::newRow("on another button") << "IDC_ADD_FILES" << int(Qt::Key_Return) << true << 1;
    QTest::newRow("on the start button") << "IDOK" << int(Qt::Key_Return) << true << 1;
    QTest::newRow("start disabled") << "IDC_TEST_ADDRESS" << int(Qt::Key_Return) << false << 0;
}

void MainDialogTest::enterRunsTheStartHandler()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(bool, startEnabled);
    QFETCH(int, starts);
    Find<QWidget>("IDOK")->setEnabled(startEnabled);
    QSignalSpy addClicks(Find<QPushButton>("IDC_ADD_FILES"), &QAbstractButton::clicked);
    QSignalSpy finished(m_dialog.get(), &QDialog::finished);
    auto* target = Find<QWidget>(focus);
    target->setFocus();
    QTest::keyClick(target, Qt::Key(key));
    QCOMPARE(m_dialog->starts, starts);
    QCOMPARE(addClicks.count(), 0);
    QCOMPARE(finished.count(), 0);
    QVERIFY(m_dialog->isVisible());
}

void MainDialogTest::escapeAndCloseEndTheDialog_data()
{
    QTest::addColumn<bool>("byEscape");
    QTest::newRow("Esc") << true;
    QTest::newRow("close box or Alt+F4") << false;
}

void MainDialogTest::escapeAndCloseEndTheDialog()
{
    QFETCH(bool, byEscape);
    QSignalSpy finished(m_dialog.get(), &QDialog::finished);
    if (byEscape)
        QTest::keyClick(Find<QLineEdit>("IDC_OUTPUT_PATH"), Qt::Key_Escape);
    else
        QVERIFY(m_dialog->close());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.front().front().toInt(), int(QDialog::Rejected));
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->starts, 0);
}

void MainDialogTest::tabFollowsTemplateOrder()
{
    const QStringList expected = {
        "IDC_ADD_FILES",       "IDC_FILE_LIST",      "IDC_REMOVE_SELECTED",
        "IDC_TEST_INTERVAL",   "IDC_TEST_ADDRESS",   "IDC_USE_TEST",
        "IDC_USE_EXCLUSION",   "IDC_EXCLUSION_PATH", "IDC_BROWSE_EXCLUSION",
        "IDC_DELETE_SUFFIXES", "IDC_KEEP_SUFFIXES",  "IDC_MAX_LINES",
        "IDC_OUTPUT_PATH",     "IDC_BROWSE_OUTPUT",  "IDOK"};
    QCOMPARE(QApplication::focusWidget()->objectName(), QString("IDOK"));
    QStringList visited;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);
}

// Dialog units follow the font, so every font must give a dialog whose texts fit.
void MainDialogTest::everyTextFitsItsControl_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("pointSize");
    QTest::newRow("default font") << QString() << 0;
    QTest::newRow("CJK font for all text") << "WenQuanYi Micro Hei" << 9;
    QTest::newRow("narrow Latin font") << "DejaVu Sans Condensed" << 9;
    QTest::newRow("large font") << "DejaVu Sans" << 13;
}

void MainDialogTest::everyTextFitsItsControl()
{
    QFETCH(QString, family);
    QFETCH(int, pointSize);
    const QFont defaultFont = QApplication::font();
    if (!family.isEmpty()) {
        m_dialog.reset();
        QApplication::setFont(QFont(family, pointSize));
        m_dialog = std::make_unique<CountingDialog>();
        m_dialog->show();
        QApplication::setFont(defaultFont);
        QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    }
    for (const QWidget* control : m_dialog->findChildren<QWidget*>()) {
        const QString text = TextOf(control);
        if (text.isEmpty() || !control->isVisible())
            continue;
        const QString what = control->objectName() + ": " + text;
        QVERIFY2(NeededWidth(control, text) <= control->width(), qPrintable(what));
        QVERIFY2(control->fontMetrics().boundingRect(text).height() <= control->height(),
                 qPrintable(what));
    }
    const auto* list = Find<QTreeWidget>("IDC_FILE_LIST");
    QVERIFY(list->fontMetrics().horizontalAdvance(list->headerItem()->text(0)) <=
            list->header()->sectionSize(0));
}

// Saves a picture of the dialog for a look by eye: TRELVANE_DIALOG_PNG=/tmp/dialog.png.
void MainDialogTest::screenshot()
{
    const QString path = qEnvironmentVariable("TRELVANE_DIALOG_PNG");
    if (path.isEmpty())
        QSKIP("TRELVANE_DIALOG_PNG not set");
    QVERIFY(m_dialog->grab().save(path));
}

QTEST_MAIN(MainDialogTest)
#include "main_dialog_test.moc"
