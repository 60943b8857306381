#pragma once

#include "SqlServerLogin.h"

#include <QString>

// Where to connect. The program reads it from its connection file; tests hand in their own.
struct ConnectionSettings {
    enum class Engine { SQLite, SqlServer };
    Engine engine = Engine::SQLite;
    QString driver;       // "QSQLITE" or "QODBC"
    QString databaseName; // SQLite file, or a complete ODBC connection string
    QString embeddedFile; // the embedded engine's file, which must exist before the connection opens
    QString unusable;     // why these settings cannot be used; every open fails with it
    static ConnectionSettings sqliteFile(const QString& path);
    static ConnectionSettings sqliteThroughOdbc(const QString& path);
    // The connection string the named driver needs, each value quoted the way that driver reads it: FreeTDS
    // takes the port and its encryption as keys of its own, Microsoft's drivers the port after the host and
    // a comma. Without a port the driver finds a named instance (HOST\INSTANCE) itself.
    static ConnectionSettings sqlServer(const SqlServerLogin& login);

    // The options the Qt driver is opened with; empty when it takes none.
    QString connectOptions() const;
};
