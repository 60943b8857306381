#include "Placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void centreOver(QWidget& window, const QWidget* over) {
    QRect area;
    if (over && over->isVisible())
        area = over->frameGeometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isEmpty())
        return;
    QRect placed = window.frameGeometry();
    placed.moveCenter(area.center());
    window.move(placed.topLeft());
}
