#include "app/IniFile.h"

#include "WindowsText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_IniFile final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder;
    QString path() const { return folder.filePath(QStringLiteral("Config.ini")); }

    void putFile(const QByteArray& bytes) const {
        QFile file(path());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    QByteArray fileBytes() const {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void init() { QFile::remove(path()); }

    void readsWhatTheWindowsProgramWrote_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("cnpj");
        QTest::addColumn<QString>("password");

        QTest::newRow("plain ANSI, CR LF")
            << QByteArray("[Login]\r\nCNPJ=12345678000195\r\nSenha=segredo\r\n") << "12345678000195"
            << "segredo";
        QTest::newRow("comma, semicolon, equals, quote and backslash")
            << QByteArray("[Login]\r\nCNPJ=1\r\nSenha=a,b;c=d\"e'f\\g\r\n") << "1"
            << "a,b;c=d\"e'f\\g";
        QTest::newRow("names in another case") << QByteArray("[login]\r\ncnpj=11\r\nSENHA=x\r\n") << "11"
                                               << "x";
        QTest::newRow("blanks around names and values")
            << QByteArray("  [ Login ]  \r\n  CNPJ  =  123 \t\r\nSenha =\tp w \r\n") << "123"
            << "p w";
        QTest::newRow("double quotes taken off") << QByteArray("[Login]\r\nSenha=\"  x  \"\r\n") << ""
                                                 << "  x  ";
        QTest::newRow("single quotes taken off") << QByteArray("[Login]\r\nSenha='abc'\r\n") << ""
                                                 << "abc";
        QTest::newRow("one quote stays") << QByteArray("[Login]\r\nSenha=\"abc\r\n") << ""
                                         << "\"abc";
        QTest::newRow("mixed quotes stay") << QByteArray("[Login]\r\nSenha=\"abc'\r\n") << ""
                                           << "\"abc'";
        QTest::newRow("line feeds only") << QByteArray("[Login]\nCNPJ=7\nSenha=lf\n") << "7"
                                         << "lf";
        QTest::newRow("no line break at the end") << QByteArray("[Login]\r\nSenha=fim") << ""
                                                  << "fim";
        QTest::newRow("same keys in an earlier section")
            << QByteArray("[Outra]\r\nCNPJ=9\r\nSenha=nao\r\n[Login]\r\nCNPJ=8\r\nSenha=sim\r\n") << "8"
            << "sim";
        QTest::newRow("keys of a later section ignored")
            << QByteArray("[Login]\r\nCNPJ=8\r\n[Outra]\r\nSenha=nao\r\n") << "8"
            << "";
        QTest::newRow("first of two entries") << QByteArray("[Login]\r\nSenha=um\r\nSenha=dois\r\n") << ""
                                              << "um";
        QTest::newRow("Windows-1252")
            << QByteArray("[Login]\r\nSenha=a\xE7\xE3o\x80\r\n") << "" << QString::fromUtf8("ação€");
        QTest::newRow("UTF-8 without mark")
            << QByteArray("[Login]\r\nSenha=a\xC3\xA7\xC3\xA3o\r\n") << "" << QString::fromUtf8("ação");
        QTest::newRow("UTF-8 with mark")
            << QByteArray("\xEF\xBB\xBF[Login]\r\nSenha=\xE2\x82\xAC\r\n") << "" << QString::fromUtf8("€");
        QTest::newRow("UTF-16 with mark")
            << utf16le(QString::fromUtf8("[Login]\r\nCNPJ=55\r\nSenha=ação日本\r\n")) << "55"
            << QString::fromUtf8("ação日本");
        QTest::newRow("empty file") << QByteArray() << ""
                                    << "";
        QTest::newRow("no section") << QByteArray("CNPJ=1\r\nSenha=2\r\n") << ""
                                    << "";
        QTest::newRow("CNPJ only") << QByteArray("[Login]\r\nCNPJ=12\r\n") << "12"
                                   << "";
        QTest::newRow("key without equals sign") << QByteArray("[Login]\r\nSenha\r\nCNPJ=3\r\n") << "3"
                                                 << "";
        QTest::newRow("garbled") << QByteArray("\x00\x01\xFF[Lo\x00gin\r\n==\r\n[", 17) << ""
                                 << "";
    }

    void readsWhatTheWindowsProgramWrote() {
        QFETCH(QByteArray, file);
        QFETCH(QString, cnpj);
        QFETCH(QString, password);
        putFile(file);

        const IniFile ini(path());
        QCOMPARE(ini.readString("Login", "CNPJ"), cnpj);
        QCOMPARE(ini.readString("Login", "Senha"), password);
    }

    void missingFileGivesTheDefault() {
        const IniFile ini(path());
        QCOMPARE(ini.readString("Login", "Senha"), QString());
        QCOMPARE(ini.readString("Login", "Senha", "padrao"), QString("padrao"));
    }

    void newFileHoldsTheValuesVerbatim_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("bytes");

        QTest::newRow("digits") << "123456"
                                << QByteArray("[Login]\r\nCNPJ=12345678000195\r\nSenha=123456\r\n");
        QTest::newRow("comma, semicolon, equals, quote and backslash")
            << "a,b;c=d\"e'f\\g" << QByteArray("[Login]\r\nCNPJ=12345678000195\r\nSenha=a,b;c=d\"e'f\\g\r\n");
        QTest::newRow("Latin-1 letters as ANSI")
            << QString::fromUtf8("ação")
            << QByteArray("[Login]\r\nCNPJ=12345678000195\r\nSenha=a\xE7\xE3o\r\n");
        QTest::newRow("beyond ANSI as UTF-16")
            << QString::fromUtf8("日本")
            << utf16le(QString::fromUtf8("[Login]\r\nCNPJ=12345678000195\r\nSenha=日本\r\n"));
        QTest::newRow("blank at the end kept in quotes")
            << "senha " << QByteArray("[Login]\r\nCNPJ=12345678000195\r\nSenha=\"senha \"\r\n");
        QTest::newRow("quoted password kept in quotes")
            << "'x'" << QByteArray("[Login]\r\nCNPJ=12345678000195\r\nSenha=\"'x'\"\r\n");
    }

    void newFileHoldsTheValuesVerbatim() {
        QFETCH(QString, password);
        QFETCH(QByteArray, bytes);

        const IniFile ini(path());
        ini.writeString("Login", "CNPJ", "12345678000195");
        ini.writeString("Login", "Senha", password);
        QCOMPARE(fileBytes(), bytes);
    }

    void writtenValueReadsBack_data() {
        QTest::addColumn<QString>("password");

        for (const char* text : {"a,b", "x;y", "k=v", "q\"uote", "'single'", "\"double\"", "\"", "''",
                                 "back\\slash", " leading", "trailing ", "  ", "\tab", "a,b;c=d\"e'f\\g", ""})
            QTest::newRow(text) << QString::fromUtf8(text);
        QTest::newRow("Portuguese letters") << QString::fromUtf8("ação é");
        QTest::newRow("euro sign") << QString::fromUtf8("€uro");
        QTest::newRow("beyond ANSI") << QString::fromUtf8("日本語");
        QTest::newRow("ANSI bytes that look like UTF-8") << QString::fromUtf8("Ã©");
        QTest::newRow("case kept") << "AbC";
    }

    void writtenValueReadsBack() {
        QFETCH(QString, password);

        const IniFile ini(path());
        ini.writeString("Login", "CNPJ", "12345678000195");
        ini.writeString("Login", "Senha", password);
        QCOMPARE(ini.readString("Login", "Senha"), password);
        QCOMPARE(ini.readString("Login", "CNPJ"), QString("12345678000195"));
    }

    void rewriteLeavesOtherLinesAlone_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("values replaced in place")
            << QByteArray(
                   "; salvo\r\n[Outra]\r\nSenha=fica\r\n\r\n[LOGIN]\r\ncnpj = 1\r\nX=y\r\nSenha=velha\r\n")
            << QByteArray(
                   "; salvo\r\n[Outra]\r\nSenha=fica\r\n\r\n[LOGIN]\r\ncnpj=2\r\nX=y\r\nSenha=nova\r\n");
        QTest::newRow("keys added at the end of the section")
            << QByteArray("[Login]\r\nX=y\r\n\r\n[Outra]\r\nA=b\r\n")
            << QByteArray("[Login]\r\nX=y\r\nCNPJ=2\r\nSenha=nova\r\n\r\n[Outra]\r\nA=b\r\n");
        QTest::newRow("section added at the end")
            << QByteArray("[Outra]\nA=b")
            << QByteArray("[Outra]\r\nA=b\r\n\r\n[Login]\r\nCNPJ=2\r\nSenha=nova\r\n");
        QTest::newRow("UTF-16 stays UTF-16")
            << utf16le(QString::fromUtf8("[Outra]\r\nA=日\r\n[Login]\r\nCNPJ=1\r\nSenha=x\r\n"))
            << utf16le(QString::fromUtf8("[Outra]\r\nA=日\r\n[Login]\r\nCNPJ=2\r\nSenha=nova\r\n"));
        QTest::newRow("UTF-8 with mark stays so")
            << QByteArray("\xEF\xBB\xBF[Login]\r\nCNPJ=1\r\nSenha=\xC3\xA7\r\n")
            << QByteArray("\xEF\xBB\xBF[Login]\r\nCNPJ=2\r\nSenha=nova\r\n");
    }

    void rewriteLeavesOtherLinesAlone() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        putFile(before);

        const IniFile ini(path());
        ini.writeString("Login", "CNPJ", "2");
        ini.writeString("Login", "Senha", "nova");
        QCOMPARE(fileBytes(), after);
    }

    void onlyTheOwnerMayReadTheFile_data() {
        QTest::addColumn<bool>("existing");
        QTest::newRow("new file") << false;
        QTest::newRow("file readable by all rewritten") << true;
    }

    void onlyTheOwnerMayReadTheFile() {
        QFETCH(bool, existing);
#ifdef Q_OS_WIN
        QSKIP("Windows keeps who may read a file in its access list, not in permission bits");
#endif
        if (existing) {
            putFile("[Login]\r\nSenha=x\r\n");
            QVERIFY(QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                                      QFile::ReadOther));
        }

        IniFile(path()).writeString("Login", "Senha", "segredo");
        const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
        QCOMPARE(QFile::permissions(path()), ownerOnly);
    }

    void failedWriteSaysWhereAndLeavesNoTrace_data() {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("value");
        QTest::newRow("folder missing") << "falta/Config.ini"
                                        << "x";
        QTest::newRow("a folder in the file's place") << "pasta/Config.ini"
                                                      << "x";
        QTest::newRow("line break in the value") << "Config.ini"
                                                 << "a\r\n[Login]";
    }

    void failedWriteSaysWhereAndLeavesNoTrace() {
        QFETCH(QString, where);
        QFETCH(QString, value);
        QDir(folder.path()).mkpath("pasta/Config.ini");
        putFile("[Login]\r\nSenha=antiga\r\n");
        const QStringList entriesBefore = QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden);
        const QString target = folder.filePath(where);

        try {
            IniFile(target).writeString("Login", "Senha", value);
            QFAIL("the write should have failed");
        } catch (const IniWriteError& error) {
            QCOMPARE(QString::fromUtf8(error.what()), "Unable to write to " + target);
        }
        QCOMPARE(fileBytes(), QByteArray("[Login]\r\nSenha=antiga\r\n"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden), entriesBefore);
        QDir(folder.filePath("pasta")).removeRecursively();
    }
};

QTEST_GUILESS_MAIN(tst_IniFile)
#include "tst_IniFile.moc"
