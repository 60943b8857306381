#include "TdsStandIn.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStandardPaths>

#include <stdexcept>

namespace {

const QString serverScript = QStringLiteral(KORVA_TEST_SUPPORT_DIR "/tds_standin.py");

QString python() {
    return QStandardPaths::findExecutable(QStringLiteral("python3"));
}

// Debian keeps the library in each architecture's ODBC folder (/usr/lib/x86_64-linux-gnu/odbc/...).
QString driverLibrary() {
    const QDir lib(QStringLiteral("/usr/lib"));
    QStringList folders = lib.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    folders.prepend(QString());
    for (const QString& folder : folders) {
        const QString path = lib.filePath(folder + QStringLiteral("/odbc/libtdsodbc.so"));
        if (QFileInfo::exists(path))
            return path;
    }
    return {};
}

bool registeredWithUnixOdbc() {
    QProcess query;
    query.start(QStringLiteral("odbcinst"), {QStringLiteral("-q"), QStringLiteral("-d"), QStringLiteral("-n"),
                                             QStringLiteral("FreeTDS")});
    return query.waitForFinished(5000) && query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0;
}

} // namespace

TdsStandIn::TdsStandIn(const QJsonArray& script, int lifetimeSeconds, const QString& instance)
    : TdsStandIn(QJsonDocument(script).toJson(QJsonDocument::Compact), lifetimeSeconds, instance) {}

TdsStandIn::TdsStandIn(const QByteArray& scriptJson, int lifetimeSeconds, const QString& instance) {
    const QString why = unavailableReason();
    if (!why.isEmpty())
        throw std::runtime_error(why.toStdString());
    QFile scriptFile(folder.filePath(QStringLiteral("script.json")));
    if (!folder.isValid() || !scriptFile.open(QIODevice::WriteOnly) || scriptFile.write(scriptJson) < 0)
        throw std::runtime_error("Cannot write the stand-in's script in " + folder.path().toStdString());
    scriptFile.close();
    QStringList arguments{serverScript, scriptFile.fileName(),
                          folder.filePath(QStringLiteral("requests.jsonl")), QStringLiteral("--lifetime"),
                          QString::number(lifetimeSeconds)};
    if (!instance.isEmpty())
        arguments << QStringLiteral("--instance") << instance;
    server.start(python(), arguments);
    // The first line the server prints is its port.
    QByteArray line;
    while (!line.endsWith('\n') && server.waitForReadyRead(10000))
        line += server.readLine();
    serverPort = line.trimmed().toInt();
    if (serverPort <= 0) {
        server.kill();
        server.waitForFinished();
        throw std::runtime_error("The TDS stand-in did not start: " +
                                 QString::fromUtf8(server.readAllStandardError()).toStdString());
    }
}

TdsStandIn::~TdsStandIn() {
    server.closeWriteChannel();
    if (!server.waitForFinished(5000)) {
        server.kill();
        server.waitForFinished();
    }
}

QString TdsStandIn::connectionString(const QString& catalog, const QString& user,
                                     const QString& password) const {
    return QStringLiteral("DRIVER=%1;Server=127.0.0.1;Port=%2;Database=%3;UID=%4;PWD=%5;TDS_Version=7.4;"
                          "ClientCharset=UTF-8")
        .arg(driver(), QString::number(serverPort), catalog, user, password);
}

ConnectionSettings TdsStandIn::settings(const QString& catalog, const QString& user,
                                        const QString& password) const {
    ConnectionSettings connection;
    connection.engine = ConnectionSettings::Engine::SqlServer;
    connection.driver = QStringLiteral("QODBC");
    connection.databaseName = connectionString(catalog, user, password);
    return connection;
}

SqlServerLogin TdsStandIn::login() const {
    SqlServerLogin login;
    login.driver = driver().mid(1, driver().size() - 2);
    login.host = QStringLiteral("127.0.0.1");
    login.port = serverPort;
    login.catalog = QStringLiteral("KORVA");
    login.user = QStringLiteral("posto");
    login.password = QStringLiteral("senha");
    return login;
}

QList<QJsonObject> TdsStandIn::requests() const {
    QList<QJsonObject> received;
    QFile log(folder.filePath(QStringLiteral("requests.jsonl")));
    if (!log.open(QIODevice::ReadOnly))
        return received;
    while (!log.atEnd()) {
        const QByteArray line = log.readLine().trimmed();
        if (!line.isEmpty())
            received.append(QJsonDocument::fromJson(line).object());
    }
    return received;
}

QString TdsStandIn::serverErrors() {
    errorText += QString::fromUtf8(server.readAllStandardError());
    return errorText;
}

QString TdsStandIn::driver() {
    static const QString name = registeredWithUnixOdbc() ? QStringLiteral("{FreeTDS}")
                                : driverLibrary().isEmpty()
                                    ? QString()
                                    : QLatin1Char('{') + driverLibrary() + QLatin1Char('}');
    return name;
}

QString TdsStandIn::unavailableReason() {
    if (python().isEmpty())
        return QStringLiteral("python3 is not installed; the TDS stand-in needs it");
    if (!QFileInfo::exists(serverScript))
        return QStringLiteral("The TDS stand-in %1 is missing").arg(serverScript);
    if (driver().isEmpty())
        return QStringLiteral("FreeTDS's ODBC driver (Debian package tdsodbc) is not installed");
    return {};
}
