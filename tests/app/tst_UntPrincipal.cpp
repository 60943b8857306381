#include "app/IniFile.h"
#include "app/UntPrincipal.h"
#include "app/UntVersao.h"

#include "Doubles.h"
#include "ScriptedMessages.h"
#include "TestDatabase.h"

#include "common/Clock.h"
#include "common/ErrorReport.h"
#include "common/GuessLimiter.h"
#include "common/MaskedText.h"
#include "common/Shell.h"
#include "common/Station.h"
#include "db/UntConexao.h"
#include "format/UntProcedimentos.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString attention = QString::fromUtf8("Atenção!");
const QString askCnpj = QString::fromUtf8("Informe o CNPF do seu Posto de Combustível!");
const QString askPassword = QStringLiteral("Informe sua Senha!");
const QString notFound = QString::fromUtf8("Não Localizado este CNPJ no cadastro de postos Dravix Postos!");
const QString wrongPassword = QString::fromUtf8("Senha Inválida!");
const QString forgetQuestion = QString::fromUtf8(
    "Tem certeza que deseja não se manter conectado? No seu próximo acesso terá que digitar seu CNPJ e senha "
    "novamente! Deseja continuar?");

// The main window as the application puts it together, with plain windows standing in for the fueling and
// report windows; the About window is the main window's own, as in the program.
struct MainWindow {
    MainWindow(const QString& folder, Services services, TdmConexao& conexao)
        : frmPrincipal(folder, station, services, passwordGuesses), frmVersao(services, &frmPrincipal) {
        frmLancamento.resize(300, 200);
        frmRelarorios.resize(320, 220);
        frmPrincipal.setConnection(conexao);
        frmPrincipal.setWindows(frmLancamento, frmRelarorios, frmVersao);
    }

    // Shown as at start-up; the show handler runs once the window is up.
    void show() {
        frmPrincipal.resize(916, 660);
        frmPrincipal.show();
        QCoreApplication::processEvents();
    }

    template <class T> T* control(const char* name) const {
        T* found = frmPrincipal.findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QLineEdit* fiCNPJPosto() const { return control<QLineEdit>("fiCNPJPosto"); }
    QLineEdit* fiSenha() const { return control<QLineEdit>("fiSenha"); }
    QLabel* fiMensagem() const { return control<QLabel>("fiMensagem"); }
    QWidget* pnLogin() const { return control<QWidget>("pnLogin"); }
    QAction* action(const char* name) const { return control<QAction>(name); }

    void type(const QString& cnpj, const QString& password) const {
        fiCNPJPosto()->home(false);
        QTest::keyClicks(fiCNPJPosto(), cnpj);
        QTest::keyClicks(fiSenha(), password);
    }

    bool loggedIn() const {
        return pnLogin()->isHidden() && control<QWidget>("btRegistrar")->isVisible() &&
               control<QWidget>("btRelatorios")->isVisible();
    }

    bool loggedOut() const {
        return pnLogin()->isVisible() && control<QWidget>("btRegistrar")->isHidden() &&
               control<QWidget>("btRelatorios")->isHidden() && control<QLabel>("fiNome")->text().isEmpty() &&
               control<QLabel>("fiCNPJ")->text().isEmpty() && station.sCNPJ.isEmpty() &&
               station.iIDPosto == 0;
    }

    Station station;
    GuessLimiter passwordGuesses;
    QWidget frmLancamento;
    QWidget frmRelarorios;
    TfrmPrincipal frmPrincipal;
    TfrmVersao frmVersao;
};

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void putFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}
} // namespace

class tst_UntPrincipal final : public QObject {
    Q_OBJECT

private:
    ScriptedMessages messages;
    FixedClock clock;
    RecordingShell shell;
    Services services{messages, clock, shell};
    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<QTemporaryDir> folder;

