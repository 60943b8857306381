#pragma once

#include "EngineDialect.h"

// Microsoft SQL Server through ODBC: the dialect the program's statements are written in.
class SqlServerDialect final : public EngineDialect {
public:
    SqlServerDialect() = default;

    QString adaptStatement(const QString& statement) const override;
    // Refuses a catalog that compares names and texts with regard to case: the program spells some columns
    // in another case than the catalog's definition, and a bare "Invalid column name" in the middle of a
    // fueling would say nothing to the station.
    // The lock time-out is sent as a batch of its own words, so it holds for the whole session (a SET inside
    // a procedure call would end with the call).
    void prepareSession(QSqlDatabase& db, const ConnectionSettings::Timeouts& timeouts) const override;
    // Time-outs and link failures as FreeTDS and Microsoft's drivers report them.
    DatabaseError::Kind failureKind(const QSqlError& error) const override;
    bool holdsTransaction(QSqlDatabase& db) const override;
    // The server types every column itself.
    TextReading textReading(const QSqlField& field) const override;
    // datetime keeps a moment in steps of 1/300 of a second.
    int timeRoundingMs() const override { return 4; }
    // "[" opens a character class in T-SQL's LIKE; written as "[[]" it is the letter itself.
    QString likePattern(const QString& typed) const override;

protected:
    // ISO 8601 with a "T": the one text form of a datetime that SET LANGUAGE and SET DATEFORMAT never change
    // (a "yyyy-MM-dd hh:mm:ss" text is read year-day-month by a login whose language puts the day first).
    QVariant wireDateTime(const QDateTime& moment) const override;
};
