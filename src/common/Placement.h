#pragma once

class QWidget;

// Moves a top-level window so that its centre lies on the centre of `over` (of the screen without it).
void centreOver(QWidget& window, const QWidget* over);
