#pragma once

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

// A picture or a label "clicked": the left button released over the control it was pressed on.
inline bool isClick(const QObject* watched, const QEvent* event) {
    if (event->type() != QEvent::MouseButtonRelease || !watched->isWidgetType())
        return false;
    const auto* mouse = static_cast<const QMouseEvent*>(event);
    return mouse->button() == Qt::LeftButton &&
           static_cast<const QWidget*>(watched)->rect().contains(mouse->position().toPoint());
}
