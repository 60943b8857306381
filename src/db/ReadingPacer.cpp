#include "ReadingPacer.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#if defined(Q_OS_LINUX)
#include <dlfcn.h>
#endif

ReadingPacer::ReadingPacer(QSqlDatabase& db, const std::function<void()>& turn, int intervalMs)
    : turn(turn), intervalMs(intervalMs) {
    clock.start();
#if defined(Q_OS_LINUX)
    if (!turn || db.driverName() != QLatin1String("QSQLITE") || !db.driver())
        return;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return;
    void* library = dlopen("libsqlite3.so.0", RTLD_LAZY | RTLD_NOLOAD);
    if (!library)
        return;
    const auto set = reinterpret_cast<SetProgressHandler>(dlsym(library, "sqlite3_progress_handler"));
    dlclose(library); // the driver keeps the library loaded
    engine = *static_cast<void* const*>(handle.constData());
    if (!set || !engine)
        return;
    setProgressHandler = set;
    setProgressHandler(engine, instructionsBetweenChecks, &ReadingPacer::engineProgress, this);
#else
    Q_UNUSED(db)
#endif
}

ReadingPacer::~ReadingPacer() {
    if (setProgressHandler)
        setProgressHandler(engine, 0, nullptr, nullptr);
}

void ReadingPacer::maybeTurn() {
    if (turn && clock.elapsed() >= intervalMs) {
        turn();
        clock.restart();
    }
}

void ReadingPacer::rethrowFailure() const {
    if (failure)
        std::rethrow_exception(failure);
}

int ReadingPacer::engineProgress(void* self) {
    auto* pacer = static_cast<ReadingPacer*>(self);
    try {
        pacer->maybeTurn();
        return 0;
    } catch (...) {
        pacer->failure = std::current_exception();
        return 1;
    }
}
