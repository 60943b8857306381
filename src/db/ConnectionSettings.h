#pragma once

#include "SqlServerLogin.h"

#include <QString>

// How long the program waits, in seconds: for the login, for a statement's answer, and for data another
// session holds.
struct DatabaseTimeouts {
    int loginSeconds = 15;
    int statementSeconds = 30;
    int lockSeconds = 10;
};

// Where to connect. The program reads it from its connection file; tests hand in their own.
struct ConnectionSettings {
    enum class Engine { SQLite, SqlServer };
    Engine engine = Engine::SQLite;
    QString driver;       // "QSQLITE" or "QODBC"
    QString databaseName; // SQLite file, or a complete ODBC connection string
    QString embeddedFile; // the embedded engine's file, which must exist before the connection opens
    QString unusable;     // why these settings cannot be used; every open fails with it
    using Timeouts = DatabaseTimeouts;
    Timeouts timeouts;
    static ConnectionSettings sqliteFile(const QString& path);
    static ConnectionSettings sqliteThroughOdbc(const QString& path);
    // The connection string the named driver needs, each value quoted the way that driver reads it: FreeTDS
    // takes the port and its encryption as keys of its own, Microsoft's drivers the port after the host and
    // a comma. Without a port the driver finds a named instance (HOST\INSTANCE) itself.
    // FreeTDS also takes the statement time-out as the connection's own, which bounds a COMMIT too.
    static ConnectionSettings sqlServer(const SqlServerLogin& login, const DatabaseTimeouts& timeouts = {});

    // The options the Qt driver is opened with; empty when it takes none.
    QString connectOptions() const;
};
