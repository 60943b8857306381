#include "FormEvents.h"

#include "ErrorReport.h"

#include <QAbstractButton>
#include <QAction>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace {
// A message box opening or another window taking over is not a move inside the window.
bool isMoveInsideWindow(const QFocusEvent* event) {
    return event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
}

// The left button released over the control it was pressed on.
bool isClick(const QObject* watched, const QEvent* event) {
    if (event->type() != QEvent::MouseButtonRelease || !watched->isWidgetType())
        return false;
    const auto* mouse = static_cast<const QMouseEvent*>(event);
    return mouse->button() == Qt::LeftButton &&
           static_cast<const QWidget*>(watched)->rect().contains(mouse->position().toPoint());
}
} // namespace

FormEvents::FormEvents(QWidget* form, Messages& messages) : QObject(form), form(form), messages(messages) {}

void FormEvents::setTabSequence(const QList<QWidget*>& controls) {
    sequence.clear();
    for (QWidget* control : controls) {
        sequence.append(control);
        watch(control);
    }
    // Enter and Up work from every control of the window, also from one outside the sequence that a click
    // focused (a read-only field).
    for (QWidget* control : form->findChildren<QWidget*>()) {
        if (control->window() == form && control->focusPolicy() != Qt::NoFocus)
            watch(control);
    }
}

void FormEvents::onEnter(QWidget* control, std::function<void()> handler) {
    enterHandlers.insert(control, std::move(handler));
    watch(control);
}

void FormEvents::onExit(QWidget* control, std::function<void()> handler) {
    exitHandlers.insert(control, std::move(handler));
    watch(control);
}

void FormEvents::onKeyDown(QWidget* control, std::function<void(int)> handler) {
    keyHandlers.insert(control, std::move(handler));
    watch(control);
}

void FormEvents::onClick(QAbstractButton* button, std::function<void()> handler) {
    onSignal(button, &QAbstractButton::clicked, std::move(handler));
}

void FormEvents::onClick(QAction* action, std::function<void()> handler) {
    onSignal(action, &QAction::triggered, std::move(handler));
}

void FormEvents::onClick(QWidget* control, std::function<void()> handler) {
    clickHandlers.insert(control, std::move(handler));
    watch(control);
}

void FormEvents::onDoubleClick(QWidget* control, std::function<void()> handler) {
    doubleClickHandlers.insert(control, std::move(handler));
    watch(control);
}

void FormEvents::onShow(std::function<void()> handler, ShowRun when) {
    showHandler = std::move(handler);
    showRun = when;
    formShown = form->isVisible();
    form->removeEventFilter(this);
    form->installEventFilter(this);
}

void FormEvents::run(const std::function<void()>& handler) {
    runGuarded(messages, form, handler);
}

void FormEvents::watch(QWidget* control) {
    control->removeEventFilter(this);
    control->installEventFilter(this);
}

void FormEvents::moveFocus(QWidget* from, int step) {
    // From a control outside the sequence the move goes to the nearest control of the sequence in the
    // window's own order of controls, as laid out, which then counts as the first try.
    QWidget* anchor = from;
    if (!sequence.contains(from)) {
        const QList<QWidget*> controls = form->findChildren<QWidget*>();
        const int n = int(controls.size());
        const int at = int(controls.indexOf(from));
        for (int k = 1; k < n && anchor == from; ++k) {
            QWidget* control = controls.at(((at + step * k) % n + n) % n);
            if (sequence.contains(control))
                anchor = control;
        }
        if (anchor == from)
            return;
    }
    const int first = anchor == from ? 1 : 0;
    const int count = sequence.size();
    const int index = int(sequence.indexOf(anchor));
    for (int tries = first; tries < first + count; ++tries) {
        QWidget* next = sequence.at(((index + step * tries) % count + count) % count);
        if (next && next->isVisible() && next->isEnabled()) {
            // As Tab and Shift+Tab do, so a line edit entered this way selects its text and typing replaces
            // it.
            next->setFocus(step > 0 ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
    }
}

bool FormEvents::formEvent(const QEvent* event) {
    // A spontaneous show or hide is a restore from or a minimise to the task bar.
    if (event->spontaneous())
        return false;
    if (event->type() == QEvent::Hide) {
        formShown = false;
    } else if (event->type() == QEvent::Show && !formShown) {
        formShown = true;
        if (showRun == ShowRun::AtShow)
            run(showHandler);
        else
            QMetaObject::invokeMethod(
                this, [this] { run(showHandler); }, Qt::QueuedConnection);
    }
    return false;
}

bool FormEvents::mouseEvent(QObject* watched, const QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        const std::function<void()> handler = doubleClickHandlers.value(watched);
        if (handler)
            run(handler);
        return false;
    }
    const std::function<void()> handler = clickHandlers.value(watched);
    if (!handler || !isClick(watched, event))
        return false;
    run(handler);
    return true;
}

bool FormEvents::eventFilter(QObject* watched, QEvent* event) {
    if (watched == form)
        return formEvent(event);
    switch (event->type()) {
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        if (mouseEvent(watched, event))
            return true;
        break;
    case QEvent::FocusIn: {
        const auto handler = enterHandlers.constFind(watched);
        if (handler != enterHandlers.constEnd() && isMoveInsideWindow(static_cast<QFocusEvent*>(event)))
            run(*handler);
        break;
    }
    case QEvent::FocusOut: {
        const auto handler = exitHandlers.constFind(watched);
        if (handler != exitHandlers.constEnd() && isMoveInsideWindow(static_cast<QFocusEvent*>(event)))
            run(*handler);
        break;
    }
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* control = qobject_cast<QWidget*>(watched);
        const bool isEnter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (isEnter && qobject_cast<QAbstractButton*>(control)) {
            // A focused button takes Enter as a press; the form-level rule does not apply.
            static_cast<QAbstractButton*>(control)->click();
            return true;
        }
        if (!sequence.isEmpty()) {
            if (isEnter)
                moveFocus(control, 1);
            else if (key == Qt::Key_Up)
                moveFocus(control, -1);
        }
        const auto handler = keyHandlers.constFind(watched);
        if (handler != keyHandlers.constEnd()) {
            const auto keyHandler = *handler;
            run([&] { keyHandler(key); });
        }
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
