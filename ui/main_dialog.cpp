// The main dialog's construction, layout, start state and closing.
#include "ui/main_dialog.h"

#include "engine/notice.h"

#include "ui/dialog_template.h"
#include "ui/dialog_units.h"
#include "ui/file_dialogs.h"
#include "ui/file_drop.h"
#include "ui/grid_line_delegate.h"
#include "ui/message_box.h"
#include "ui/report_state.h"
#include "ui/status_bar.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>
#include <initializer_list>

namespace trelvane {
namespace {

constexpr Qt::WindowFlags dialogWindowFlags =
    Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
    Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
constexpr int fileColumnWidth = 210;
constexpr int statusBarTop = 269; // dialog units; no template control lies below
const std::vector<int> statusPartEdges = {50, 700, -1};

QString Translated(const char* text)
{
    return QCoreApplication::translate("CQuillanDlg", text);
}

QWidget* CreateControl(const ControlTemplate& control, QWidget* parent)
{
    const QString text = Translated(control.text);
    switch (control.kind) {
    case ControlKind::DefaultButton:
    case ControlKind::PushButton: {
        auto* button = new QPushButton(text, parent);
        button->setAutoDefault(false);
        button->setDefault(control.kind == ControlKind::DefaultButton);
        return button;
    }
    case ControlKind::ListView:
        return new QTreeWidget(parent);
    case ControlKind::GroupBox:
        return new QGroupBox(text, parent);
    case ControlKind::RadioButton: {
        auto* radio = new QRadioButton(text, parent);
        radio->setFocusPolicy(Qt::ClickFocus); // the mouse selects them; Tab passes them by
        return radio;
    }
    case ControlKind::CheckBox:
        return new QCheckBox(text, parent);
    case ControlKind::Label:
        return new QLabel(text, parent);
    case ControlKind::Edit:
        return new QLineEdit(parent);
    case ControlKind::NumberEdit: {
        auto* edit = new QLineEdit(parent);
        // QIntValidator would let signs and group separators through.
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
        return edit;
    }
    case ControlKind::ProgressBar:
        return new QProgressBar(parent);
    }
    return nullptr;
}

// The width in pixels that a control needs to show its whole text with the style's decoration.
int NeededWidth(const ControlTemplate& control, const QWidget* widget)
{
    const QString text = Translated(control.text);
    if (text.isEmpty())
        return 0;
    const int textWidth = widget->fontMetrics().horizontalAdvance(text);
    const QStyle* style = widget->style();
    switch (control.kind) {
    case ControlKind::DefaultButton:
    case ControlKind::PushButton:
        return textWidth + 2 * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, widget) +
                                style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, widget));
    case ControlKind::RadioButton:
    case ControlKind::CheckBox:
        return widget->sizeHint().width();
    case ControlKind::GroupBox:
        return textWidth + 2 * widget->fontMetrics().height();
    default:
        return textWidth;
    }
}

// The height in pixels of one line of the control's text, fallback fonts included.
int NeededLineHeight(const ControlTemplate& control, const QWidget* widget)
{
    const QFontMetrics& metrics = widget->fontMetrics();
    return std::max(metrics.height(), metrics.boundingRect(Translated(control.text)).height());
}

} // namespace

CQuillanDlg::CQuillanDlg(std::unique_ptr<IFileDialogs> fileDialogs, QWidget* parent)
    : QDialog(parent, dialogWindowFlags),
      m_fileDialogs(fileDialogs ? std::move(fileDialogs) : std::make_unique<QtFileDialogs>()),
      m_reportState(std::make_unique<ReportState>())
{
    setWindowTitle(Translated(mainDialogCaption));
    BuildControls();
    GroupRadioButtons();
    SetUpFileList();
    LayOutControls();
    ConnectHandlers();
    InitReporting();
    SetStartState();
    AllowWorkerMessages();
    AddressJob.report = this;
    SetJobAbortHandler([this] { OnJobAborted(); });
}

CQuillanDlg::~CQuillanDlg()
{
    // A running job ends before the window goes, and a later report must not reach it.
    StopJobForClose();
    if (AddressJob.report == this) {
        AddressJob.report = nullptr;
        SetJobAbortHandler(nullptr);
    }
}

QWidget* CQuillanDlg::Control(int id) const
{
    return m_controls.value(id, nullptr);
}

QAbstractButton* CQuillanDlg::Button(int id) const
{
    return qobject_cast<QAbstractButton*>(Control(id));
}

QLineEdit* CQuillanDlg::Edit(int id) const
{
    return qobject_cast<QLineEdit*>(Control(id));
}

int CQuillanDlg::RunModal()
{
    // exec() would make the dialog application-modal, which blocks the unowned message boxes
    // of the workers too. Window-modal without a parent blocks nothing but its own children.
    setWindowModality(Qt::WindowModal);
    return exec();
}

void CQuillanDlg::accept() {}

void CQuillanDlg::reject()
{
    StopJobForClose();
    QDialog::reject();
}

void CQuillanDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QDialog::keyPressEvent(event);
        return;
    }
    // Controls that do not use Enter pass it here; it acts as the default button, which is
    // disabled while a job runs.
    event->accept();
    if (QAbstractButton* start = Button(IDOK); start && start->isEnabled())
        start->click();
}

void CQuillanDlg::BuildControls()
{
    for (const ControlTemplate& control : MainDialogTemplate()) {
        QWidget* widget = CreateControl(control, this);
        widget->setObjectName(QString::fromLatin1(control.name));
        if (control.id != IDC_STATIC)
            m_controls.insert(control.id, widget);
    }
    m_fileList = qobject_cast<QTreeWidget*>(Control(IDC_FILE_LIST));
    m_progress = qobject_cast<QProgressBar*>(Control(IDC_PROGRESS));
    m_statusBar = new StatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("statusBar"));
}

void CQuillanDlg::GroupRadioButtons()
{
    const std::initializer_list<int> sets[] = {
        {IDC_SORT_ASC, IDC_SORT_DESC},
        {IDC_SUFFIX_NONE, IDC_SUFFIX_DELETE, IDC_SUFFIX_KEEP},
        {IDC_MERGE_OUTPUT, IDC_SPLIT_OUTPUT}};
    for (const std::initializer_list<int>& set : sets) {
        auto* group = new QButtonGroup(this);
        for (int id : set)
            group->addButton(Button(id), id);
    }
}

void CQuillanDlg::SetUpFileList()
{
    m_fileList->setColumnCount(1);
    m_fileList->setHeaderLabels({Translated(QT_TRANSLATE_NOOP("CQuillanDlg", "待处理文件"))});
    m_fileList->header()->setStretchLastSection(false);
    m_fileList->header()->resizeSection(0, fileColumnWidth);
    m_fileList->header()->setSectionsClickable(true);
    m_fileList->setRootIsDecorated(false);
    m_fileList->setItemsExpandable(false);
    m_fileList->setUniformRowHeights(true);
    m_fileList->setAllColumnsShowFocus(true);
    m_fileList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_fileList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_fileList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_fileList->setItemDelegate(new GridLineDelegate(m_fileList));
    // Dropped files count as added with the add button, and only while it can be used.
    new FileDropTarget(
        m_fileList, [this] { return Button(IDC_ADD_FILES)->isEnabled(); },
        [this](const QStringList& paths) { AddInputFiles(paths); });
}

// Dialog units come from the font; where a text would not fit its control they are widened,
// which widens the whole dialog in proportion.
void CQuillanDlg::LayOutControls()
{
    DialogUnits units = DialogUnits::FromFont(fontMetrics());
    for (const ControlTemplate& control : MainDialogTemplate()) {
        const QWidget* widget = findChild<QWidget*>(QString::fromLatin1(control.name));
        units = units.WidenedToHold(control.width, NeededWidth(control, widget));
        if (control.kind == ControlKind::Label)
            units.baseY = std::max(units.baseY, double(NeededLineHeight(control, widget)));
    }
    for (const ControlTemplate& control : MainDialogTemplate()) {
        auto* widget = findChild<QWidget*>(QString::fromLatin1(control.name));
        widget->setGeometry(units.ToPixels(control.x, control.y, control.width, control.height));
    }
    setFixedSize(units.ToPixelsX(mainDialogWidth), units.ToPixelsY(mainDialogHeight));
    const int barHeight =
        std::min(m_statusBar->sizeHint().height(), height() - units.ToPixelsY(statusBarTop));
    m_statusBar->setGeometry(0, height() - barHeight, width(), barHeight);
    std::vector<int> edges = statusPartEdges;
    for (int& edge : edges)
        edge = edge < 0 ? edge : std::min(edge, width());
    m_statusBar->SetParts(edges);
}

void CQuillanDlg::ConnectHandlers()
{
    connect(Button(IDC_ADD_FILES), &QAbstractButton::clicked, this, &CQuillanDlg::OnAddFiles);
    connect(Button(IDC_REMOVE_SELECTED), &QAbstractButton::clicked, this,
            &CQuillanDlg::OnRemoveSelected);
    connect(Button(IDOK), &QAbstractButton::clicked, this, &CQuillanDlg::OnStart);
    connect(Button(IDC_BROWSE_EXCLUSION), &QAbstractButton::clicked, this,
            &CQuillanDlg::OnBrowseExclusion);
    connect(Button(IDC_BROWSE_OUTPUT), &QAbstractButton::clicked, this,
            &CQuillanDlg::OnBrowseOutput);
}

void CQuillanDlg::SetStartState()
{
    for (int id : {IDC_SORT_ASC, IDC_SUFFIX_NONE, IDC_MERGE_OUTPUT, IDC_DEDUP})
        Button(id)->setChecked(true);
    // The box only shows that duplicates are always removed.
    Control(IDC_DEDUP)->setEnabled(false);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_statusBar->SetPartText(0, Translated(QT_TRANSLATE_NOOP("CQuillanDlg", "状态：")));
    m_statusBar->SetPartText(1, Translated(QT_TRANSLATE_NOOP("CQuillanDlg", "初始化完成")));
    m_statusBar->SetPartText(2, QString());
}

} // namespace trelvane
