#include "MarkDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

void MarkDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    QStyleOptionViewItem cell(option);
    initStyleOption(&cell, index);
    cell.features &= ~QStyleOptionViewItem::HasDecoration;
    cell.icon = QIcon();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);

    const QVariant mark = index.data(Qt::DecorationRole);
    if (mark.canConvert<QPixmap>()) {
        const QPixmap picture = mark.value<QPixmap>();
        if (!picture.isNull())
            painter->drawPixmap(option.rect.topLeft() + QPoint(1, 1), picture);
    }
}
