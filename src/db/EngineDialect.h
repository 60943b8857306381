#pragma once

#include "ConnectionSettings.h"
#include "DatabaseError.h"

#include <QString>
#include <QVariant>

#include <memory>

class QDateTime;
class QSqlDatabase;
class QSqlError;
class QSqlField;

// Everything that differs between the engines the program talks to, one class per engine. The program
// writes its statements in SQL Server's dialect; the connection asks its dialect wherever an engine differs,
// so no other code tells the engines apart.
class EngineDialect {
    Q_DISABLE_COPY_MOVE(EngineDialect)

public:
    // What a text a result column hands over may stand for, besides itself.
    struct TextReading {
        bool dateTime = false; // a stored date-time text (StoredValues::dateTimeFormat)
        bool number = false;   // the engine's own text of a number (StoredValues::engineNumber)
    };

    // The dialect of the engine the settings name.
    static std::unique_ptr<const EngineDialect> make(const ConnectionSettings& settings);
    virtual ~EngineDialect() = default;

    // A statement in SQL Server's dialect as this engine reads it.
    virtual QString adaptStatement(const QString& statement) const = 0;

    // Runs what a session needs before the program's first statement, right after it opens, the lock
    // time-out among it. Throws DatabaseError with the provider's message.
    virtual void prepareSession(QSqlDatabase& db, const ConnectionSettings::Timeouts& timeouts) const = 0;

    // What a failure the driver reported says of the link and of the statement's outcome.
    virtual DatabaseError::Kind failureKind(const QSqlError& error) const = 0;

    // Whether the engine itself still holds the transaction the driver counts as open; some failures make
    // the engine roll back on its own. When the answer is no, the driver's roll-back that follows also ends
    // whatever the question itself began.
    virtual bool holdsTransaction(QSqlDatabase& db) const = 0;

    // How the texts of one result column are read: asked once per column, before its first row.
    virtual TextReading textReading(const QSqlField& field) const = 0;

    // How far, in milliseconds, a stored date-time may lie from the one bound for it.
    virtual int timeRoundingMs() const = 0;

    // The typed text as a LIKE pattern of this engine: "%" and "_" stay wildcards, every other character
    // stands for itself.
    virtual QString likePattern(const QString& typed) const = 0;

    // A bound value in the form the engine reads the same whatever its session settings: NULL typed, small
    // integers as int, date-times as wireDateTime writes them.
    QVariant wireValue(const QVariant& value) const;

protected:
    EngineDialect() = default;

    virtual QVariant wireDateTime(const QDateTime& moment) const = 0;
};
