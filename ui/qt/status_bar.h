// A status bar of fixed parts, each a sunken text field ending at a given pixel edge.
#pragma once

#include <QWidget>

#include <vector>

class QLabel;

namespace trelvane {

/// A row of text parts along the bottom of a window; part i ends at its right edge in pixels,
/// -1 meaning the bar's own right edge. Parts beyond the bar's width are cut off.
class StatusBar final : public QWidget
{
    Q_OBJECT

public:
    explicit StatusBar(QWidget* parent = nullptr);

    /// Divides the bar into one part per right edge; the texts start empty.
    void SetParts(const std::vector<int>& rightEdges);
    /// The number of parts.
    int PartCount() const;
    /// Shows text in part; a part index out of range is ignored.
    void SetPartText(int part, const QString& text);
    /// The text of part; empty for an index out of range.
    QString PartText(int part) const;
    /// The label that shows part, or nullptr.
    QLabel* PartLabel(int part) const;

    QSize sizeHint() const override;

signals:
    /// Emitted whenever a part's text is set, so that observers see every text shown.
    void PartTextSet(int part, const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceParts();

    std::vector<int> m_rightEdges;
    std::vector<QLabel*> m_parts;
};

} // namespace trelvane
