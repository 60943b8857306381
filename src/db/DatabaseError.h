#pragma once

#include <QString>

#include <stdexcept>

class QSqlError;

// What the program was asking of the database when it failed or did not answer.
enum class DatabaseStep { Connect, Read, Write, Commit, Rollback };

// A failure reported by the database or the query object; what() is the provider's or library's message.
class DatabaseError : public std::runtime_error {
public:
    // What the failure says of the link and of the statement's outcome.
    enum class Kind {
        Refused,      // the engine answered and refused: the statement did nothing
        LinkLost,     // the link or the session is gone; whatever was in flight may or may not have run
        TimedOut,     // no answer within the time allowed; the statement was stopped
        LockTimedOut, // the data was held by another session longer than allowed
        Cancelled,    // the person cancelled the wait
    };

    using std::runtime_error::runtime_error;
    explicit DatabaseError(const QString& message, Kind kind = Kind::Refused)
        : std::runtime_error(message.toStdString()), failureKind(kind) {}

    Kind kind() const { return failureKind; }
    // Whether a statement that failed so may still have run on the server.
    bool outcomeUnknown() const {
        return failureKind == Kind::LinkLost || failureKind == Kind::TimedOut ||
               failureKind == Kind::Cancelled;
    }

    // The provider's own words first, Qt's summary of what it was doing after them when it adds something;
    // `fallback` when neither says anything.
    static QString providerMessage(const QSqlError& error, const QString& fallback);

private:
    Kind failureKind = Kind::Refused;
};
