#include "SqlServerDialect.h"

#include "DatabaseError.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>

QString SqlServerDialect::adaptStatement(const QString& statement) const {
    return statement;
}

void SqlServerDialect::prepareSession(QSqlDatabase& db) const {
    QSqlQuery collation(db);
    // Forward-only, so the driver sends a plain batch rather than opening a cursor for it.
    collation.setForwardOnly(true);
    if (!collation.exec(QStringLiteral(
            "SELECT DB_NAME(), CONVERT(nvarchar(128), DATABASEPROPERTYEX(DB_NAME(), 'Collation'))")))
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
