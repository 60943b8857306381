#pragma once
// Private to src/db: the query object's turns while it reads a result.

#include <QElapsedTimer>

#include <exception>
#include <functional>

class QSqlDatabase;

// Lets the interface turn about every `intervalMs` while a result is read, also inside one long step of the
// embedded engine (a grouping reads every row before it returns its first), through the engine's progress
// callback. That callback is used only where the engine's shared library is the one Qt's driver loaded, so
// the handle and the call belong to the same library; elsewhere turns come between rows only.
class ReadingPacer final {
    Q_DISABLE_COPY_MOVE(ReadingPacer)

public:
    // `turn` must outlive the pacer.
    ReadingPacer(QSqlDatabase& db, const std::function<void()>& turn, int intervalMs);
    ~ReadingPacer();

    void maybeTurn();

    // A failure inside the engine's callback can't cross the engine: the statement is stopped and the
    // failure goes on from here.
    void rethrowFailure() const;

private:
    using SetProgressHandler = void (*)(void*, int, int (*)(void*), void*);
    static constexpr int instructionsBetweenChecks = 20000;

    static int engineProgress(void* self);

    const std::function<void()>& turn;
    int intervalMs;
    QElapsedTimer clock;
    SetProgressHandler setProgressHandler = nullptr;
    void* engine = nullptr;
    std::exception_ptr failure;
};
