#pragma once

#include "EngineDialect.h"

// Microsoft SQL Server through ODBC: the dialect the program's statements are written in.
class SqlServerDialect final : public EngineDialect {
public:
    SqlServerDialect() = default;

    QString adaptStatement(const QString& statement) const override;
    // Date-times travel as "yyyy-MM-dd ..." text; a login whose language reads dates day first would
    // otherwise swap day and month.
    void prepareSession(QSqlDatabase& db) const override;
    bool holdsTransaction(QSqlDatabase& db) const override;
    // The server types every column itself.
    TextReading textReading(const QSqlField& field) const override;

protected:
    // As the stored text, which the session's date format reads year first.
    QVariant wireDateTime(const QDateTime& moment) const override;
};
