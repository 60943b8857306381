#pragma once

#include <QDateTime>

// Time stamps of stored rows and "today" of the date pickers come from here, so tests can fix them.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};
