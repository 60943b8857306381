#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <functional>

// Time stamps of stored rows, "today" of the date pickers and the waits after wrong passwords come from here,
// so tests can fix the time and let it pass at once.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // Runs `action` from the event loop once `ms` milliseconds have passed, unless `context` is gone by then.
    // Nothing blocks meanwhile.
    virtual void after(int ms, QObject* context, std::function<void()> action) {
        QTimer::singleShot(ms, context, std::move(action));
    }
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};
