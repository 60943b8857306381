#pragma once

#include "common/Clock.h"
#include "common/Shell.h"

#include <QDateTime>
#include <QList>
#include <QUrl>

// A clock that shows the moment a test sets.
class FixedClock final : public Clock {
public:
    FixedClock() = default;
    explicit FixedClock(const QDateTime& moment) : moment(moment) {}
    QDateTime now() const override { return moment; }
    QDateTime moment;
};

// Records what the program asked the desktop to open; `answer` is what the desktop says.
class RecordingShell final : public Shell {
public:
    explicit RecordingShell(bool answer = true) : answer(answer) {}
    bool open(const QUrl& url) override {
        opened.append(url);
        return answer;
    }
    QList<QUrl> opened;
    bool answer;
};
