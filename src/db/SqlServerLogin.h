#pragma once

#include <QString>

#include <optional>

// A SQL Server login through ODBC.
struct SqlServerLogin {
    // Whether the link is encrypted: left to the driver, always, when the server offers it, or never.
    enum class Encryption { DriverDefault, Required, Optional, Off };

    QString driver;  // the ODBC driver's name: FreeTDS, or one of Microsoft's ("SQL Server", ...)
    QString host;    // an address, or HOST\INSTANCE for a named instance
    int port = 1700; // 0: none is sent, so the driver finds the named instance's port itself
    QString catalog;
    QString user;
    QString password;
    Encryption encryption = Encryption::DriverDefault;
    std::optional<bool> trustServerCertificate; // unset: the driver's default
};
