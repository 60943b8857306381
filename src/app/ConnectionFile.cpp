#include "ConnectionFile.h"

#include "BuildConfig.h"
#include "IniFile.h"
#include "db/UntConexao.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace {

const QString section = QStringLiteral("Conexao");

class FileError : public std::runtime_error {
public:
    explicit FileError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// An empty value counts as missing for the keys that cannot be empty.
QString readOrDefault(const IniFile& ini, const QString& key, const QString& buildValue) {
    const QString value = ini.readString(section, key, buildValue);
    return value.isEmpty() ? buildValue : value;
}

bool isAnswer(const QString& value, const char* answer) {
    return value.compare(QString::fromUtf8(answer), Qt::CaseInsensitive) == 0;
}

QString wrongValue(const IniFile& ini, const QString& key, const QString& value, const QString& expected) {
    return QStringLiteral("O arquivo de conexão %1 tem um valor inválido na chave \"%2\" da seção [%3]: "
                          "\"%4\". %5 Corrija o arquivo e abra o programa de novo.")
        .arg(QDir::toNativeSeparators(ini.path()), key, section, value, expected);
}

// A wait in whole seconds, from one second to an hour.
int readSeconds(const IniFile& ini, const QString& key, int buildValue) {
    const QString value = ini.readString(section, key, QString());
    if (value.isEmpty())
        return buildValue;
    bool isNumber = false;
    const int seconds = value.toInt(&isNumber);
    if (!isNumber || seconds < 1 || seconds > 3600 || value.startsWith(QLatin1Char('+')))
        throw FileError(
            wrongValue(ini, key, value, QStringLiteral("O tempo é um número de segundos de 1 a 3600.")));
    return seconds;
}

ConnectionSettings readFile(const QString& executableFolder) {
    const IniFile ini(QDir(executableFolder).filePath(ConnectionFile::fileName()));
    const QFileInfo info(ini.path());
    if (info.exists()) {
        QFile file(ini.path());
        if (!info.isFile() || !file.open(QIODevice::ReadOnly))
            throw FileError(QStringLiteral("Não foi possível ler o arquivo de conexão %1. Verifique se ele "
                                           "existe e pode ser lido, e abra o programa de novo.")
                                .arg(QDir::toNativeSeparators(ini.path())));
    }

    DatabaseTimeouts timeouts;
    timeouts.loginSeconds = readSeconds(ini, QStringLiteral("TempoConexao"), timeouts.loginSeconds);
    timeouts.statementSeconds = readSeconds(ini, QStringLiteral("TempoConsulta"), timeouts.statementSeconds);
    timeouts.lockSeconds = readSeconds(ini, QStringLiteral("TempoBloqueio"), timeouts.lockSeconds);
    const QString engine =
        readOrDefault(ini, QStringLiteral("Banco"),
                      KORVA_DB_IS_SQLSERVER ? QStringLiteral("SQLSERVER") : QStringLiteral("SQLITE"));
    if (engine.compare(QLatin1String("SQLITE"), Qt::CaseInsensitive) == 0) {
        const QString file = readOrDefault(ini, QStringLiteral("Arquivo"), QStringLiteral(KORVA_SQLITE_FILE));
        ConnectionSettings settings =
            ConnectionSettings::sqliteFile(QDir::cleanPath(QDir(executableFolder).absoluteFilePath(file)));
        settings.timeouts = timeouts;
        return settings;
    }
    if (engine.compare(QLatin1String("SQLSERVER"), Qt::CaseInsensitive) != 0)
        throw FileError(
            wrongValue(ini, QStringLiteral("Banco"), engine, QStringLiteral("Use SQLSERVER ou SQLITE.")));

    SqlServerLogin login;
    login.driver = readOrDefault(ini, QStringLiteral("Driver"), QStringLiteral(KORVA_ODBC_DRIVER));
    login.host = ini.readString(section, QStringLiteral("Servidor"), QStringLiteral(KORVA_SQLSERVER_HOST));
    // A named instance (HOST\INSTANCE) without a port is found through the server's browser service.
    const bool namedInstance = login.host.contains(QLatin1Char('\\'));
    const QString port = ini.readString(section, QStringLiteral("Porta"), QString());
    if (port.isEmpty()) {
        login.port = namedInstance ? 0 : login.port;
    } else {
        bool isNumber = false;
        login.port = port.toInt(&isNumber);
        if (!isNumber || login.port < 1 || login.port > 65535 || port.startsWith(QLatin1Char('+')))
            throw FileError(wrongValue(ini, QStringLiteral("Porta"), port,
                                       QStringLiteral("A porta é um número de 1 a 65535.")));
    }
    const QString encryption = ini.readString(section, QStringLiteral("Criptografia"), QString());
    if (isAnswer(encryption, "sim"))
        login.encryption = SqlServerLogin::Encryption::Required;
    else if (isAnswer(encryption, "opcional"))
        login.encryption = SqlServerLogin::Encryption::Optional;
    else if (isAnswer(encryption, "não") || isAnswer(encryption, "nao"))
        login.encryption = SqlServerLogin::Encryption::Off;
    else if (!encryption.isEmpty())
        throw FileError(wrongValue(ini, QStringLiteral("Criptografia"), encryption,
                                   QStringLiteral("Use sim, não ou opcional.")));
    const QString trust = ini.readString(section, QStringLiteral("ConfiarCertificado"), QString());
    if (isAnswer(trust, "sim"))
        login.trustServerCertificate = true;
    else if (isAnswer(trust, "não") || isAnswer(trust, "nao"))
        login.trustServerCertificate = false;
    else if (!trust.isEmpty())
        throw FileError(
            wrongValue(ini, QStringLiteral("ConfiarCertificado"), trust, QStringLiteral("Use sim ou não.")));
    login.catalog =
        ini.readString(section, QStringLiteral("Catalogo"), QStringLiteral(KORVA_SQLSERVER_CATALOG));
    login.user = ini.readString(section, QStringLiteral("Usuario"), QStringLiteral(KORVA_SQLSERVER_USER));
    login.password =
        ini.readString(section, QStringLiteral("Senha"), QStringLiteral(KORVA_SQLSERVER_PASSWORD));
    return ConnectionSettings::sqlServer(login, timeouts);
}

} // namespace

ConnectionSettings ConnectionFile::read(const QString& executableFolder) {
    try {
        return readFile(executableFolder);
    } catch (const FileError& error) {
        ConnectionSettings settings;
        settings.unusable = QString::fromStdString(error.what());
        return settings;
    }
}
