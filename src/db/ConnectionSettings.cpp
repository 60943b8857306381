#include "ConnectionSettings.h"

#include <QLatin1Char>

namespace {

const QString odbcDriver = QStringLiteral("QODBC");

// A value inside an ODBC connection string, braced when it holds a character the syntax reserves.
QString odbcValue(const QString& value) {
    if (value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('{')) ||
        value.contains(QLatin1Char('}')) || value != value.trimmed()) {
        QString escaped = value;
        escaped.replace(QStringLiteral("}"), QStringLiteral("}}"));
        return QLatin1Char('{') + escaped + QLatin1Char('}');
    }
    return value;
}

} // namespace

ConnectionSettings ConnectionSettings::sqlServer(const SqlServerLogin& login) {
    ConnectionSettings settings;
    settings.engine = Engine::SqlServer;
    settings.driver = odbcDriver;
    QString driverName = login.driver;
    driverName.replace(QStringLiteral("}"), QStringLiteral("}}"));
    if (login.driver.contains(QLatin1String("FreeTDS"), Qt::CaseInsensitive))
        settings.databaseName =
            QStringLiteral("DRIVER={%1};Server=%2;Port=%3;Database=%4;UID=%5;PWD=%6;"
                           "TDS_Version=7.4;ClientCharset=UTF-8")
                .arg(driverName, odbcValue(login.host), QString::number(login.port), odbcValue(login.catalog),
                     odbcValue(login.user), odbcValue(login.password));
    else
        settings.databaseName =
            QStringLiteral("DRIVER={%1};SERVER=%2;DATABASE=%3;UID=%4;PWD=%5")
                .arg(driverName, odbcValue(login.host + QLatin1Char(',') + QString::number(login.port)),
                     odbcValue(login.catalog), odbcValue(login.user), odbcValue(login.password));
    return settings;
}

ConnectionSettings ConnectionSettings::sqliteFile(const QString& path) {
    ConnectionSettings settings;
    settings.engine = Engine::SQLite;
    settings.driver = QStringLiteral("QSQLITE");
    settings.databaseName = path;
    settings.embeddedFile = path;
    return settings;
}

ConnectionSettings ConnectionSettings::sqliteThroughOdbc(const QString& path) {
    ConnectionSettings settings;
    settings.engine = Engine::SQLite;
    settings.driver = odbcDriver;
    // NoCreat: the ODBC driver must not make an empty database either.
    settings.databaseName =
        QStringLiteral("DRIVER={SQLite3};Database=%1;NoCreat=1;Timeout=5000").arg(odbcValue(path));
    settings.embeddedFile = path;
    return settings;
}

QString ConnectionSettings::connectOptions() const {
    if (driver == odbcDriver)
        return QStringLiteral("SQL_ATTR_ODBC_VERSION=SQL_OV_ODBC3;SQL_ATTR_LOGIN_TIMEOUT=15");
    return {};
}
