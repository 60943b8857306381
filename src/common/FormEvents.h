#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class Messages;
class QAbstractButton;
class QAction;
class QWidget;

// One per window: maps focus moves inside the window to enter/exit handlers, runs key handlers, clicks and
// the window's show handler, and applies the window's keyboard rules (Enter moves on, Up moves back, Enter on
// a focused button presses it). Every handler runs guarded, so its errors show as the general error report.
class FormEvents final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormEvents)

public:
    FormEvents(QWidget* form, Messages& messages);

    // Enter and Up move along this sequence, wrapping at both ends. Empty: no form-level navigation.
    void setTabSequence(const QList<QWidget*>& sequence);
    void onEnter(QWidget* control, std::function<void()> handler);
    void onExit(QWidget* control, std::function<void()> handler);
    // The control's own key handler; it sees the key after the form-level rule, which never consumes it.
    void onKeyDown(QWidget* control, std::function<void(int key)> handler);

    void onClick(QAbstractButton* button, std::function<void()> handler);
    void onClick(QAction* action, std::function<void()> handler);
    // A picture, a label or a panel: the left button released over the control it was pressed on. The click
    // stops there, so a panel holding the control does not take it as well.
    void onClick(QWidget* control, std::function<void()> handler);
    void onDoubleClick(QWidget* control, std::function<void()> handler);
    // Any other signal of a control that stands for a user's act.
    template <typename Sender, typename Signal>
    void onSignal(const Sender* sender, Signal signal, std::function<void()> handler) {
        connect(sender, signal, this, [this, handler = std::move(handler)] { run(handler); });
    }

    // When the handler of a showing runs: at the show, before the window is drawn, or once it is on screen,
    // so the boxes the handler shows come up over it.
    enum class ShowRun { AtShow, OnceShown };
    // The window's show handler: runs each time the window goes from hidden to shown. Restoring it from the
    // task bar is no new showing.
    void onShow(std::function<void()> handler, ShowRun when = ShowRun::AtShow);

    // Runs a handler the way an event would: guarded.
    void run(const std::function<void()>& handler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watch(QWidget* control);
    void moveFocus(QWidget* from, int step);
    bool formEvent(const QEvent* event);
    bool mouseEvent(QObject* watched, const QEvent* event);

    QWidget* form;
    Messages& messages;
    QList<QPointer<QWidget>> sequence;
    QHash<QObject*, std::function<void()>> enterHandlers;
    QHash<QObject*, std::function<void()>> exitHandlers;
    QHash<QObject*, std::function<void(int)>> keyHandlers;
    QHash<QObject*, std::function<void()>> clickHandlers;
    QHash<QObject*, std::function<void()>> doubleClickHandlers;
    std::function<void()> showHandler;
    ShowRun showRun = ShowRun::AtShow;
    bool formShown = false;
};
