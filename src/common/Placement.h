#pragma once

#include <QPoint>
#include <QRect>

#include <optional>

class QWidget;

// The top-left corner that centres a frame of `frame`'s size on `over` while keeping it wholly inside
// `available`; a frame larger than `available` keeps its top-left corner inside it.
QPoint centredFramePosition(const QRect& frame, const QRect& over, const QRect& available);
// The same over the window `over` as the window system has its frame now, on its screen (the primary screen,
// and the whole of it, without a visible window); none without a screen.
std::optional<QPoint> centredFramePosition(const QRect& frame, const QWidget* over);

enum class Centring { EveryShowing, FirstShowing };

// Centres the top-level `window` on its owner (the window of its parent widget; the screen without one) when
// it is shown, once the window system has put its frame round it, and keeps it wholly on the owner's
// screen. Before the window first appears in a showing it is put where the frame it is likely to get would
// centre it, so it never opens elsewhere first.
void centreOnShow(QWidget& window, Centring when);
