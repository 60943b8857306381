#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class Messages;
class QWidget;

// One per window: maps focus moves inside the window to enter/exit handlers, runs key handlers, and applies
// the window's keyboard rules (Enter moves on, Up moves back, Enter on a focused button presses it). Every
// handler runs guarded, so its errors show as the general error report.
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

    // Runs a handler the way an event would: guarded.
    void run(const std::function<void()>& handler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watch(QWidget* control);
    void moveFocus(QWidget* from, int step);

    QWidget* form;
    Messages& messages;
    QList<QPointer<QWidget>> sequence;
    QHash<QObject*, std::function<void()>> enterHandlers;
    QHash<QObject*, std::function<void()>> exitHandlers;
    QHash<QObject*, std::function<void(int)>> keyHandlers;
};
