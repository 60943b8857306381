#include "SqlServerDialect.h"

#include "DatabaseError.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>

QString SqlServerDialect::adaptStatement(const QString& statement) const {
    return statement;
}

void SqlServerDialect::prepareSession(QSqlDatabase& db, const ConnectionSettings::Timeouts& timeouts) const {
    QSqlQuery collation(db);
    // Forward-only, so the driver sends a plain batch rather than opening a cursor for it.
    collation.setForwardOnly(true);
    if (!collation.exec(
            QStringLiteral(
                "SET LOCK_TIMEOUT %1; "
                "SELECT DB_NAME(), CONVERT(nvarchar(128), DATABASEPROPERTYEX(DB_NAME(), 'Collation'))")
                .arg(qint64(timeouts.lockSeconds) * 1000)))
        throw DatabaseError(DatabaseError::providerMessage(
            collation.lastError(), QStringLiteral("Unable to ask the catalog's collation")));
    const bool answered = collation.next();
    const QString catalog = answered ? collation.value(0).toString() : QString();
    const QString name = answered ? collation.value(1).toString() : QString();
    // Collation names say _CS for case-sensitive, _BIN and _BIN2 for binary comparison.
    if (name.contains(QLatin1String("_CS"), Qt::CaseInsensitive) ||
        name.contains(QLatin1String("_BIN"), Qt::CaseInsensitive))
        throw DatabaseError(
            QStringLiteral("O catálogo %1 compara nomes e textos levando em conta maiúsculas e minúsculas "
                           "(agrupamento %2), e o programa precisa de um catálogo que não as distinga "
                           "(um agrupamento _CI_, como Latin1_General_CI_AS). Peça ao administrador do "
                           "banco de dados um catálogo assim.")
                .arg(catalog, name));
}

DatabaseError::Kind SqlServerDialect::failureKind(const QSqlError& error) const {
    const QString text = error.databaseText() + QLatin1Char(' ') + error.driverText();
    const QStringList codes = error.nativeErrorCode().split(QLatin1Char(';'), Qt::SkipEmptyParts);
    const auto said = [&](const char* words) {
        return text.contains(QLatin1String(words), Qt::CaseInsensitive);
    };
    const auto numbered = [&](const char* code) { return codes.contains(QLatin1String(code)); };
    // 1222: the lock time-out of the session ran out; the statement is undone, the transaction stays.
    if (numbered("1222") || said("Lock request time out"))
        return DatabaseError::Kind::LockTimedOut;
    // HYT00 and HYT01, FreeTDS's 20003: the query or login time-out ran out.
    if (said("Timeout expired") || said("timeout expired") || numbered("20003"))
        return DatabaseError::Kind::TimedOut;
    // HY008: the statement was cancelled.
    if (said("Operation canceled") || said("Operation cancelled"))
        return DatabaseError::Kind::Cancelled;
    // SQLSTATE class 08 and the drivers' own words and numbers for a link that is gone: 20004 read and
    // 20006 write failures, 20009 unreachable server, 20017 unexpected EOF.
    if (error.type() == QSqlError::ConnectionError || said("Communication link failure") ||
        said("Unexpected EOF") || said("Read from the server failed") || said("Write to the server failed") ||
        said("Unable to connect") || said("Server is unavailable") || said("TCP Provider") ||
        said("General network error") || said("Connection is not open") || said("connection is dead") ||
        numbered("20004") || numbered("20006") || numbered("20009") || numbered("20017"))
        return DatabaseError::Kind::LinkLost;
    return DatabaseError::Kind::Refused;
}

bool SqlServerDialect::holdsTransaction(QSqlDatabase& db) const {
    QSqlQuery probe(db);
    // A question that fails answers nothing: the transaction counts as held.
    return !probe.exec(QStringLiteral("SELECT @@TRANCOUNT")) || !probe.next() || probe.value(0).toInt() > 0;
}

EngineDialect::TextReading SqlServerDialect::textReading(const QSqlField&) const {
    return {};
}

QString SqlServerDialect::likePattern(const QString& typed) const {
    QString pattern = typed;
    pattern.replace(QStringLiteral("["), QStringLiteral("[[]"));
    return pattern;
}

QVariant SqlServerDialect::wireDateTime(const QDateTime& moment) const {
    return moment.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
}
