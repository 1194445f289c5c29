// Grid lines for the file list.
#include "ui/qt/grid_line_delegate.h"

#include <QPainter>

namespace trelvane {

void GridLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    const QRect& cell = option.rect;
    painter->save();
    painter->setPen(option.palette.color(QPalette::Mid));
    painter->drawLine(cell.bottomLeft(), cell.bottomRight());
    painter->drawLine(cell.topRight(), cell.bottomRight());
    painter->restore();
}

} // namespace trelvane
