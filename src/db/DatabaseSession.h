#pragma once
// Private to src/db: the connection as the database thread holds it.

#include "ConnectionSettings.h"
#include "DatabaseError.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

#include <functional>

class DatabaseThread;
class EngineDialect;
class QSqlError;
class QSqlQuery;

// The one session with the engine, used only on the database thread: opened on demand, and closed to be
// opened afresh before the next statement once a failure may have left it unusable (a link failure or a
// time-out, a failed write, commit or roll-back).
class DatabaseSession final {
    Q_DISABLE_COPY_MOVE(DatabaseSession)

public:
    DatabaseSession(const ConnectionSettings& settings, const EngineDialect& dialect, DatabaseThread& thread);
    ~DatabaseSession();

    void open();
    void close();
    bool isOpen() const { return db.isOpen(); }
    QSqlDatabase& database() { return db; }

    // Runs a statement with its values in `query`; a failure throws, typed by what it says of the link. It
    // can be cancelled until statementDone(), rows read included; call that before `query` goes.
    void runStatement(QSqlQuery& query, const QString& statement, const QVariantList& values,
                      DatabaseStep activity);
    void statementDone();
    // A failure while reading the rows of a statement that ran.
    [[noreturn]] void readingFailed(const QSqlError& error);

    void beginTransaction();
    void commit();
    void rollback();
    bool inTransaction() const { return transactionOpen; }

    // The message a time-out of `activity` gives the person.
    QString timedOutMessage(DatabaseStep activity) const;

private:
    // Opens afresh when a failure asked for it, or opens a closed session.
    void ready();
    [[noreturn]] void fail(const QSqlError& error, const QString& fallback, DatabaseStep activity,
                           bool write);
    // When the engine has already rolled the transaction back by itself, ends the driver's side of it too
    // and says so.
    bool endIfEngineRolledBack();

    const ConnectionSettings& settings;
    const EngineDialect& dialect;
    DatabaseThread& thread;
    QString connectionName;
    QSqlDatabase db;
    bool transactionOpen = false;
    bool reopenBeforeNext = false;
};