    QString configPath() const { return folder->filePath(QStringLiteral("Config.ini")); }
    std::unique_ptr<MainWindow> makeWindow(const QString& exeFolder = {}) {
        return std::make_unique<MainWindow>(exeFolder.isEmpty() ? folder->path() : exeFolder, services,
                                            db->connection());
    }

private slots:
    void init() {
        messages = ScriptedMessages();
        shell.opened.clear();
        folder = std::make_unique<QTemporaryDir>();
        db = std::make_unique<TestDatabase>("QSQLITE");
        db->exec("INSERT INTO ZeltoPostos (id, Cnpj, Senha, nome, id_empresa) "
                 "VALUES (7, '12345678000195', 'SeNhA 1', 'Posto Central', 1)");
        db->exec("INSERT INTO ZeltoPostos (id, Cnpj, Senha, nome, id_empresa) "
                 "VALUES (8, '98765432000110', 'pw  ', 'Posto da Serra', 1)");
        db->exec("INSERT INTO ZeltoPostos (id, Cnpj, Senha, nome, id_empresa) "
                 "VALUES (9, '12 45678000195', 'b', 'Posto do Meio', 1)");
    }

    void cleanup() {
        db.reset();
        folder.reset();
    }

    void startsLoggedOutWithoutSavedLogin() {
        const auto w = makeWindow();
        w->show();

        QCOMPARE(w->frmPrincipal.windowTitle(), QString::fromUtf8("KORVA Posto Combustíveis"));
        QVERIFY(w->loggedOut());
        QCOMPARE(maskedValue(*w->fiCNPJPosto()), QString());
        QCOMPARE(w->fiCNPJPosto()->displayText(), QString("  .   .   /    -  "));
        QCOMPARE(w->fiSenha()->text(), QString());
        QCOMPARE(w->fiSenha()->echoMode(), QLineEdit::Password);
        QVERIFY(!w->control<QCheckBox>("fiConectado")->isChecked());
        QVERIFY(w->fiMensagem()->isHidden());
        QCOMPARE(w->control<QLabel>("Label1")->text(), QString("KORVA Controle de Abastecimentos"));
        QCOMPARE(w->control<QLabel>("Label6")->text(), QString("Manter Conectado"));
        QCOMPARE(w->control<QLabel>("lbVersao")->text(), QString::fromUtf8("Verão 1.6"));
        QCOMPARE(messages.count(), 0);
        QVERIFY(!QFile::exists(configPath()));
    }

    void menuReadsAsDesigned() {
        const auto w = makeWindow();
        const QList<QAction*> top = w->control<QMenuBar>("MainMenu1")->actions();
        QCOMPARE(top.size(), 2);
        QCOMPARE(top.at(0)->text(), QString("Arquivo"));
        QCOMPARE(top.at(1)->text(), QString("Sobre"));
        const QList<QAction*> file = w->control<QMenu>("Arquivo1")->actions();
        QCOMPARE(file.size(), 3);
        QCOMPARE(file.at(0)->text(), QString::fromUtf8("Não me manter Conectado"));
        QVERIFY(file.at(1)->isSeparator());
        QCOMPARE(file.at(2)->text(), QString("Sair"));
        for (QAction* item : file + top)
            QVERIFY(item->isEnabled());
    }

