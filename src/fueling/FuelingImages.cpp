#include "FuelingImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace FuelingImages {

QIcon searchIcon() {
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 0, 128), 2.5));
    painter.setBrush(QColor(200, 225, 255));
    painter.drawEllipse(QRectF(2, 2, 11, 11));
    painter.setPen(QPen(QColor(0, 0, 128), 3.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(12, 12), QPointF(18, 18));
    return QIcon(pixmap);
}

QIcon confirmIcon() {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath tick;
    tick.moveTo(3, 13);
    tick.lineTo(9, 19);
    tick.lineTo(21, 5);
    painter.setPen(QPen(QColor(0, 128, 0), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(tick);
    return QIcon(pixmap);
}

} // namespace FuelingImages
