#include "SqlServerDialect.h"

#include "DatabaseError.h"
#include "StoredValues.h"

#include <QSqlError>
#include <QSqlQuery>

QString SqlServerDialect::adaptStatement(const QString& statement) const {
    return statement;
}

void SqlServerDialect::prepareSession(QSqlDatabase& db) const {
    QSqlQuery setFormat(db);
    if (!setFormat.exec(QStringLiteral("SET DATEFORMAT ymd")))
        throw DatabaseError(
            DatabaseError::providerMessage(setFormat.lastError(), QStringLiteral("SET DATEFORMAT failed")));
}

bool SqlServerDialect::holdsTransaction(QSqlDatabase& db) const {
    QSqlQuery probe(db);
    // A question that fails answers nothing: the transaction counts as held.
    return !probe.exec(QStringLiteral("SELECT @@TRANCOUNT")) || !probe.next() || probe.value(0).toInt() > 0;
}

EngineDialect::TextReading SqlServerDialect::textReading(const QSqlField&) const {
    return {};
}

QVariant SqlServerDialect::wireDateTime(const QDateTime& moment) const {
    return StoredValues::dateTimeText(moment);
}
