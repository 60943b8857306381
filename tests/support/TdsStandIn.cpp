#include "TdsStandIn.h"

#include "HostPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QThread>

#include <stdexcept>

namespace {

const QString serverScript = QStringLiteral(KORVA_TEST_SUPPORT_DIR "/tds_standin.py");

QString python() {
#if defined(Q_OS_WIN)
    // Under Wine the host's interpreter is a Unix program that Wine starts as it is.
    if (QFileInfo::exists(QStringLiteral("/usr/bin/python3")))
        return QStringLiteral("/usr/bin/python3");
#endif
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

// Read from the file itself, which a Windows build under Wine reaches too (it cannot run odbcinst).
bool registeredWithUnixOdbc() {
    QFile odbcinst(QStringLiteral("/etc/odbcinst.ini"));
    return odbcinst.open(QIODevice::ReadOnly) && odbcinst.readAll().contains("[FreeTDS]");
}

} // namespace

TdsStandIn::TdsStandIn(const QJsonArray& script, int lifetimeSeconds, const QString& instance)
    : TdsStandIn(QJsonDocument(script).toJson(QJsonDocument::Compact), lifetimeSeconds, instance) {}

TdsStandIn::TdsStandIn(const QByteArray& scriptJson, int lifetimeSeconds, const QString& instance)
    : folder(QDir::tempPath() + QStringLiteral("/korva-standin-XXXXXX")) {
    const QString why = unavailableReason();
    if (!why.isEmpty())
        throw std::runtime_error(why.toStdString());
    QFile scriptFile(folder.filePath(QStringLiteral("script.json")));
    if (!folder.isValid() || !scriptFile.open(QIODevice::WriteOnly) || scriptFile.write(scriptJson) < 0)
        throw std::runtime_error("Cannot write the stand-in's script in " + folder.path().toStdString());
    scriptFile.close();
    const QString portFile = folder.filePath(QStringLiteral("port"));
    QStringList arguments{serverScript,
                          hostPath(scriptFile.fileName()),
                          hostPath(folder.filePath(QStringLiteral("requests.jsonl"))),
                          QStringLiteral("--lifetime"),
                          QString::number(lifetimeSeconds),
                          QStringLiteral("--port-file"),
                          hostPath(portFile),
                          QStringLiteral("--watch"),
                          hostPath(scriptFile.fileName())};
    if (!instance.isEmpty())
        arguments << QStringLiteral("--instance") << instance;
    server.start(python(), arguments);
    // The server writes its port to the port file once it listens.
    for (int waited = 0; serverPort <= 0 && waited < 10000; waited += 20) {
        QFile port(portFile);
        if (port.open(QIODevice::ReadOnly))
            serverPort = port.readAll().trimmed().toInt();
        if (serverPort > 0 || server.state() == QProcess::NotRunning)
            break;
        // Not waitForFinished: under Wine it returns at once for a Unix program.
        QThread::msleep(20);
    }
    if (serverPort <= 0) {
        server.kill();
        server.waitForFinished();
        throw std::runtime_error("The TDS stand-in did not start: " +
                                 QString::fromUtf8(server.readAllStandardError()).toStdString());
    }
}

TdsStandIn::~TdsStandIn() {
    // The server watches its script: gone, it stops.
    QFile::remove(folder.filePath(QStringLiteral("script.json")));
    server.closeWriteChannel();
    if (!server.waitForFinished(5000)) {
        server.kill();
        server.waitForFinished();
    }
}

SqlServerLogin TdsStandIn::login() const {
    SqlServerLogin login;
    login.driver = driver();
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
    static const QString name = registeredWithUnixOdbc() ? QStringLiteral("FreeTDS") : driverLibrary();
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
