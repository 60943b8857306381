#include "DatabaseSession.h"

#include "DatabaseThread.h"
#include "EngineDialect.h"
#include "MarkerParser.h"
#include "StatementControl.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

namespace {

std::atomic<int> connectionCounter{0};

} // namespace

DatabaseSession::DatabaseSession(const ConnectionSettings& settings, const EngineDialect& dialect,
                                 DatabaseThread& thread)
    : settings(settings), dialect(dialect), thread(thread),
      connectionName(QStringLiteral("ADODravix-%1").arg(++connectionCounter)) {
    if (!settings.unusable.isEmpty())
        return;
    db = QSqlDatabase::addDatabase(settings.driver, connectionName);
    db.setDatabaseName(settings.databaseName);
    db.setConnectOptions(settings.connectOptions());
}

DatabaseSession::~DatabaseSession() {
    close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName);
}

void DatabaseSession::open() {
    if (db.isOpen())
        return;
    if (!settings.unusable.isEmpty())
        throw DatabaseError(settings.unusable);
    if (!db.isValid())
        throw DatabaseError(QStringLiteral("The database driver %1 is not available: %2")
                                .arg(settings.driver, DatabaseError::providerMessage(
                                                          db.lastError(), QStringLiteral("not loaded"))));
    // Opening a missing file would quietly make an empty database and every lookup would then find nothing.
    if (!settings.embeddedFile.isEmpty() && !QFileInfo(settings.embeddedFile).isFile())
        throw DatabaseError(QStringLiteral("Unable to open the database: the file %1 does not exist")
                                .arg(settings.embeddedFile));
    transactionOpen = false;
    reopenBeforeNext = false;
    if (!db.open())
        fail(db.lastError(), QStringLiteral("Unable to open the database"), DatabaseStep::Connect, false);
    try {
        dialect.prepareSession(db, settings.timeouts);
    } catch (...) {
        db.close();
        throw;
    }
}

void DatabaseSession::close() {
    if (!db.isOpen())
        return;
    if (transactionOpen)
        db.rollback();
    transactionOpen = false;
    db.close();
}

void DatabaseSession::ready() {
    if (reopenBeforeNext && !transactionOpen) {
        reopenBeforeNext = false;
        close();
    }
    open();
}

void DatabaseSession::runStatement(QSqlQuery& query, const QString& statement, const QVariantList& values,
                                   DatabaseStep activity) {
    ready();
    query.setForwardOnly(true);
    // SQL Server's decimals arrive as text unless asked for as double.
    query.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    const bool write = activity == DatabaseStep::Write;
    if (hasQtNamedPlaceholder(statement)) {
        if (!values.isEmpty())
            throw DatabaseError(
                QStringLiteral("A plain colon before a name cannot be sent together with parameters; "
                               "write it outside the parameters' statement"));
        // Qt would read the colon as a marker of its own if the text were prepared.
        if (!query.exec(statement))
            fail(query.lastError(), QStringLiteral("The statement failed"), activity, write);
        return;
    }
    if (!query.prepare(statement))
        fail(query.lastError(), QStringLiteral("The statement was refused"), activity, write);
    StatementControl::limitTime(query, settings.timeouts.statementSeconds);
    thread.setCanceller(StatementControl::canceller(db, query));
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        fail(query.lastError(), QStringLiteral("The statement failed"), activity, write);
}

void DatabaseSession::statementDone() {
    thread.setCanceller({});
}

void DatabaseSession::readingFailed(const QSqlError& error) {
    fail(error, QStringLiteral("Reading the rows failed"), DatabaseStep::Read, false);
}

void DatabaseSession::beginTransaction() {
    ready();
    if (!db.transaction())
        fail(db.lastError(), QStringLiteral("Unable to begin a transaction"), DatabaseStep::Write, true);
    transactionOpen = true;
}

void DatabaseSession::commit() {
    if (db.commit()) {
        transactionOpen = false;
        return;
    }
    // Whatever the engine still holds ends with the session: the caller's roll-back closes it, and the next
    // statement opens a fresh one, with the driver's automatic commits as they should be.
    fail(db.lastError(), QStringLiteral("Unable to commit the transaction"), DatabaseStep::Commit, true);
}

void DatabaseSession::rollback() {
    // An error handler rolls back whether or not its transaction had begun; with none open there is nothing
    // to do.
    if (!transactionOpen || !db.isOpen()) {
        transactionOpen = false;
        return;
    }
    if (reopenBeforeNext) {
        // After a failure the engine may have ended the transaction by itself, and the driver's roll-back may
        // fail and leave the driver's commit mode behind: closing the session ends both for sure.
        db.rollback();
        transactionOpen = false;
        reopenBeforeNext = false;
        db.close();
        return;
    }
    transactionOpen = false;
    // A failed statement may have made the engine roll everything back already; a roll-back asked for then
    // would only fail with a second, misleading message.
    if (endIfEngineRolledBack())
        return;
    if (!db.rollback())
        fail(db.lastError(), QStringLiteral("Unable to roll back the transaction"), DatabaseStep::Rollback,
             true);
}

bool DatabaseSession::endIfEngineRolledBack() {
    if (dialect.holdsTransaction(db))
        return false;
    // The driver still counts its transaction as open; ending it restores the driver's automatic commits.
    db.rollback();
    return true;
}

QString DatabaseSession::timedOutMessage(DatabaseStep activity) const {
    const char* what = "à consulta";
    switch (activity) {
    case DatabaseStep::Connect:
        what = "à conexão";
        break;
    case DatabaseStep::Read:
        break;
    case DatabaseStep::Write:
        what = "à gravação";
        break;
    case DatabaseStep::Commit:
        what = "à confirmação da gravação";
        break;
    case DatabaseStep::Rollback:
        what = "ao desfazer da gravação";
        break;
    }
    const int seconds = activity == DatabaseStep::Connect ? settings.timeouts.loginSeconds
                                                          : settings.timeouts.statementSeconds;
    return QStringLiteral("O banco de dados não respondeu %1 em %2 segundos.")
        .arg(QString::fromUtf8(what))
        .arg(seconds);
}

void DatabaseSession::fail(const QSqlError& error, const QString& fallback, DatabaseStep activity,
                           bool write) {
    const QString provider = DatabaseError::providerMessage(error, fallback);
    const DatabaseError::Kind kind = dialect.failureKind(error);
    // A session a failure may have left unusable is not trusted with the next statement.
    if (kind != DatabaseError::Kind::Refused || write)
        reopenBeforeNext = true;
    const QString detail = QStringLiteral(" (") + provider + QLatin1Char(')');
    switch (kind) {
    case DatabaseError::Kind::TimedOut:
        throw DatabaseError(timedOutMessage(activity) + detail, kind);
    case DatabaseError::Kind::LockTimedOut:
        throw DatabaseError(
            QStringLiteral("Os dados pedidos estão em uso por outra operação no banco de dados "
                           "há mais de %1 segundos; tente de novo em instantes.")
                    .arg(settings.timeouts.lockSeconds) +
                detail,
            kind);
    case DatabaseError::Kind::LinkLost:
        throw DatabaseError((activity == DatabaseStep::Connect
                                 ? QStringLiteral("Não foi possível conectar ao banco de dados.")
                                 : QStringLiteral("A conexão com o banco de dados caiu; ela será refeita na "
                                                  "próxima operação.")) +
                                detail,
                            kind);
    case DatabaseError::Kind::Refused:
    case DatabaseError::Kind::Cancelled:
        break;
    }
    throw DatabaseError(provider, kind);
}
