#include "app/ConnectionFile.h"

#include "db/UntConexao.h"

#include "WindowsText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Where the program connects, as the administrator's Conexao.ini says.
class tst_ConnectionFile final : public QObject {
    Q_OBJECT

private slots:
    void readsTheAdministratorsFile_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("databaseName"); // "<folder>" stands for the executable's folder

        QTest::newRow("no file: the embedded database beside the executable") << QByteArray() << "QSQLITE"
                                                                              << "<folder>/Dravix.db";
        QTest::newRow("file without the section") << QByteArray("[Outra]\r\nBanco=SQLSERVER\r\n") << "QSQLITE"
                                                  << "<folder>/Dravix.db";
        QTest::newRow("embedded file in a subfolder, engine in lower case")
            << QByteArray("[Conexao]\r\nBanco=sqlite\r\nArquivo=dados/Posto.db\r\n") << "QSQLITE"
            << "<folder>/dados/Posto.db";
        const QString whole = QDir::rootPath() + "srv/posto/Dravix.db";
        QTest::newRow("embedded file given whole")
            << QByteArray("[Conexao]\r\nBanco=SQLITE\r\nArquivo=") + whole.toUtf8() + "\r\n"
            << "QSQLITE" << whole;
        QTest::newRow("Windows-written UTF-16, Microsoft's driver, quoted password")
            << utf16le("[Conexao]\r\nBanco=SQLSERVER\r\nServidor=10.0.0.5\r\nPorta=1433\r\nCatalogo=Frota\r\n"
                       "Usuario=posto\r\nSenha=\"a;b} c\"\r\nDriver=SQL Server\r\n")
            << "QODBC"
            << "DRIVER={SQL Server};SERVER=10.0.0.5,1433;DATABASE=Frota;UID=posto;PWD={a;b}} c}";
        QTest::newRow("FreeTDS with the default port, catalog and login")
            << QByteArray(
                   "[conexao]\r\nbanco = SQLServer\r\nservidor=srv-frota\r\nDriver=FreeTDS\r\nPorta=\r\n")
            << "QODBC"
            << "DRIVER={FreeTDS};Server=srv-frota;Port=1700;Database=Dravix;UID=tarvone;PWD=kesi;"
               "TDS_Version=7.4;ClientCharset=UTF-8;Timeout=30";
        QTest::newRow("FreeTDS: reserved characters braced, a brace inside kept single")
            << QByteArray("[Conexao]\r\nBanco=SQLSERVER\r\nServidor=s\r\nDriver=FreeTDS\r\nSenha=a;b}=c\r\n")
            << "QODBC"
            << "DRIVER={FreeTDS};Server=s;Port=1700;Database=Dravix;UID=tarvone;PWD={a;b}=c};"
               "TDS_Version=7.4;ClientCharset=UTF-8;Timeout=30";
        QTest::newRow("FreeTDS: named instance without a port, encryption when offered, its own waits")
            << QByteArray("[Conexao]\r\nBanco=SQLSERVER\r\nServidor=srv\\FROTA\r\nDriver=FreeTDS\r\n"
                          "Criptografia=opcional\r\nConfiarCertificado=sim\r\nTempoConsulta=45\r\n")
            << "QODBC"
            << "DRIVER={FreeTDS};Server=srv\\FROTA;Database=Dravix;UID=tarvone;PWD=kesi;TDS_Version=7.4;"
               "ClientCharset=UTF-8;Timeout=45;Encryption=request";
        QTest::newRow("Microsoft's driver: named instance, encrypted, certificate trusted")
            << QByteArray(
                   "[Conexao]\r\nBanco=SQLSERVER\r\nServidor=srv\\FROTA\r\nDriver=ODBC Driver 18 for SQL "
                   "Server\r\nCriptografia=Sim\r\nConfiarCertificado=sim\r\n")
            << "QODBC"
            << "DRIVER={ODBC Driver 18 for SQL "
               "Server};SERVER=srv\\FROTA;DATABASE=Dravix;UID=tarvone;PWD=kesi;"
               "Encrypt=yes;TrustServerCertificate=yes";
        QTest::newRow("Microsoft's driver: a port given wins over the instance; no encryption")
            << QByteArray("[Conexao]\r\nBanco=SQLSERVER\r\nServidor=srv\\FROTA\r\nPorta=1433\r\nDriver=SQL "
                          "Server\r\nCriptografia=n\xe3o\r\nConfiarCertificado=nao\r\n")
            << "QODBC"
            << "DRIVER={SQL Server};SERVER=srv\\FROTA,1433;DATABASE=Dravix;UID=tarvone;PWD=kesi;"
               "Encrypt=no;TrustServerCertificate=no";
        QTest::newRow("driver name with a brace")
            << QByteArray("[Conexao]\r\nBanco=SQLSERVER\r\nServidor=s\r\nDriver=ODBC {x}\r\nSenha=\r\n")
            << "QODBC"
            << "DRIVER={ODBC {x}}};SERVER=s,1700;DATABASE=Dravix;UID=tarvone;PWD=";
    }

    void readsTheAdministratorsFile() {
        QFETCH(QByteArray, file);
        QFETCH(QString, driver);
        QFETCH(QString, databaseName);
        QTemporaryDir folder;
        if (!file.isEmpty()) {
            QFile ini(folder.filePath("Conexao.ini"));
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write(file);
        }

        const ConnectionSettings settings = ConnectionFile::read(folder.path());

        QCOMPARE(settings.unusable, QString());
        QCOMPARE(settings.driver, driver);
        QCOMPARE(settings.databaseName, QString(databaseName).replace("<folder>", folder.path()));
        QCOMPARE(settings.engine, driver == "QODBC" ? ConnectionSettings::Engine::SqlServer
                                                    : ConnectionSettings::Engine::SQLite);
    }

    void wrongFileStopsEveryConnection_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("message"); // "<file>" stands for the file's path

        const QString fix = " Corrija o arquivo e abra o programa de novo.";
        QTest::newRow("unknown engine")
            << QByteArray("[Conexao]\r\nBanco=ORACLE\r\n")
            << "O arquivo de conexão <file> tem um valor inválido na chave \"Banco\" da seção [Conexao]: "
               "\"ORACLE\". Use SQLSERVER ou SQLITE." +
                   fix;
        QTest::newRow("port that is not a number")
            << QByteArray("[Conexao]\r\nBanco=SQLSERVER\r\nPorta=17OO\r\n")
            << "O arquivo de conexão <file> tem um valor inválido na chave \"Porta\" da seção [Conexao]: "
               "\"17OO\". A porta é um número de 1 a 65535." +
                   fix;
        QTest::newRow("port out of range")
            << QByteArray("[Conexao]\r\nBanco=SQLSERVER\r\nPorta=70000\r\n")
            << "O arquivo de conexão <file> tem um valor inválido na chave \"Porta\" da seção [Conexao]: "
               "\"70000\". A porta é um número de 1 a 65535." +
                   fix;
        QTest::newRow("a wait of no seconds")
            << QByteArray("[Conexao]\r\nBanco=SQLITE\r\nTempoBloqueio=0\r\n")
            << "O arquivo de conexão <file> tem um valor inválido na chave \"TempoBloqueio\" da seção "
               "[Conexao]: \"0\". O tempo é um número de segundos de 1 a 3600." +
                   fix;
        QTest::newRow("unknown encryption choice")
            << QByteArray("[Conexao]\r\nBanco=SQLSERVER\r\nCriptografia=talvez\r\n")
            << "O arquivo de conexão <file> tem um valor inválido na chave \"Criptografia\" da seção "
               "[Conexao]: "
               "\"talvez\". Use sim, não ou opcional." +
                   fix;
        QTest::newRow("unknown certificate choice")
            << QByteArray("[Conexao]\r\nBanco=SQLSERVER\r\nConfiarCertificado=1\r\n")
            << "O arquivo de conexão <file> tem um valor inválido na chave \"ConfiarCertificado\" da seção "
               "[Conexao]: \"1\". Use sim ou não." +
                   fix;
        QTest::newRow("a password FreeTDS cannot receive")
            << QByteArray("[Conexao]\r\nBanco=SQLSERVER\r\nDriver=FreeTDS\r\nSenha=ab};c\r\n")
            << "A senha do banco de dados contém \"};\", que o driver FreeTDS não consegue receber. Troque "
               "esse "
               "valor no servidor e no arquivo de conexão.";
        QTest::newRow("unreadable file")
            << QByteArray()
            << "Não foi possível ler o arquivo de conexão <file>. Verifique se ele existe e pode "
               "ser lido, e abra o programa de novo.";
    }

    void wrongFileStopsEveryConnection() {
        QFETCH(QByteArray, file);
        QFETCH(QString, message);
        QTemporaryDir folder;
        const QString path = folder.filePath("Conexao.ini");
        if (file.isEmpty()) {
            // A folder in the file's place cannot be read, even by the administrator.
            QVERIFY(QDir(folder.path()).mkdir("Conexao.ini"));
        } else {
            QFile ini(path);
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write(file);
        }
        const QString expected = QString(message).replace("<file>", QDir::toNativeSeparators(path));

        const ConnectionSettings settings = ConnectionFile::read(folder.path());
        QCOMPARE(settings.unusable, expected);

        TdmConexao connection(settings);
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                connection.open();
                QFAIL("the connection opened");
            } catch (const DatabaseError& error) {
                QCOMPARE(QString::fromStdString(error.what()), expected);
            }
        }
        QVERIFY(!connection.isOpen());
    }
};

QTEST_MAIN(tst_ConnectionFile)
#include "tst_ConnectionFile.moc"
