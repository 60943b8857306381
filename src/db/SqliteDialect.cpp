#include "SqliteDialect.h"

#include "StoredValues.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>

QString SqliteDialect::adaptStatement(const QString& statement) const {
    static const QRegularExpression top(
        QStringLiteral(R"(^(\s*SELECT\s+(?:DISTINCT\s+)?)TOP\s*(?:\(\s*(\d+)\s*\)|(\d+)\b)\s*)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = top.match(statement);
    if (!match.hasMatch())
        return statement;
    const QString limit = match.captured(2).isEmpty() ? match.captured(3) : match.captured(2);
    QString adapted = match.captured(1) + statement.mid(match.capturedEnd());
    qsizetype end = adapted.size();
    while (end > 0 && (adapted.at(end - 1).isSpace() || adapted.at(end - 1) == QLatin1Char(';')))
        --end;
    adapted.truncate(end);
    return adapted + QStringLiteral("\r\nLIMIT ") + limit;
}

void SqliteDialect::prepareSession(QSqlDatabase&, const ConnectionSettings::Timeouts&) const {}

DatabaseError::Kind SqliteDialect::failureKind(const QSqlError& error) const {
    const QString text = error.databaseText() + QLatin1Char(' ') + error.driverText();
    if (text.contains(QLatin1String("database is locked")) || text.contains(QLatin1String("table is locked")))
        return DatabaseError::Kind::LockTimedOut;
    if (text.contains(QLatin1String("interrupted")))
        return DatabaseError::Kind::Cancelled;
    return DatabaseError::Kind::Refused;
}

bool SqliteDialect::holdsTransaction(QSqlDatabase& db) const {
    QSqlQuery probe(db);
    return !probe.exec(QStringLiteral("BEGIN"));
}

EngineDialect::TextReading SqliteDialect::textReading(const QSqlField& field) const {
    constexpr int sqlVarchar = 12;
    constexpr int sqlWideVarchar = -9;
    const bool untyped = throughOdbc && (field.typeID() == sqlVarchar || field.typeID() == sqlWideVarchar) &&
                         field.tableName().isEmpty();
    return TextReading{true, untyped};
}

QString SqliteDialect::likePattern(const QString& typed) const {
    return typed;
}

QVariant SqliteDialect::wireDateTime(const QDateTime& moment) const {
    return StoredValues::dateTimeText(moment);
}
