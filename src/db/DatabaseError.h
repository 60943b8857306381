#pragma once

#include <QString>

#include <stdexcept>

class QSqlError;

// A failure reported by the database or the query object; what() is the provider's or library's message.
class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    explicit DatabaseError(const QString& message) : std::runtime_error(message.toStdString()) {}

    // The provider's own words first, Qt's summary of what it was doing after them when it adds something;
    // `fallback` when neither says anything.
    static QString providerMessage(const QSqlError& error, const QString& fallback);
};
