#pragma once

#include <QString>

// A SQL Server login through ODBC.
struct SqlServerLogin {
    QString driver; // the ODBC driver's name: FreeTDS, or one of Microsoft's ("SQL Server", ...)
    QString host;
    int port = 1700;
    QString catalog;
    QString user;
    QString password;
};
