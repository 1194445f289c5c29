// A status bar of fixed parts.
#include "ui/qt/status_bar.h"

#include <QLabel>
#include <QStyle>

namespace trelvane {

StatusBar::StatusBar(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void StatusBar::SetParts(const std::vector<int>& rightEdges)
{
    qDeleteAll(m_parts);
    m_parts.clear();
    m_rightEdges = rightEdges;
    for (std::size_t i = 0; i < rightEdges.size(); ++i) {
        auto* part = new QLabel(this);
        part->setObjectName(QStringLiteral("statusPart%1").arg(i));
        part->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        part->setMargin(1);
        part->setTextFormat(Qt::PlainText);
        part->show();
        m_parts.push_back(part);
    }
    PlaceParts();
}

int StatusBar::PartCount() const
{
    return static_cast<int>(m_parts.size());
}

void StatusBar::SetPartText(int part, const QString& text)
{
    QLabel* label = PartLabel(part);
    if (!label)
        return;
    label->setText(text);
    emit PartTextSet(part, text);
}

QString StatusBar::PartText(int part) const
{
    const QLabel* label = PartLabel(part);
    return label ? label->text() : QString();
}

QLabel* StatusBar::PartLabel(int part) const
{
    if (part < 0 || part >= PartCount())
        return nullptr;
    return m_parts[static_cast<std::size_t>(part)];
}

QSize StatusBar::sizeHint() const
{
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    return {width(), fontMetrics().height() + 2 * (frame + 2)};
}

void StatusBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    PlaceParts();
}

void StatusBar::PlaceParts()
{
    int left = 0;
    for (std::size_t i = 0; i < m_parts.size(); ++i) {
        const int right = m_rightEdges[i] < 0 ? width() : m_rightEdges[i];
        m_parts[i]->setGeometry(left, 0, std::max(0, right - left), height());
        left = right;
    }
}

} // namespace trelvane
