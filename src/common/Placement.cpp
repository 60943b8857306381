#include "Placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {
// The frame as the window system has it now; a widget's own frame geometry may still hold an older frame.
QRect frameOf(const QWidget& widget) {
    if (const QWindow* handle = widget.windowHandle())
        return handle->frameGeometry();
    return widget.frameGeometry();
}

int clamped(int value, int low, int high) {
    return std::max(low, std::min(value, high));
}

const QWidget* ownerOf(const QWidget& window) {
    return window.parentWidget() ? window.parentWidget()->window() : nullptr;
}

// Watches the window's showings and, through its handle, when it comes on screen.
class ShowingPlacement final : public QObject {
public:
    ShowingPlacement(QWidget& window, Centring when) : QObject(&window), window(window), when(when) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void shown();
    bool frameKnown() const;
    QMargins likelyFrame() const;
    void centre(const QMargins& frame);
    void placeWhenFramed();

    QWidget& window;
    const Centring when;
    QPointer<QWindow> handle;
    QMargins lastFrame;
    bool visible = false;
    bool placedBefore = false;
    bool pending = false;
};
} // namespace

QPoint centredFramePosition(const QRect& frame, const QRect& over, const QRect& available) {
    QRect placed(QPoint(), frame.size());
    placed.moveCenter(over.center());
    return {clamped(placed.left(), available.left(), available.right() + 1 - placed.width()),
            clamped(placed.top(), available.top(), available.bottom() + 1 - placed.height())};
}

std::optional<QPoint> centredFramePosition(const QRect& frame, const QWidget* over) {
    const QScreen* screen = over ? over->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return std::nullopt;
    const QRect available = screen->availableGeometry();
    return centredFramePosition(frame, over && over->isVisible() ? frameOf(*over) : available, available);
}

void centreOnShow(QWidget& window, Centring when) {
    // Owned by the window.
    new ShowingPlacement(window, when);
}

bool ShowingPlacement::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window) {
        // A spontaneous show or hide is a restore from or a minimise to the task bar: not a new showing.
        if (event->type() == QEvent::Show && !event->spontaneous() && !visible)
            shown();
        else if (event->type() == QEvent::Hide && !event->spontaneous()) {
            visible = false;
            pending = false;
        }
    } else if (watched == handle && event->type() == QEvent::Expose) {
        placeWhenFramed();
    }
    return QObject::eventFilter(watched, event);
}

void ShowingPlacement::shown() {
    visible = true;
    if (when == Centring::FirstShowing && placedBefore)
        return;
    // The window system may give the window a new handle at each showing.
    if (handle != window.windowHandle()) {
        if (handle)
            handle->removeEventFilter(this);
        handle = window.windowHandle();
        if (handle)
            handle->installEventFilter(this);
    }
    pending = true;
    if (frameKnown()) {
        placeWhenFramed();
        return;
    }
    // Not on screen yet, so no window manager has moved it: this only decides where it appears.
    centre(likelyFrame());
}

// A window without a frame gets none; any other has its frame once it is on screen.
bool ShowingPlacement::frameKnown() const {
    return window.windowFlags().testFlag(Qt::FramelessWindowHint) || (handle && handle->isExposed());
}

QMargins ShowingPlacement::likelyFrame() const {
    if (placedBefore)
        return lastFrame;
    const QWidget* owner = ownerOf(window);
    if (owner && owner->windowHandle())
        return owner->windowHandle()->frameMargins();
    return {};
}

void ShowingPlacement::placeWhenFramed() {
    if (!pending || !frameKnown())
        return;
    pending = false;
    lastFrame = handle && !window.windowFlags().testFlag(Qt::FramelessWindowHint) ? handle->frameMargins()
                                                                                  : QMargins();
    centre(lastFrame);
    placedBefore = true;
}

void ShowingPlacement::centre(const QMargins& frame) {
    const QRect framed = QRect(QPoint(), window.size()).marginsAdded(frame);
    const std::optional<QPoint> corner = centredFramePosition(framed, ownerOf(window));
    // The client area is set, not the frame's corner, so no older idea of the frame enters.
    if (corner)
        window.setGeometry(QRect(*corner + QPoint(frame.left(), frame.top()), window.size()));
}
