#pragma once

#include "common/Clock.h"
#include "common/Shell.h"

#include <QDateTime>
#include <QList>
#include <QUrl>

#include <functional>
#include <map>

// A clock that shows the moment a test sets; its waits run when the test lets the time pass.
class FixedClock final : public Clock {
public:
    FixedClock() = default;
    explicit FixedClock(const QDateTime& moment) : moment(moment) {}
    QDateTime now() const override { return moment; }
    void after(int ms, QObject*, std::function<void()> action) override {
        waits.emplace(elapsed + ms, std::move(action));
    }
    void pass(int ms) {
        elapsed += ms;
        while (!waits.empty() && waits.begin()->first <= elapsed)
            waits.extract(waits.begin()).mapped()();
    }
    QDateTime moment;
    qint64 elapsed = 0;
    std::multimap<qint64, std::function<void()>> waits;
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

#include "db/WaitPresenter.h"

// The wait sign's double: records the seconds it was shown and presses "Cancelar" at its first showing when
// told to.
class CancellingWait final : public WaitPresenter {
public:
    explicit CancellingWait(bool cancel) : cancel(cancel) {}
    void waitGoesOn(int seconds, const std::function<void()>& cancelNow) override {
        shown.append(seconds);
        if (cancel && shown.size() == 1)
            cancelNow();
    }
    void waitEnds() override { ++ended; }
    bool takesInput(const QObject*) const override { return false; }
    bool cancel;
    QList<int> shown;
    int ended = 0;
};
