#include "app/Application.h"
#include "app/ConnectionFile.h"
#include "app/UntPrincipal.h"
#include "app/UntProcessando.h"
#include "app/UntVersao.h"

#include "Doubles.h"
#include "ScriptedMessages.h"
#include "TdsStandIn.h"
#include "TestDatabase.h"

#include "common/Clock.h"
#include "common/Shell.h"
#include "common/Station.h"
#include "common/WaitSign.h"
#include "db/UntConexao.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

QStringList buttonTexts(QMessageBox& box) {
    QStringList texts;
    for (QAbstractButton* button : box.buttons())
        texts.append(button->text().remove(QLatin1Char('&')));
    texts.sort();
    return texts;
}
} // namespace

// The whole start-up as the program runs it, with the services scripted.
class tst_Application final : public QObject {
    Q_OBJECT

private:
    ScriptedMessages messages;
    SystemClock clock;
    RecordingShell shell;
    Services services{messages, clock, shell};

    static void logIn(TfrmPrincipal& window, const QString& cnpj, const QString& password) {
        auto* fiSenha = window.findChild<QLineEdit*>("fiSenha");
        QTest::keyClicks(window.findChild<QLineEdit*>("fiCNPJPosto"), cnpj);
        QTest::keyClicks(fiSenha, password);
        QTest::keyClick(fiSenha, Qt::Key_Return);
    }

private slots:
    void init() { messages = ScriptedMessages(); }

    void brazilianConventionsAreFixed() {
        QLocale::setDefault(QLocale::c());
        QTemporaryDir folder;
        TestDatabase db;
        KorvaApplication app(folder.path(), ConnectionSettings::sqliteFile(db.path()), services);

        QCOMPARE(QLocale().toString(1234.5, 'f', 2), QString("1.234,50"));
        QMessageBox box(QMessageBox::Question, "t", "q", QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(buttonTexts(box), QStringList({QString::fromUtf8("Não"), "Sim"}));
        QCOMPARE(messages.count(), 0);
    }

    void unreachableDatabaseIsReportedAndStartUpGoesOn_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("conexaoIni");
        QTest::addColumn<QByteArray>("configIni");
        QTest::newRow("folder that does not exist") << "falta/Dravix.db" << QByteArray() << QByteArray();
        QTest::newRow("a folder in the file's place") << "pasta" << QByteArray() << QByteArray();
        QTest::newRow("Conexao.ini naming an unknown engine")
            << "" << QByteArray("[Conexao]\r\nBanco=ACCESS\r\nArquivo=Dravix.db\r\n") << QByteArray();
        QTest::newRow("saved login: the login is the first attempt")
            << "falta/Dravix.db" << QByteArray()
            << QByteArray("[Login]\r\nCNPJ=12345678000195\r\nSenha=x\r\n");
    }

