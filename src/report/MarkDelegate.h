#pragma once

#include <QStyledItemDelegate>

// Draws a cell's status picture at its top left corner, one pixel in, over whatever the cell shows (the
// selection highlight included): the picture columns are narrower than the style's icon margins.
class MarkDelegate final : public QStyledItemDelegate {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MarkDelegate)

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
