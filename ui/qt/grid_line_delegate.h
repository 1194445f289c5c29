// An item delegate that draws grid lines between the rows and columns of a list.
#pragma once

#include <QStyledItemDelegate>

namespace trelvane {

/// Paints each item as usual, then its bottom and right edge in the palette's mid colour.
class GridLineDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

} // namespace trelvane