    void unreachableDatabaseIsReportedAndStartUpGoesOn() {
        QFETCH(QString, file);
        QFETCH(QByteArray, conexaoIni);
        QFETCH(QByteArray, configIni);
        QTemporaryDir folder;
        QDir(folder.path()).mkdir("pasta");
        TestDatabase db;
        QVERIFY(QFile::copy(db.path(), folder.filePath("Dravix.db")));
        QFile ini(folder.filePath("Conexao.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(conexaoIni);
        ini.close();
        QFile config(folder.filePath("Config.ini"));
        QVERIFY(configIni.isEmpty() || (config.open(QIODevice::WriteOnly) && config.write(configIni) > 0));
        config.close();
        KorvaApplication app(folder.path(),
                             file.isEmpty() ? ConnectionFile::read(folder.path())
                                            : ConnectionSettings::sqliteFile(folder.filePath(file)),
                             services);
        QCOMPARE(messages.count(), 0);
        QStringList seen;
        auto* fiMensagem = app.frmPrincipal().findChild<QLabel*>("fiMensagem");
        messages.onShow([&](const ScriptedMessages::Box&) {
            seen << fiMensagem->text() << (fiMensagem->isVisible() ? "still shown" : "hidden")
                 << (app.frmPrincipal().isVisible() ? "over the window" : "before the window");
        });

        app.frmPrincipal().show();
        QVERIFY(QTest::qWaitForWindowExposed(&app.frmPrincipal()));
        QCOMPARE(seen, QStringList({"Conectando...", "hidden", "over the window"}));
        const ScriptedMessages::Box reported = messages.last();
        QVERIFY(!reported.text.isEmpty());
        QCOMPARE(reported.text.contains("\"Banco\""), !conexaoIni.isEmpty());
        QCOMPARE(reported.caption, QString("KORVAPosto"));
        QCOMPARE(reported.icon, Messages::Icon::Error);
        logIn(app.frmPrincipal(), "12345678000195", "posto123");

        QCOMPARE(messages.count(), 2);
        QCOMPARE(messages.last().text, reported.text);
        QCOMPARE(messages.last().icon, Messages::Icon::Error);
        QVERIFY(app.frmPrincipal().findChild<QWidget*>("pnLogin")->isVisible());
        QCOMPARE(app.station().iIDPosto, 0);
    }

    void logsInAndOpensTheWindowsOnTheDatabase() {
        QTemporaryDir folder;
        TestDatabase db;
        db.exec("INSERT INTO ZeltoPostos (id, Cnpj, Senha, nome, id_empresa) "
                "VALUES (3, '12345678000195', 'posto123', 'Posto Estrela', 1)");
        KorvaApplication app(folder.path(), ConnectionSettings::sqliteFile(db.path()), services);
        QVERIFY(!app.dmConexao().isOpen());
        app.frmPrincipal().show();
        QVERIFY(QTest::qWaitForWindowExposed(&app.frmPrincipal()));
        QVERIFY(app.dmConexao().isOpen());

        logIn(app.frmPrincipal(), "12345678000195", "posto123");

        QCOMPARE(messages.count(), 0);
        QCOMPARE(app.station().iIDPosto, 3);
        QCOMPARE(app.station().sCNPJ, QString("12345678000195"));
        QVERIFY(app.frmPrincipal().findChild<QWidget*>("pnLogin")->isHidden());

        // Each tile opens the real window, which finds the logged station.
        for (const char* tile : {"btRegistrar", "btRelatorios"}) {
            QTest::mouseClick(app.frmPrincipal().findChild<QWidget*>(tile), Qt::LeftButton, {}, QPoint(3, 3));
            QCOMPARE(messages.count(), 0);
        }
        QWidget* fueling = nullptr;
        QWidget* report = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->objectName() == "frmLancamento")
                fueling = top;
            if (top->objectName() == "frmRelarorios")
                report = top;
        }
        QVERIFY(fueling && fueling->isVisible());
        QVERIFY(report && report->isVisible());
        QCOMPARE(fueling->frameGeometry().center(), app.frmPrincipal().frameGeometry().center());
        QCOMPARE(fueling->windowTitle(), QString("Abastecimento"));
        // The pictures come from the program's resources, which must have been linked in.
        for (QWidget* window :
             {static_cast<QWidget*>(&app.frmPrincipal()), static_cast<QWidget*>(&app.frmVersao()),
              static_cast<QWidget*>(&app.frmProcessando())}) {
            int pictures = 0;
            for (const QLabel* label : window->findChildren<QLabel*>())
                pictures += label->pixmap().isNull() ? 0 : 1;
            QVERIFY2(pictures > 0, qPrintable(window->objectName()));
        }
        int mainPictures = 0;
        for (const QLabel* label : app.frmPrincipal().findChildren<QLabel*>())
            mainPictures += label->pixmap().isNull() || label->window() != &app.frmPrincipal() ? 0 : 1;
        QCOMPARE(mainPictures, 8);
        QCOMPARE(report->windowTitle(), QString("Relarorio Abastecimentos"));

        // Every other window is the main window's own: no task-bar entry of its own, placed over it.
        for (const char* name :
             {"frmLancamento", "frmProcessando", "frmRelarorios", "frmPesqEmpresas", "frmVersao"})
            QVERIFY2(app.frmPrincipal().findChild<QWidget*>(name, Qt::FindDirectChildrenOnly), name);
    }

    // A server slow over the catalog's collation, which DATABASEPROPERTYEX(..., 'Collation') names
    // (learn.microsoft.com/sql/t-sql/functions/databasepropertyex-transact-sql).
    void slowServerShowsTheWaitSignOverTheWindow() {
        if (const QString why = TdsStandIn::unavailableReason(); !why.isEmpty())
            QSKIP(qPrintable(why));
        TdsStandIn server(QByteArray(R"js([{"match": "DATABASEPROPERTYEX", "delay": 4,
                "columns": [{"name": "db", "type": "nvarchar(128)"}, {"name": "c", "type": "nvarchar(128)"}],
                "rows": [["KORVA", "Latin1_General_CI_AS"]]}])js"));
        QTemporaryDir folder;
        KorvaApplication app(folder.path(), ConnectionSettings::sqlServer(server.login()), services);
        auto* sign = app.frmPrincipal().findChild<WaitSign*>();
        auto* fiMensagem = app.frmPrincipal().findChild<QLabel*>("fiMensagem");
        QStringList seen;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, [&] {
            if (seen.isEmpty() && sign->isVisible() && fiMensagem->isVisible())
                seen << sign->findChild<QLabel*>("lbEspera")->text() << fiMensagem->text();
        });
        look.start(100);
        app.frmPrincipal().show();
        QTRY_VERIFY_WITH_TIMEOUT(app.dmConexao().isOpen(), 10000);
        QCOMPARE(seen, QStringList({"Aguardando o banco de dados... 3 s", "Conectando..."}));
        QVERIFY(sign->isHidden() && fiMensagem->isHidden());
        QCOMPARE(messages.count(), 0);
    }
};

QTEST_MAIN(tst_Application)
#include "tst_Application.moc"
