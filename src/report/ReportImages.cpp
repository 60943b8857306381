#include "ReportImages.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

#include <functional>

namespace {
const QColor badgeGreen(0x1e, 0x9e, 0x3c);
const QColor badgeEdge(0x12, 0x6b, 0x27);

QPixmap transparentPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// Icons are drawn on a 32-pixel canvas; QIcon scales them to the button.
QIcon iconFrom(const std::function<void(QPainter&)>& draw) {
    QPixmap pixmap = transparentPixmap(32);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    painter.end();
    return QIcon(pixmap);
}
} // namespace

namespace ReportImages {

QPixmap validatedMark() {
    QPixmap pixmap = transparentPixmap(16);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(badgeEdge, 1));
    painter.setBrush(badgeGreen);
    painter.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    QPainterPath tick;
    tick.moveTo(4.0, 8.3);
    tick.lineTo(6.8, 11.0);
    tick.lineTo(12.0, 5.2);
    painter.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(tick);
    return pixmap;
}

QPixmap invoicedMark() {
    QPixmap pixmap = transparentPixmap(16);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(badgeEdge, 1));
    painter.setBrush(badgeGreen);
    painter.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 2.5, 2.5);
    // The dollar sign as strokes, so it looks the same whatever fonts the machine has.
    QPainterPath sign;
    sign.moveTo(10.6, 5.0);
    sign.cubicTo(9.6, 3.9, 5.4, 3.8, 5.4, 6.0);
    sign.cubicTo(5.4, 8.2, 10.7, 7.6, 10.7, 10.0);
    sign.cubicTo(10.7, 12.3, 6.3, 12.2, 5.2, 11.0);
    painter.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(sign);
    painter.drawLine(QPointF(8.0, 2.4), QPointF(8.0, 13.6));
    return pixmap;
}

QPixmap rowIndicator() {
    QPixmap pixmap = transparentPixmap(10);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawPolygon(QPolygonF({QPointF(2.5, 1.5), QPointF(7.5, 5.0), QPointF(2.5, 8.5)}));
    return pixmap;
}

QIcon searchIcon() {
    return iconFrom([](QPainter& painter) {
        painter.setPen(QPen(QColor(0x55, 0x3a, 0x1e), 5, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(19, 19), QPointF(28, 28));
        painter.setPen(QPen(QColor(0x40, 0x40, 0x48), 3));
        painter.setBrush(QColor(0xcf, 0xe8, 0xfa));
        painter.drawEllipse(QPointF(13, 13), 9, 9);
        painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(QRectF(8, 8, 10, 10), 100 * 16, 70 * 16);
    });
}

QIcon runIcon() {
    return iconFrom([](QPainter& painter) {
        painter.setPen(QPen(QColor(0xa0, 0x6a, 0x00), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(QColor(0xff, 0xc8, 0x1e));
        painter.drawPolygon(QPolygonF({QPointF(19, 2), QPointF(7, 18), QPointF(15, 18), QPointF(11, 30),
                                       QPointF(25, 12), QPointF(17, 12), QPointF(22, 2)}));
    });
}

QIcon spreadsheetIcon() {
    return iconFrom([](QPainter& painter) {
        const QColor green(0x1d, 0x6f, 0x42);
        painter.setPen(QPen(green, 1.5));
        painter.setBrush(Qt::white);
        QPainterPath page;
        page.moveTo(6, 2);
        page.lineTo(20, 2);
        page.lineTo(27, 9);
        page.lineTo(27, 30);
        page.lineTo(6, 30);
        page.closeSubpath();
        painter.drawPath(page);
        painter.setBrush(QColor(0xc6, 0xe6, 0xd0));
        painter.drawPolygon(QPolygonF({QPointF(20, 2), QPointF(20, 9), QPointF(27, 9)}));
        painter.setPen(QPen(green, 1));
        painter.setBrush(Qt::NoBrush);
        for (int y = 13; y <= 27; y += 4)
            painter.drawLine(QPointF(9, y), QPointF(24, y));
        painter.drawLine(QPointF(14, 13), QPointF(14, 25));
        painter.drawLine(QPointF(19, 13), QPointF(19, 25));
        painter.setPen(Qt::NoPen);
        painter.setBrush(green);
        painter.drawRect(QRectF(9, 13, 5, 4));
    });
}

QIcon exitIcon() {
    return iconFrom([](QPainter& painter) {
        // The frame, the dark opening and the door swung open towards the viewer.
        painter.setPen(QPen(QColor(0x50, 0x35, 0x1c), 1.5));
        painter.setBrush(QColor(0x2b, 0x2b, 0x33));
        painter.drawRect(QRectF(9, 3, 16, 26));
        painter.setBrush(QColor(0xb8, 0x7a, 0x3f));
        painter.drawPolygon(QPolygonF({QPointF(9, 3), QPointF(18, 6), QPointF(18, 31), QPointF(9, 29)}));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0xf0, 0xd0, 0x40));
        painter.drawEllipse(QPointF(16, 18), 1.3, 1.3);
        painter.setPen(QPen(QColor(0x7a, 0x7a, 0x7a), 1.5));
        painter.drawLine(QPointF(4, 29.5), QPointF(29, 29.5));
    });
}

} // namespace ReportImages
