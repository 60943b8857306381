#pragma once

#include "EngineDialect.h"

// The embedded engine, through Qt's own driver or through its ODBC driver.
class SqliteDialect final : public EngineDialect {
public:
    explicit SqliteDialect(bool throughOdbc) : throughOdbc(throughOdbc) {}

    // The engine knows no TOP: the row limit moves to a LIMIT at the end of the statement.
    QString adaptStatement(const QString& statement) const override;
    // The lock time-out is the driver's busy time-out, given with the connection's options.
    void prepareSession(QSqlDatabase& db, const ConnectionSettings::Timeouts& timeouts) const override;
    // A lock held past the busy time-out, and an interrupted statement.
    DatabaseError::Kind failureKind(const QSqlError& error) const override;
    // The engine refuses a BEGIN inside a transaction; one it accepts is the question's own.
    bool holdsTransaction(QSqlDatabase& db) const override;
    // Date-times are stored as their text. The ODBC driver types a computed column by its first row, and a
    // first NULL makes it text for every row: numbers in such a column come back as the engine's text.
    TextReading textReading(const QSqlField& field) const override;
    // The stored text keeps every millisecond.
    int timeRoundingMs() const override { return 0; }
    // Only "%" and "_" are special to the engine's LIKE.
    QString likePattern(const QString& typed) const override;

protected:
    // As the stored text: Qt's driver would bind an ISO text with a "T", which compares wrongly with it.
    QVariant wireDateTime(const QDateTime& moment) const override;

private:
    bool throughOdbc;
};