    void loginPanelStaysCentred_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("design size") << QSize(916, 660);
        QTest::newRow("larger") << QSize(1400, 900);
        QTest::newRow("smaller") << QSize(700, 500);
    }

    void loginPanelStaysCentred() {
        QFETCH(QSize, size);
        const auto w = makeWindow();
        w->show();
        w->frmPrincipal.resize(size);
        QCoreApplication::processEvents();

        const QWidget* area = w->control<QWidget>("centralwidget");
        const QPoint offset = w->pnLogin()->geometry().center() - area->rect().center();
        QVERIFY2(qAbs(offset.x()) <= 1 && qAbs(offset.y()) <= 1,
                 qPrintable(QString("off by %1,%2").arg(offset.x()).arg(offset.y())));
        QCOMPARE(w->control<QLabel>("Label7")->geometry().right(), area->width() - 9);
        QCOMPARE(w->control<QLabel>("lbVersao")->geometry().bottom(), area->height() - 7);
        QCOMPARE(w->control<QLabel>("fiNome")->geometry().right(), area->width() - 9);
    }

    void refusedLogin_data() {
        QTest::addColumn<QString>("cnpj");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("isError");
        QTest::addColumn<QString>("focus");

        QTest::newRow("empty CNPJ and empty password") << ""
                                                       << "" << askCnpj << false << "fiCNPJPosto";
        QTest::newRow("empty CNPJ with a password") << ""
                                                    << "SeNhA 1" << askCnpj << false << "fiCNPJPosto";
        QTest::newRow("empty password") << "12345678000195"
                                        << "" << askPassword << false << "fiSenha";
        QTest::newRow("password of blanks") << "12345678000195"
                                            << "   " << askPassword << false << "fiSenha";
        QTest::newRow("unknown CNPJ") << "99999999000199"
                                      << "SeNhA 1" << notFound << false << "fiCNPJPosto";
        QTest::newRow("fewer than 14 digits") << "1234567800019"
                                              << "SeNhA 1" << notFound << false << "fiCNPJPosto";
        QTest::newRow("blank in the middle of the CNPJ") << "1234567 000195"
                                                         << "SeNhA 1" << notFound << false << "fiCNPJPosto";
        QTest::newRow("password in another case") << "12345678000195"
                                                  << "senha 1" << wrongPassword << true << "fiSenha";
        QTest::newRow("trailing blank compared") << "12345678000195"
                                                 << "SeNhA 1 " << wrongPassword << true << "fiSenha";
        QTest::newRow("stored trailing blanks missing") << "98765432000110"
                                                        << "pw" << wrongPassword << true << "fiSenha";
    }

    void refusedLogin() {
        QFETCH(QString, cnpj);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QFETCH(bool, isError);
        QFETCH(QString, focus);
        const auto w = makeWindow();
        w->show();
        w->type(cnpj, password);
        QStringList shownWhileOpen;
        messages.onShow([&](const ScriptedMessages::Box&) {
            shownWhileOpen.append(w->fiMensagem()->isVisible() ? w->fiMensagem()->text() : QString());
        });

        QTest::mouseClick(w->control<QLabel>("btConfirma"), Qt::LeftButton);

        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().text, message);
        QCOMPARE(messages.last().caption, attention);
        QCOMPARE(messages.last().icon, isError ? Messages::Icon::Error : Messages::Icon::Exclamation);
        QCOMPARE(messages.last().buttons, Messages::Buttons::Ok);
        QCOMPARE(shownWhileOpen, QStringList{"Conectando..."});
        QVERIFY(w->fiMensagem()->isHidden());
        QCOMPARE(w->frmPrincipal.focusWidget()->objectName(), focus);
        QVERIFY(w->loggedOut());
        QCOMPARE(maskedValue(*w->fiCNPJPosto()), cnpj);
        QCOMPARE(w->fiSenha()->text(), password);
        QCOMPARE(w->fiSenha()->displayText(), QString(password.size(), QLatin1Char('*')));
    }

    void wrongPasswordsMakeTheNextTryWait() {
        const auto w = makeWindow();
        w->show();
        w->type("12345678000195", "errada");
        for (int i = 0; i < 4; ++i) // the fourth, Enter while it waits, is not tried
            QTest::keyClick(w->fiSenha(), Qt::Key_Return);
        QCOMPARE(messages.count(), 3);
        QCOMPARE(messages.last().detail, QStringLiteral("Aguarde 2 s para tentar de novo."));
        clock.pass(2000);
        QVERIFY(w->control<QLabel>("btConfirma")->isEnabled());
    }

    void successfulLogin_data() {
        QTest::addColumn<QString>("cnpj");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint32>("id");

        QTest::newRow("complete CNPJ") << "12345678000195"
                                       << "SeNhA 1"
                                       << "Posto Central" << 7;
        QTest::newRow("password with trailing blanks") << "98765432000110"
                                                       << "pw  "
                                                       << "Posto da Serra" << 8;
        QTest::newRow("blank in the middle read as a blank") << "12 45678000195"
                                                             << "b"
                                                             << "Posto do Meio" << 9;
    }

    void successfulLogin() {
        QFETCH(QString, cnpj);
        QFETCH(QString, password);
        QFETCH(QString, name);
        QFETCH(qint32, id);
        const auto w = makeWindow();
        w->show();
        w->type(cnpj, password);

        QTest::mouseClick(w->control<QLabel>("btConfirma"), Qt::LeftButton);

        QCOMPARE(messages.count(), 0);
        QVERIFY(w->loggedIn());
        QVERIFY(w->fiMensagem()->isHidden());
        QCOMPARE(w->control<QLabel>("fiNome")->text(), name);
        QCOMPARE(w->control<QLabel>("fiCNPJ")->text(), "CNPJ: " + fFormacnpj(cnpj));
        QCOMPARE(w->station.sCNPJ, cnpj);
        QCOMPARE(w->station.iIDPosto, id);
        QCOMPARE(w->frmPrincipal.sCNPJ(), cnpj);
        QCOMPARE(w->frmPrincipal.iIDPosto(), id);
        QVERIFY(!QFile::exists(configPath()));
    }

    void loggedInStationShowsFormattedCnpj() {
        const auto w = makeWindow();
        w->show();
        w->type("12345678000195", "SeNhA 1");
        QTest::keyClick(w->fiSenha(), Qt::Key_Return);
        QCOMPARE(w->control<QLabel>("fiCNPJ")->text(), QString("CNPJ: 12.345.678/0001-95"));
        QCOMPARE(w->station.sCNPJ, QString("12345678000195"));
    }

    void keepConnectedBoxDecidesWhatIsSaved_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<QByteArray>("after");
        const QByteArray saved("[Login]\r\nCNPJ=12345678000195\r\nSenha=SeNhA 1\r\n");
        const QByteArray other("[Login]\r\nCNPJ=98765432000110\r\nSenha=\r\n");
        QTest::newRow("kept, no file yet") << QByteArray() << true << saved;
        QTest::newRow("kept, file of another login") << other << true << saved;
        QTest::newRow("not kept, no file") << QByteArray() << false << QByteArray();
        QTest::newRow("not kept, file of another station") << other << false << other;
    }

    void keepConnectedBoxDecidesWhatIsSaved() {
        QFETCH(QByteArray, before);
        QFETCH(bool, keep);
        QFETCH(QByteArray, after);
        if (!before.isEmpty())
            putFile(configPath(), before);
        const auto w = makeWindow();
        w->show();
        w->fiCNPJPosto()->clear();
        w->type("12345678000195", "SeNhA 1");
        w->control<QCheckBox>("fiConectado")->setChecked(keep);

        QTest::keyClick(w->fiSenha(), Qt::Key_Return);

        QVERIFY(w->loggedIn());
        QCOMPARE(messages.count(), 0);
        QCOMPARE(QFile::exists(configPath()), !after.isEmpty());
        QCOMPARE(fileBytes(configPath()), after);
#ifndef Q_OS_WIN // Windows keeps who may read a file in its access list, not in permission bits
        if (keep)
            QCOMPARE(QFile::permissions(configPath()),
                     QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
#endif
    }

    void unwritableFolderStillLogsIn_data() {
        QTest::addColumn<QString>("exeFolder");
        QTest::addColumn<bool>("configIsFolder");
        QTest::newRow("folder missing") << "falta" << false;
        QTest::newRow("a folder in the file's place") << "" << true;
    }

    void unwritableFolderStillLogsIn() {
        QFETCH(QString, exeFolder);
        QFETCH(bool, configIsFolder);
        const QString where = exeFolder.isEmpty() ? folder->path() : folder->filePath(exeFolder);
        if (configIsFolder)
            QVERIFY(QDir(where).mkpath("Config.ini"));
        const auto w = makeWindow(where);
        w->show();
        w->type("12345678000195", "SeNhA 1");
        w->control<QCheckBox>("fiConectado")->setChecked(true);

        QTest::keyClick(w->fiSenha(), Qt::Key_Return);

        QVERIFY(w->loggedIn());
        QCOMPARE(w->station.iIDPosto, 7);
        QVERIFY(w->fiMensagem()->isHidden());
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().text, "Unable to write to " + where + "/Config.ini.");
        QCOMPARE(messages.last().caption, QString("KORVAPosto"));
        QCOMPARE(messages.last().icon, Messages::Icon::Error);
    }

    void loginCannotRunInsideItself_data() {
        QTest::addColumn<bool>("byClick");
        QTest::newRow("second Enter") << false;
        QTest::newRow("second click") << true;
    }

    void loginCannotRunInsideItself() {
        QFETCH(bool, byClick);
        const auto w = makeWindow();
        w->show();
        w->type("99999999000199", "x");
        QWidget* btConfirma = w->control<QWidget>("btConfirma");
        if (byClick) {
            const QPointF inside(5, 5);
            QCoreApplication::postEvent(
                btConfirma, new QMouseEvent(QEvent::MouseButtonPress, inside, btConfirma->mapToGlobal(inside),
                                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
            QCoreApplication::postEvent(btConfirma,
                                        new QMouseEvent(QEvent::MouseButtonRelease, inside,
                                                        btConfirma->mapToGlobal(inside), Qt::LeftButton,
                                                        Qt::NoButton, Qt::NoModifier));
        } else {
            QCoreApplication::postEvent(w->fiSenha(),
                                        new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
        }

        QTest::keyClick(w->fiSenha(), Qt::Key_Return);
        QCoreApplication::processEvents();

        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().text, notFound);
        QVERIFY(w->fiMensagem()->isHidden());
    }

    void savedLoginRunsAtFirstShow_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("cnpj");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");

        QTest::newRow("saved login") << QByteArray("[Login]\r\nCNPJ=12345678000195\r\nSenha=SeNhA 1\r\n")
                                     << "12345678000195"
                                     << "SeNhA 1"
                                     << ""
                                     << "";
        QTest::newRow("password changed since")
            << QByteArray("[Login]\r\nCNPJ=12345678000195\r\nSenha=antiga\r\n") << "12345678000195"
            << "antiga" << wrongPassword << "fiSenha";
        QTest::newRow("saved password of blanks")
            << QByteArray("[Login]\r\nCNPJ=12345678000195\r\nSenha=\"   \"\r\n") << "12345678000195"
            << "   " << askPassword << "fiSenha";
        QTest::newRow("CNPJ only: no login")
            << QByteArray("[Login]\r\nCNPJ=12345678000195\r\n") << "12345678000195"
            << ""
            << ""
            << "";
        QTest::newRow("empty password: no login")
            << QByteArray("[Login]\r\nCNPJ=12345678000195\r\nSenha=\r\n") << "12345678000195"
            << ""
            << ""
            << "";
    }

    void savedLoginRunsAtFirstShow() {
        QFETCH(QByteArray, file);
        QFETCH(QString, cnpj);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        putFile(configPath(), file);
        const auto w = makeWindow();
        QCOMPARE(maskedValue(*w->fiCNPJPosto()), cnpj);
        QCOMPARE(w->fiSenha()->text(), password);
        QCOMPARE(messages.count(), 0);

        w->show();

        const bool logsIn = message.isEmpty() && !password.isEmpty();
        QCOMPARE(w->loggedIn(), logsIn);
        QCOMPARE(messages.count(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty()) {
            QCOMPARE(messages.last().text, message);
            QCOMPARE(w->frmPrincipal.focusWidget()->objectName(), focus);
            QCOMPARE(maskedValue(*w->fiCNPJPosto()), cnpj);
            QCOMPARE(w->fiSenha()->text(), password);
        }
        QVERIFY(w->fiMensagem()->isHidden());
        QCOMPARE(fileBytes(configPath()), file);
    }

    void unreachableDatabaseIsReportedAndLoginStillWorks() {
        TdmConexao unreachable(ConnectionSettings::sqliteFile(folder->filePath("falta/Dravix.db")));
        runGuarded(messages, nullptr, [&] { unreachable.open(); });
        QCOMPARE(messages.count(), 1);
        const QString providerMessage = messages.last().text;
        QVERIFY(!providerMessage.isEmpty());
        QCOMPARE(messages.last().caption, QString("KORVAPosto"));
        QCOMPARE(messages.last().icon, Messages::Icon::Error);

        Station station;
        TfrmVersao about(services);
        QWidget stand1, stand2;
        GuessLimiter passwordGuesses;
        TfrmPrincipal window(folder->path(), station, services, passwordGuesses);
        window.setConnection(unreachable);
        window.setWindows(stand1, stand2, about);
        window.show();
        QCoreApplication::processEvents();
        // The window's own first attempt, once it is up.
        QCOMPARE(messages.count(), 2);
        QCOMPARE(messages.last().text, providerMessage);
        auto* fiSenha = window.findChild<QLineEdit*>("fiSenha");
        QTest::keyClicks(window.findChild<QLineEdit*>("fiCNPJPosto"), "12345678000195");
        QTest::keyClicks(fiSenha, "SeNhA 1");
        QTest::keyClick(fiSenha, Qt::Key_Return);

        QCOMPARE(messages.count(), 3);
        QCOMPARE(messages.last().text, providerMessage);
        QCOMPARE(messages.last().caption, QString("KORVAPosto"));
        QCOMPARE(messages.last().icon, Messages::Icon::Error);
        QVERIFY(window.findChild<QWidget*>("pnLogin")->isVisible());
        QVERIFY(window.findChild<QWidget*>("fiMensagem")->isHidden());
        QVERIFY(station.sCNPJ.isEmpty());
    }

    void enterKeys_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<bool>("logsIn");

        QTest::newRow("Enter in the CNPJ moves on")
            << "fiCNPJPosto" << int(Qt::Key_Return) << 0 << "fiSenha" << false;
        QTest::newRow("keypad Enter in the CNPJ")
            << "fiCNPJPosto" << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << "fiSenha" << false;
        QTest::newRow("shift Enter in the CNPJ")
            << "fiCNPJPosto" << int(Qt::Key_Return) << int(Qt::ShiftModifier) << "fiSenha" << false;
        QTest::newRow("another key in the CNPJ")
            << "fiCNPJPosto" << int(Qt::Key_Down) << 0 << "fiCNPJPosto" << false;
        QTest::newRow("Enter in the password logs in") << "fiSenha" << int(Qt::Key_Return) << 0 << "" << true;
        QTest::newRow("ctrl Enter in the password logs in")
            << "fiSenha" << int(Qt::Key_Return) << int(Qt::ControlModifier) << "" << true;
        QTest::newRow("another key in the password")
            << "fiSenha" << int(Qt::Key_Down) << 0 << "fiSenha" << false;
    }

    void enterKeys() {
        QFETCH(QString, field);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, focus);
        QFETCH(bool, logsIn);
        const auto w = makeWindow();
        w->show();
        w->type("12345678000195", "SeNhA 1");
        auto* control = w->control<QLineEdit>(field.toLatin1().constData());
        control->setFocus();

        QTest::keyClick(control, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

        QCOMPARE(w->loggedIn(), logsIn);
        QCOMPARE(messages.count(), 0);
        if (!focus.isEmpty())
            QCOMPARE(w->frmPrincipal.focusWidget()->objectName(), focus);
    }

    void forgetSavedLogin_data() {
        QTest::addColumn<bool>("fileThere");
        QTest::addColumn<bool>("afterLogin");
        QTest::addColumn<bool>("yes");

        QTest::newRow("yes deletes and ends") << true << false << true;
        QTest::newRow("yes after the login") << true << true << true;
        QTest::newRow("yes without a file still ends") << false << false << true;
        QTest::newRow("no changes nothing") << true << false << false;
    }

    void forgetSavedLogin() {
        QFETCH(bool, fileThere);
        QFETCH(bool, afterLogin);
        QFETCH(bool, yes);
        const QByteArray saved("[Login]\r\nCNPJ=12345678000195\r\n");
        if (fileThere)
            putFile(configPath(), saved);
        const auto w = makeWindow();
        w->show();
        if (afterLogin) {
            w->fiCNPJPosto()->clear();
            w->type("12345678000195", "SeNhA 1");
            QTest::keyClick(w->fiSenha(), Qt::Key_Return);
            QVERIFY(w->loggedIn());
        }
        QSignalSpy ended(&w->frmPrincipal, &TfrmPrincipal::endRequested);
        messages.answerNext(yes ? Messages::Answer::Yes : Messages::Answer::No);

        w->action("NomemanterConectado1")->trigger();

        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().text, forgetQuestion);
        QCOMPARE(messages.last().caption, attention);
        QCOMPARE(messages.last().icon, Messages::Icon::Question);
        QCOMPARE(messages.last().buttons, Messages::Buttons::YesNo);
        QCOMPARE(ended.count(), yes ? 1 : 0);
        QCOMPARE(QFile::exists(configPath()), fileThere && !yes);
        QCOMPARE(w->loggedIn(), afterLogin);
        QVERIFY(w->frmPrincipal.isVisible());
    }

    void waysToEndTheProgram_data() {
        QTest::addColumn<QString>("way");
        QTest::newRow("menu Sair") << "Sair1";
        QTest::newRow("close picture") << "Image6";
        QTest::newRow("closing the window") << "close";
    }

    void waysToEndTheProgram() {
        QFETCH(QString, way);
        const auto w = makeWindow();
        w->show();
        QSignalSpy ended(&w->frmPrincipal, &TfrmPrincipal::endRequested);

        if (way == "Sair1")
            w->action("Sair1")->trigger();
        else if (way == "Image6")
            QTest::mouseClick(w->control<QLabel>("Image6"), Qt::LeftButton);
        else
            w->frmPrincipal.close();

        QCOMPARE(ended.count(), 1);
        QCOMPARE(messages.count(), 0);
    }

    void tilesOpenTheirWindows_data() {
        QTest::addColumn<QString>("clicked");
        QTest::addColumn<bool>("fueling");

        QTest::newRow("fueling tile") << "btRegistrar" << true;
        QTest::newRow("fueling tile's picture") << "Image1" << true;
        QTest::newRow("fueling tile's caption") << "Label2" << true;
        QTest::newRow("report tile") << "btRelatorios" << false;
        QTest::newRow("report tile's picture") << "Image5" << false;
        QTest::newRow("report tile's caption") << "Label10" << false;
    }

    void tilesOpenTheirWindows() {
        QFETCH(QString, clicked);
        QFETCH(bool, fueling);
        const auto w = makeWindow();
        w->show();
        w->type("12345678000195", "SeNhA 1");
        QTest::keyClick(w->fiSenha(), Qt::Key_Return);
        QVERIFY(w->loggedIn());
        QWidget* opened = fueling ? &w->frmLancamento : &w->frmRelarorios;
        QWidget* other = fueling ? &w->frmRelarorios : &w->frmLancamento;
        QWidget* control = w->control<QWidget>(clicked.toLatin1().constData());

        QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(3, 3));

        QVERIFY(opened->isVisible());
        QVERIFY(other->isHidden());
        QVERIFY(w->frmPrincipal.isVisible());

        // Open again after the user moved it: the same window, where the user left it.
        opened->move(opened->pos() + QPoint(40, 30));
        const QPoint moved = opened->pos();
        QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(3, 3));
        QVERIFY(opened->isVisible());
        QCOMPARE(opened->pos(), moved);
        QCOMPARE(messages.count(), 0);
    }

    void aboutOpensAsOneWindow() {
        const auto w = makeWindow();
        w->show();
        w->action("Sobre1")->trigger();
        QVERIFY(w->frmVersao.isVisible());
        QCOMPARE(w->frmVersao.frameGeometry().center(), w->frmPrincipal.frameGeometry().center());
        QVERIFY(w->pnLogin()->isVisible());

        w->frmVersao.move(w->frmVersao.pos() + QPoint(25, 15));
        const QPoint moved = w->frmVersao.pos();
        w->action("Sobre1")->trigger();
        QVERIFY(w->frmVersao.isVisible());
        QCOMPARE(w->frmVersao.pos(), moved);

        int aboutWindows = 0;
        for (QWidget* top : QApplication::topLevelWidgets())
            aboutWindows += qobject_cast<TfrmVersao*>(top) && top->isVisible() ? 1 : 0;
        QCOMPARE(aboutWindows, 1);
    }

    void aboutEmailLabelOpensTheSite() {
        const auto w = makeWindow();
        w->show();
        w->action("Sobre1")->trigger();
        QTest::mouseClick(w->frmVersao.findChild<QLabel*>("Label4"), Qt::LeftButton);
        QCOMPARE(shell.opened, QList<QUrl>{QUrl("http://www.korva.example")});
        QVERIFY(w->frmVersao.isVisible());
    }
};

QTEST_MAIN(tst_UntPrincipal)
#include "tst_UntPrincipal.moc"
