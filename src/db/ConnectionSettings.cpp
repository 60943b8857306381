#include "ConnectionSettings.h"

#include <QLatin1Char>

namespace {

const QString odbcDriver = QStringLiteral("QODBC");

bool needsBraces(const QString& value) {
    return value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('{')) ||
           value.contains(QLatin1Char('}')) || value.contains(QLatin1Char('=')) || value != value.trimmed();
}

// A value inside an ODBC connection string as the ODBC standard (and Microsoft's drivers) read it: braced
// when it holds a character the syntax reserves, a "}" inside doubled.
QString odbcValue(const QString& value) {
    if (!needsBraces(value))
        return value;
    QString escaped = value;
    escaped.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return QLatin1Char('{') + escaped + QLatin1Char('}');
}

// The same for FreeTDS, whose parser ends a braced value at the first "}" followed by ";" (or the end) and
// takes a doubled "}" as two: braced as it is. A value holding "};" cannot be written for it at all.
QString freeTdsValue(const QString& value, const QString& what, QString& unusable) {
    if (!needsBraces(value))
        return value;
    if (value.contains(QLatin1String("};")) && unusable.isEmpty())
        unusable = QStringLiteral("%1 do banco de dados contém \"};\", que o driver FreeTDS não consegue "
                                  "receber. Troque esse valor no servidor e no arquivo de conexão.")
                       .arg(what);
    return QLatin1Char('{') + value + QLatin1Char('}');
}

QString yesNo(bool yes) {
    return yes ? QStringLiteral("yes") : QStringLiteral("no");
}

QString freeTdsString(const SqlServerLogin& login, const QString& driverName,
                      const DatabaseTimeouts& timeouts, QString& unusable) {
    QString text = QStringLiteral("DRIVER={%1};Server=%2;")
                       .arg(driverName, freeTdsValue(login.host, QStringLiteral("O servidor"), unusable));
    if (login.port > 0)
        text += QStringLiteral("Port=%1;").arg(login.port);
    text += QStringLiteral("Database=%1;UID=%2;PWD=%3;TDS_Version=7.4;ClientCharset=UTF-8;Timeout=%4")
                .arg(freeTdsValue(login.catalog, QStringLiteral("O catálogo"), unusable),
                     freeTdsValue(login.user, QStringLiteral("O usuário"), unusable),
                     freeTdsValue(login.password, QStringLiteral("A senha"), unusable))
                .arg(timeouts.statementSeconds);
    using Encryption = SqlServerLogin::Encryption;
    switch (login.encryption) {
    case Encryption::Required:
        text += QStringLiteral(";Encryption=require");
        break;
    case Encryption::Optional:
        text += QStringLiteral(";Encryption=request");
        break;
    case Encryption::Off:
        text += QStringLiteral(";Encryption=off");
        break;
    case Encryption::DriverDefault:
        break;
    }
    // FreeTDS checks the server's certificate only against a CA file of its configuration; it has no key
    // for trusting it, so the choice changes nothing here.
    return text;
}

QString microsoftString(const SqlServerLogin& login, const QString& driverName) {
    const QString server =
        login.port > 0 ? login.host + QLatin1Char(',') + QString::number(login.port) : login.host;
    QString text = QStringLiteral("DRIVER={%1};SERVER=%2;DATABASE=%3;UID=%4;PWD=%5")
                       .arg(driverName, odbcValue(server), odbcValue(login.catalog), odbcValue(login.user),
                            odbcValue(login.password));
    // Driver 18 reads "no" as Optional (encrypted when the server asks for it) and has no way to refuse
    // encryption, so "off" is "no" too.
    if (login.encryption != SqlServerLogin::Encryption::DriverDefault)
        text += QStringLiteral(";Encrypt=") + yesNo(login.encryption == SqlServerLogin::Encryption::Required);
    if (login.trustServerCertificate)
        text += QStringLiteral(";TrustServerCertificate=") + yesNo(*login.trustServerCertificate);
    return text;
}

} // namespace

ConnectionSettings ConnectionSettings::sqlServer(const SqlServerLogin& login,
                                                 const DatabaseTimeouts& timeouts) {
    ConnectionSettings settings;
    settings.timeouts = timeouts;
    settings.engine = Engine::SqlServer;
    settings.driver = odbcDriver;
    // The driver's name is read by the driver manager, which follows the standard.
    QString driverName = login.driver;
    driverName.replace(QStringLiteral("}"), QStringLiteral("}}"));
    if (login.driver.contains(QLatin1String("FreeTDS"), Qt::CaseInsensitive))
        settings.databaseName = freeTdsString(login, driverName, timeouts, settings.unusable);
    else
        settings.databaseName = microsoftString(login, driverName);
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
    settings.databaseName = QStringLiteral("DRIVER={SQLite3};Database=%1;NoCreat=1;Timeout=%2")
                                .arg(odbcValue(path))
                                .arg(qint64(settings.timeouts.lockSeconds) * 1000);
    settings.embeddedFile = path;
    return settings;
}

QString ConnectionSettings::connectOptions() const {
    if (driver == odbcDriver)
        return QStringLiteral("SQL_ATTR_ODBC_VERSION=SQL_OV_ODBC3;SQL_ATTR_LOGIN_TIMEOUT=%1")
            .arg(timeouts.loginSeconds);
    // The embedded engine waits this long for a lock another program holds on the file.
    return QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(qint64(timeouts.lockSeconds) * 1000);
}
