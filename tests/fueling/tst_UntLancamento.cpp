#include "fueling/UntLancamento.h"

#include "Doubles.h"
#include "ScriptedMessages.h"
#include "StandInScripts.h"
#include "TdsStandIn.h"
#include "TestDatabase.h"
#include "common/Clock.h"
#include "common/GuessLimiter.h"
#include "common/Shell.h"
#include "common/Station.h"
#include "common/WaitIndicator.h"
#include "db/UntConexao.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QJsonDocument>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QtTest>

#include <csignal>
#include <functional>
#include <memory>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {
using Icon = Messages::Icon;
const QString attention = QStringLiteral("Atenção!");
const QString success = QStringLiteral("Dados Gravados Com Sucesso!");
const QString question = QStringLiteral("Km total acima de 1.000 km, deseja continuar assim mesmo?");
const QDateTime moment(QDate(2024, 3, 15), QTime(10, 30));

// Records the wait window's visibility; `whileShown` runs while it is up, before the pending events.
class WaitDouble final : public WaitIndicator {
public:
    void showWait() override {
        ++shown;
        visible = true;
        if (whileShown)
            whileShown();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    void closeWait() override { visible = false; }
    int shown = 0;
    bool visible = false;
    std::function<void()> whileShown;
};

#ifdef Q_OS_UNIX
// Files may grow to `bytes` and no further: a write beyond fails as on a full disk.
void limitFileSize(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes < limit.rlim_max ? bytes : limit.rlim_max;
    setrlimit(RLIMIT_FSIZE, &limit);
}
#endif

// Client company 10 with its vehicles, fuels and drivers; station 5's agreed prices; fuelings stored earlier
// by station 9.
void seed(TestDatabase& db) {
    db.exec(
        "INSERT INTO Empresas (id, razao, cnpj) VALUES (10, 'Transportadora Exemplo Ltda', '12345678000195'),"
        " (20, 'Outra Empresa SA', '98765432000110')");
    db.exec("INSERT INTO VeiMarcas (ID, Marca) VALUES (1, 'Volvo')");
    db.exec("INSERT INTO VeiModelos (ID, Modelo) VALUES (1, 'FH 540')");
    db.exec("INSERT INTO VeiculosNovo (id, Placa, id_empresa, Codigo, CodUT, IDMarca, IDModelo) VALUES"
            " (100, 'ABC1D23', 10, '0042', 7, 1, 1), (101, 'XYZ9876', 10, '0043', 8, 1, 1),"
            " (102, 'DEF4567', 20, '0001', 9, 1, 1), (103, 'SEM1A11', 10, '0044', 10, 1, 1),"
            " (104, 'ORF2B22', 10, '0045', 11, 1, 1), (105, 'ARL1A23', 10, '0046', 12, 1, 1),"
            " (106, 'NUL0A00', 10, '0047', 13, 1, 1)");
    db.exec("INSERT INTO AdicionaisVeiculos (idVeiculo, CapTanque, RendMinimo, RendMaximo) VALUES"
            " (100, 100, 8, 14), (101, 100, NULL, NULL), (102, 100, 8, 14), (103, 100, 8, 14),"
            " (105, 20, 8, 14), (106, 100, 8, 14)");
    db.exec(
        "INSERT INTO TBItem (cd_item, descricao, id_empresa) VALUES (1, 'DIESEL S10', 10),"
        " (2, 'GASOLINA COMUM', 10), (3, 'ARLA 32', 10), (4, 'Arla 32 granel', 10), (5, 'DIESEL COMUM', 20)");
    db.exec("INSERT INTO VeiculoComb (id_veiculo, cd_item) VALUES (100, 1), (100, 2), (101, 1), (102, 1),"
            " (102, 5), (105, 3), (105, 4), (106, 1)");
    db.exec("INSERT INTO PostoItem (id_posto, cd_item, valor, margem) VALUES (5, 1, 5, 5), (5, 2, 6, NULL),"
            " (5, 3, 3.5, 2.5), (6, 1, 4, 0), (5, 5, 5.5, 0)");
    db.exec("INSERT INTO Motoristas (id_empresa, Codigo, nome, senha, Situacao) VALUES"
            " (10, 17, 'JOSE DA SILVA', '1234', 'A'), (10, 18, 'MARIA SOUZA', '5678', 'I'),"
            " (10, 21, 'ANA LIMA', '0042', 'A'), (10, 22, 'CARLOS MOTA', '1', 'a'),"
            " (10, 23, 'LUIZ PAZ', '1', ''), (10, 24, 'RITA REIS', '1', NULL), (20, 19, 'PEDRO ALVES', "
            "'5555', 'A')");
    db.exec("INSERT INTO ZeltoMov (IDVeiculo, DtEmissao, IDPosto, KmAtual) VALUES"
            " (100, '2024-03-01 08:00:00.000', 9, 1000), (100, '2024-02-01 08:00:00.000', 9, 800),"
            " (105, '2024-03-01 08:00:00.000', 9, 500), (106, '2024-03-01 08:00:00.000', 9, NULL)");
}

// What the attendant types, field by field.
struct Fueling {
    QString plate = QStringLiteral("ABC1D23");
    bool lookUp = true;
    int fuelSteps = 0; // Down presses on the fuel list after the lookup
    QString quantity = QStringLiteral("40");
    QString total = QStringLiteral("200");
    QString km = QStringLiteral("1500");
    QString matricula = QStringLiteral("17");
    QString senha = QStringLiteral("1234");
    QString plateAfter; // another plate looked up once everything else is typed

    Fueling with(QString Fueling::*field, const char* value) const {
        Fueling changed = *this;
        changed.*field = QString::fromUtf8(value);
        return changed;
    }
};

// What a showing of the window resets.
const QList<const char*> zeroedControls = {"fiQtde",    "fivlUni",  "fivlTotal",
                                           "fiConsumo", "fiMinimo", "fiMaximo"};
const QList<const char*> clearedControls = {"fiKmTotal", "fiKMAnt",   "fiKM",   "fiMatricula", "fiSenha",
                                            "fiNomeMot", "lbEmpresa", "lbCNPJ", "lbVeiculo"};

// One window on its own database, driven with keys and clicks as the attendant does.
class Rig {
public:
    explicit Rig(const QString& driver = QStringLiteral("QSQLITE")) : db(driver) {
        seed(db);
        window = std::make_unique<TfrmLancamento>(db.connection(), station, Services{messages, clock, shell},
                                                  wait, pinGuesses);
    }
    // The window on another connection (a server's), the test's own database unused.
    explicit Rig(TdmConexao& connection) {
        window = std::make_unique<TfrmLancamento>(connection, station, Services{messages, clock, shell}, wait,
                                                  pinGuesses);
    }

    bool open() {
        window->show();
        window->activateWindow();
        return QTest::qWaitForWindowActive(window.get());
    }

    template <typename T = QWidget> T* control(const QString& name) const {
        auto* found = window->findChild<T*>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }
    QLineEdit* edit(const QString& name) const { return control<QLineEdit>(name); }
    QComboBox* fuel() const { return control<QComboBox>(QStringLiteral("lkTipo")); }
    QString text(const QString& name) const {
        if (auto* label = window->findChild<QLabel*>(name))
            return label->text();
        return edit(name)->text();
    }
    QStringList texts() const {
        QStringList all;
        for (const auto& names : {zeroedControls, clearedControls})
            for (const char* name : names)
                all << text(QLatin1String(name));
        return all << window->placaText() << fuel()->currentText();
    }
    bool agreed() const { return !control(QStringLiteral("fiAcertado"))->isHidden(); }

    QString focused() const {
        const QWidget* widget = QApplication::focusWidget();
        return widget ? widget->objectName() : QString();
    }
    void focus(const char* name) { control(QLatin1String(name))->setFocus(Qt::TabFocusReason); }
    void type(const QString& text) { QTest::keyClicks(QApplication::focusWidget(), text); }
    void press(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }
    void enter(const QString& text) {
        type(text);
        press(Qt::Key_Return);
    }
    void lookUp(const QString& plate) {
        enter(plate);
        press(Qt::Key_Return);
    }

    void typeFueling(const Fueling& f) {
        enter(f.plate);
        press(f.lookUp ? Qt::Key_Return : Qt::Key_Tab);
        for (int step = 0; step < f.fuelSteps; ++step)
            QTest::keyClick(fuel(), Qt::Key_Down);
        if (focused() != QLatin1String("fiQtde"))
            focus("fiQtde");
        for (const QString& value : {f.quantity, f.total, f.km, f.matricula})
            enter(value);
        // A registration not found keeps the focus; the attendant then clicks Confirma.
        if (focused() == QLatin1String("fiSenha"))
            enter(f.senha);
        if (!f.plateAfter.isEmpty()) {
            edit(QStringLiteral("fiPlaca"))->clear();
            focus("fiPlaca");
            lookUp(f.plateAfter);
        }
    }

    // "Confirma": Enter when it has the focus, a click otherwise.
    void confirm() {
        if (focused() == QLatin1String("BitBtn1"))
            press(Qt::Key_Return);
        else
            QTest::mouseClick(control<QPushButton>(QStringLiteral("BitBtn1")), Qt::LeftButton);
    }

    int stored() const { return db.scalar("SELECT COUNT(*) FROM ZeltoMov WHERE IDPosto = 5").toInt(); }

    TestDatabase db;
    ScriptedMessages messages;
    FixedClock clock{moment};
    RecordingShell shell{false};
    WaitDouble wait;
    Station station{QStringLiteral("11222333000181"), 5};
    GuessLimiter pinGuesses;
    std::unique_ptr<TfrmLancamento> window;
};
} // namespace

Q_DECLARE_METATYPE(Fueling)
Q_DECLARE_METATYPE(Messages::Icon)

class TestLancamento final : public QObject {
    Q_OBJECT

private slots:
    void windowLooksAsDesigned();
    void consumptionCaptionsKeepClearOfTheirValues_data();
    void consumptionCaptionsKeepClearOfTheirValues();
    void showingResetsTheFueling();
    void keyboardMoves_data();
    void keyboardMoves();
    void inputRules();
    void plateReading_data();
    void plateReading();
    void plateLookup_data();
    void plateLookup();
    void fuelListAndAgreedPrice_data();
    void fuelListAndAgreedPrice();
    void agreedPriceAskedOfSqlServerByItemCode_data();
    void agreedPriceAskedOfSqlServerByItemCode();
    void derivedValues_data();
    void derivedValues();
    void badInputShowsTheGeneralReport_data();
    void badInputShowsTheGeneralReport();
    void driverCheck_data();
    void driverCheck();
    void confirmation_data();
    void confirmation();
    void wholeFuelingStoresTheRow_data();
    void wholeFuelingStoresTheRow();
    void zeroDistanceStoresZeroConsumption();
    void storeErrors_data();
    void storeErrors();
    void fastConfirmationsStoreOnce_data();
    void fastConfirmationsStoreOnce();
    void failedLookupLeavesNoVehicleToStore();
    void wrongPinsMakeTheNextTryWait();
    void failedOdometerLookupSpeaksForItself();
    void failedDriverLookupIsRepeated();
    void saveWorksOnceTheFileDoes();
    void saveOverTheServersLink_data();
    void saveOverTheServersLink();
    void databaseLostBetweenFuelings();
    void lookupsUseIndexes_data();
    void lookupsUseIndexes();
};

void TestLancamento::windowLooksAsDesigned() {
    Rig rig;
    QVERIFY(rig.open());
    TfrmLancamento& w = *rig.window;
    QCOMPARE(w.windowTitle(), QStringLiteral("Abastecimento"));
    QCOMPARE(w.size(), QSize(544, 517));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(w.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(w.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(w.palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(w.font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(w.font().pixelSize(), 11);
    QCOMPARE(rig.control("fiPlaca")->font().pixelSize(), 21);
    QCOMPARE(rig.control("lbEmpresa")->palette().color(QPalette::WindowText), QColor(Qt::blue));
    const QColor yellow(255, 255, 206);
    for (const char* panel : {"Panel2", "Panel3"})
        QCOMPARE(rig.control(QLatin1String(panel))->palette().color(QPalette::Window), yellow);
    for (const char* name : {"fivlUni", "fiVlPosto", "fiPercen", "fiKMAnt", "fiKmTotal", "fiNomeMot"}) {
        QLineEdit* field = rig.edit(QLatin1String(name));
        QVERIFY2(field->isReadOnly() && !(field->focusPolicy() & Qt::TabFocus), name);
        QCOMPARE(field->palette().color(QPalette::Base), yellow);
    }
    const QStringList captions = {"Label1",  "Placa",
                                  "Label2",  "Dados do Veículo/Empresa",
                                  "Label15", "Consumo Mínimo",
                                  "Label14", "Consumo Máximo",
                                  "Label13", "Consumo atual KM/LT",
                                  "Label7",  "Dados Cupom Fiscal",
                                  "Label3",  "Combustível",
                                  "Label4",  "Quantidade",
                                  "Label6",  "Unitário R$",
                                  "Label5",  "Total R$",
                                  "Label8",  "R$",
                                  "Label9",  "%",
                                  "Label10", "KM Atual",
                                  "Label11", "Matrícula",
                                  "Label12", "Senha"};
    for (int i = 0; i < captions.size(); i += 2)
        QCOMPARE(rig.text(captions.at(i)), captions.at(i + 1));
    QCOMPARE(rig.control<QPushButton>("BitBtn1")->text(), QStringLiteral("Confirma"));
    QCOMPARE(rig.control<QGroupBox>("fiAcertado")->title(), QStringLiteral("Acertado com o Posto"));
    QVERIFY(!rig.agreed());
    QCOMPARE(rig.focused(), QStringLiteral("fiPlaca"));
}

void TestLancamento::consumptionCaptionsKeepClearOfTheirValues_data() {
    QTest::addColumn<QString>("fontRule");
    QTest::newRow("the window's font") << QString();
    QTest::newRow("a wider family") << "QWidget { font-family: \"DejaVu Sans\"; }";
    QTest::newRow("a wider family, a pixel larger")
        << "QWidget { font-family: \"DejaVu Sans\"; font-size: 12px; }";
}

void TestLancamento::consumptionCaptionsKeepClearOfTheirValues() {
    QFETCH(QString, fontRule);
#ifdef Q_OS_WIN
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        QSKIP("On Windows the offscreen platform draws no real font: its stand-in glyphs make \"Consumo "
              "Mínimo\" 154 px wide, so no line of this window can be measured there (the Windows "
              "screenshots show the row)");
#endif
    Rig rig;
    rig.window->setStyleSheet(rig.window->styleSheet() + QLatin1Char('\n') + fontRule);
    QVERIFY(rig.open());
    const QList<std::pair<const char*, const char*>> pairs = {
        {"Label15", "fiMinimo"}, {"Label14", "fiMaximo"}, {"Label13", "fiConsumo"}};
    for (const auto& [captionName, valueName] : pairs)
        rig.control<QLabel>(QLatin1String(valueName))->setText(QStringLiteral("12,50"));
    // Laid out now, not when the event loop gets to it (under Wine it may not have by the checks below).
    if (QLayout* row = rig.control<QLabel>(QStringLiteral("Label15"))->parentWidget()->layout())
        row->activate();

    int end = -1;
    for (const auto& [captionName, valueName] : pairs) {
        const QLabel* caption = rig.control<QLabel>(QLatin1String(captionName));
        const QLabel* value = rig.control<QLabel>(QLatin1String(valueName));
        // Each text whole, with room between a caption and its value and before the next caption.
        QVERIFY2(caption->width() >= caption->sizeHint().width(), captionName);
        QVERIFY2(value->width() >= value->sizeHint().width(), valueName);
        QVERIFY2(caption->x() > end, captionName);
        QVERIFY2(value->x() >= caption->geometry().right() + 4, valueName);
        end = value->geometry().right();
        QVERIFY2(value->mapTo(rig.window.get(), QPoint(value->width(), 0)).x() <= rig.window->width(),
                 valueName);
    }
}

void TestLancamento::showingResetsTheFueling() {
    Rig rig;
    QVERIFY(rig.open());
    rig.typeFueling(Fueling{});
    rig.window->show();          // already shown: nothing is reset
    rig.window->showMinimized(); // nor does restoring it from the task bar
    rig.window->showNormal();
    QCoreApplication::processEvents();
    QCOMPARE(rig.window->placaText(), QStringLiteral("ABC1D23"));
    QCOMPARE(rig.text("fiKM"), QStringLiteral("1500"));
    QCOMPARE(rig.focused(), QStringLiteral("BitBtn1"));
    QVERIFY(rig.window->close()); // closing only hides
    QVERIFY(rig.window->isHidden());

    QVERIFY(rig.open());
    QCOMPARE(rig.edit("fiPlaca")->displayText(), QStringLiteral("   -    "));
    QCOMPARE(rig.window->placaText(), QString());
    QCOMPARE(rig.fuel()->count(), 0);
    QCOMPARE(rig.fuel()->currentText(), QString());
    for (const char* name : zeroedControls)
        QCOMPARE(rig.text(QLatin1String(name)), QStringLiteral("0,00"));
    for (const char* name : clearedControls)
        QCOMPARE(rig.text(QLatin1String(name)), QString());
    QVERIFY(!rig.agreed());
    QCOMPARE(rig.focused(), QStringLiteral("fiPlaca"));
    // The state fields and the agreed price carry over until the next lookups.
    const TfrmLancamento::StateFields state = rig.window->stateFields();
    QCOMPARE(state.iUT, 7);
    QCOMPARE(state.idVeiculo, 100.0);
    QCOMPARE(state.idEmpresa, 10.0);
    QCOMPARE(state.rCapacidade, 100.0);
    QCOMPARE(state.sSenha, QStringLiteral("1234"));
    QCOMPARE(rig.text("fiVlPosto"), QStringLiteral("5,00"));
    QCOMPARE(rig.text("fiPercen"), QStringLiteral("5"));
}

void TestLancamento::keyboardMoves_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("message");
    QTest::newRow("Enter in the plate goes to the search button")
        << "fiPlaca" << int(Qt::Key_Return) << "btPlaca"
        << "";
    QTest::newRow("Up in the plate wraps to Confirma") << "fiPlaca" << int(Qt::Key_Up) << "BitBtn1"
                                                       << "";
    QTest::newRow("Enter on the search button presses it") << "btPlaca" << int(Qt::Key_Return) << "fiPlaca"
                                                           << "Informe a Placa!";
    QTest::newRow("Enter in quantity skips the unit price") << "fiQtde" << int(Qt::Key_Return) << "fivlTotal"
                                                            << "";
    QTest::newRow("keypad Enter in quantity") << "fiQtde" << int(Qt::Key_Enter) << "fivlTotal"
                                              << "";
    QTest::newRow("Up in quantity goes to the fuel list") << "fiQtde" << int(Qt::Key_Up) << "lkTipo"
                                                          << "";
    QTest::newRow("Enter in total goes to the odometer") << "fivlTotal" << int(Qt::Key_Return) << "fiKM"
                                                         << "";
    QTest::newRow("Enter in the odometer") << "fiKM" << int(Qt::Key_Return) << "fiMatricula"
                                           << "";
    QTest::newRow("Up in the odometer goes back to total") << "fiKM" << int(Qt::Key_Up) << "fivlTotal"
                                                           << "";
    QTest::newRow("Enter in the registration") << "fiMatricula" << int(Qt::Key_Return) << "fiSenha"
                                               << "";
    QTest::newRow("Enter in the PIN goes to Confirma") << "fiSenha" << int(Qt::Key_Return) << "BitBtn1"
                                                       << "";
    QTest::newRow("Enter on Confirma presses it") << "BitBtn1" << int(Qt::Key_Return) << "fiPlaca"
                                                  << "Informe a placa do veículo!";
    QTest::newRow("other keys move nothing") << "fiQtde" << int(Qt::Key_Down) << "fiQtde"
                                             << "";
    QTest::newRow("Enter in the clicked unit price") << "fivlUni" << int(Qt::Key_Return) << "fivlTotal"
                                                     << "";
    QTest::newRow("Up in the clicked driver name") << "fiNomeMot" << int(Qt::Key_Up) << "fiMatricula"
                                                   << "";
}

void TestLancamento::keyboardMoves() {
    QFETCH(QString, from);
    QFETCH(int, key);
    QFETCH(QString, to);
    QFETCH(QString, message);
    Rig rig;
    QVERIFY(rig.open());
    rig.focus(from.toLatin1().constData());
    rig.press(Qt::Key(key));
    QCOMPARE(rig.focused(), to);
    QCOMPARE(rig.messages.count(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(rig.messages.last().text, message);
    // A line edit entered with the keyboard has its text selected: typing replaces "0,00".
    if (to == QLatin1String("fivlTotal")) {
        rig.type(QStringLiteral("7"));
        QCOMPARE(rig.text(to), QStringLiteral("7"));
    }
}

void TestLancamento::inputRules() {
    Rig rig;
    QVERIFY(rig.open());
    QLineEdit* km = rig.edit("fiKM");
    QTest::keyClicks(km, QStringLiteral("1x5"));
    for (const char* pasted : {"123456789", "12a"}) {
        QApplication::clipboard()->setText(QLatin1String(pasted));
        km->paste(); // refused whole: an odometer is never cut short
        QCOMPARE(km->text(), QStringLiteral("15"));
    }
    QTest::keyClicks(km, QStringLiteral("345678"));
    QCOMPARE(km->text(), QStringLiteral("1534567"));
    QTest::keyClicks(rig.edit("fiMatricula"), QStringLiteral("12a345"));
    QCOMPARE(rig.text("fiMatricula"), QStringLiteral("1234"));
    QLineEdit* pin = rig.edit("fiSenha");
    QTest::keyClicks(pin, QStringLiteral("12x34"));
    QCOMPARE(pin->text(), QStringLiteral("1234"));
    QCOMPARE(pin->displayText(), QStringLiteral("****"));
}

void TestLancamento::plateReading_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("read");
    QTest::newRow("current plate in lower case") << "abc1d23"
                                                 << "ABC-1D23"
                                                 << "ABC1D23";
    QTest::newRow("old plate") << "abc1234"
                               << "ABC-1234"
                               << "ABC1234";
    QTest::newRow("trailing blanks dropped") << "abc12"
                                             << "ABC-12  "
                                             << "ABC12";
    QTest::newRow("nothing typed") << ""
                                   << "   -    "
                                   << "";
    QTest::newRow("a digit typed first goes to the digit place") << "1a"
                                                                 << "   -1A  "
                                                                 << "   1A";
}

void TestLancamento::plateReading() {
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, read);
    Rig rig;
    QVERIFY(rig.open());
    rig.type(typed);
    QCOMPARE(rig.edit("fiPlaca")->displayText(), shown);
    QCOMPARE(rig.window->placaText(), read);
}

void TestLancamento::plateLookup_data() {
    QTest::addColumn<QString>("plate");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("shown"); // company, CNPJ, vehicle, minimum, maximum
    QTest::addColumn<QStringList>("fuels");
    const QStringList abc = {"Transportadora Exemplo Ltda", "CNPJ 12.345.678/0001-95",
                             "Veículo Cod. 0042 Marca Volvo Modelo FH 540 Capacidade 100 Litros", "8,00",
                             "14,00"};
    const QStringList diesel = {"DIESEL S10", "GASOLINA COMUM"};
    QTest::newRow("vehicle found") << "ABC1D23"
                                   << "" << abc << diesel;
    QTest::newRow("only the company's own items")
        << "DEF4567"
        << ""
        << QStringList{"Outra Empresa SA", "CNPJ 98.765.432/0001-10",
                       "Veículo Cod. 0001 Marca Volvo Modelo FH 540 Capacidade 100 Litros", "8,00", "14,00"}
        << QStringList{"DIESEL COMUM"};
    QTest::newRow("null limits")
        << "XYZ9876"
        << ""
        << QStringList{abc[0], abc[1], "Veículo Cod. 0043 Marca Volvo Modelo FH 540 Capacidade 100 Litros",
                       "0,00", "0,00"}
        << QStringList{"DIESEL S10"};
    // Nothing of the earlier vehicle stays once the plate is another or is not found.
    const QStringList none = {"", "", "", "0,00", "0,00"};
    QTest::newRow("empty plate") << ""
                                 << "Informe a Placa!" << none << QStringList();
    QTest::newRow("unknown plate") << "QQQ0A00"
                                   << "Placa não Localizada em nossos Cadastros!" << none << QStringList();
    QTest::newRow("vehicle without tank data")
        << "ORF2B22"
        << "Placa não Localizada em nossos Cadastros!" << none << QStringList();
}

void TestLancamento::plateLookup() {
    QFETCH(QString, plate);
    QFETCH(QString, message);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, fuels);
    Rig rig;
    QVERIFY(rig.open());
    rig.typeFueling(Fueling{});
    rig.edit("fiPlaca")->clear();
    rig.focus("fiPlaca");
    rig.lookUp(plate);

    QCOMPARE(rig.messages.count(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) {
        QCOMPARE(rig.messages.last().text, message);
        QCOMPARE(rig.messages.last().caption, attention);
        QCOMPARE(rig.messages.last().icon, Icon::Exclamation);
    }
    QCOMPARE(rig.focused(), message.isEmpty() ? QStringLiteral("fiQtde") : QStringLiteral("fiPlaca"));
    QCOMPARE((QStringList{rig.text("lbEmpresa"), rig.text("lbCNPJ"), rig.text("lbVeiculo"),
                          rig.text("fiMinimo"), rig.text("fiMaximo")}),
             shown);
    QStringList listed;
    for (int i = 0; i < rig.fuel()->count(); ++i)
        listed << rig.fuel()->itemText(i);
    QCOMPARE(listed, fuels);
    QCOMPARE(rig.fuel()->currentText(), fuels.value(0));
    QCOMPARE(rig.agreed(), message.isEmpty());
    if (!message.isEmpty()) // what came of the earlier vehicle goes, what was typed stays
        QCOMPARE(rig.texts().mid(0, 11) << rig.text("fiVlPosto") << rig.text("fiPercen"),
                 QStringList({"40,00", "0,00", "200,00", "0,00", "0,00", "0,00", "", "", "1500", "17", "1234",
                              "", ""}));
    if (message.isEmpty() && plate == QLatin1String("ABC1D23")) {
        const TfrmLancamento::StateFields state = rig.window->stateFields();
        QCOMPARE(state.iUT, 7);
        QCOMPARE(state.idVeiculo, 100.0);
        QCOMPARE(state.idEmpresa, 10.0);
        QCOMPARE(state.rCapacidade, 100.0);
        for (const char* typed : {"ABC1D2", "ABC1D23"}) // the same plate typed back brings nothing back
            rig.edit("fiPlaca")->setText(QLatin1String(typed));
        QCOMPARE(rig.text("lbEmpresa"), QString());
    }
}

void TestLancamento::fuelListAndAgreedPrice_data() {
    QTest::addColumn<QString>("plate");
    QTest::addColumn<int>("fuelSteps");
    QTest::addColumn<bool>("agreed");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("tolerance");
    QTest::newRow("first fuel preselected with its agreement") << "ABC1D23" << 0 << true << "5,00"
                                                               << "5";
    QTest::newRow("picked fuel agreed without tolerance") << "ABC1D23" << 1 << true << "6,00"
                                                          << "";
    QTest::newRow("fractional tolerance as read") << "ARL1A23" << 0 << true << "3,50"
                                                  << "2,5";
    QTest::newRow("no agreement hides and keeps the texts") << "ARL1A23" << 1 << false << "3,50"
                                                            << "2,5";
    QTest::newRow("another station's price does not count") << "XYZ9876" << 0 << true << "5,00"
                                                            << "5";
    QTest::newRow("vehicle without fuels") << "SEM1A11" << 0 << false << ""
                                           << "";
}

void TestLancamento::agreedPriceAskedOfSqlServerByItemCode_data() {
    QTest::addColumn<QString>("fuels"); // the rows of the vehicle's fuel list
    QTest::addColumn<QString>("type");  // the item code as the driver declared it
    QTest::addColumn<QJsonValue>("code");
    QTest::newRow("a fuel chosen: its code as the integer it is") << R"([[3, "DIESEL S10"]])"
                                                                  << "int" << QJsonValue(3);
    // SQL Server reads an empty text as 0, and an item 0 would then give its price.
    QTest::newRow("no fuel for the vehicle: NULL, which matches no item")
        << "[]"
        << "varchar(1)" << QJsonValue(QJsonValue::Null);
}

// The price lookup as SQL Server receives it through FreeTDS, on the wire of the TDS stand-in.
void TestLancamento::agreedPriceAskedOfSqlServerByItemCode() {
    QFETCH(QString, fuels);
    QFETCH(QString, type);
    QFETCH(QJsonValue, code);
    if (const QString why = TdsStandIn::unavailableReason(); !why.isEmpty())
        QSKIP(qPrintable(why));
    QJsonArray script = QJsonDocument::fromJson(QStringLiteral(R"js([
        {"match": "FROM VeiculoComb", "columns": [{"name": "cd_item", "type": "int"},
            {"name": "descricao", "type": "varchar(40)"}], "rows": %1},
        {"match": "FROM PostoItem", "columns": [{"name": "valor", "type": "float"},
            {"name": "margem", "type": "float"}], "rows": []}])js")
                                                    .arg(fuels)
                                                    .toUtf8())
                            .array();
    script.prepend(vehicleLookupRule());
    TdsStandIn server(script);
    TdmConexao connection(ConnectionSettings::sqlServer(server.login()));
    ScriptedMessages messages;
    FixedClock clock{moment};
    RecordingShell shell{false};
    WaitDouble wait;
    GuessLimiter pinGuesses;
    TfrmLancamento window(connection, Station{QStringLiteral("11222333000181"), 5},
                          Services{messages, clock, shell}, wait, pinGuesses);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("ABC1D23"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);

    const QList<QJsonObject> received = server.requests();
    const auto lookup = std::find_if(received.begin(), received.end(), [](const QJsonObject& r) {
        return r.value("statement").toString().contains(QLatin1String("FROM PostoItem")) &&
               !r.value("parameters").toArray().isEmpty();
    });
    QVERIFY2(lookup != received.end(), qPrintable(server.serverErrors()));
    const QJsonObject item = lookup->value("parameters").toArray().at(1).toObject();
    QCOMPARE(item.value("type").toString(), type);
    QCOMPARE(item.value("value"), code);
    QVERIFY(window.findChild<QWidget*>(QStringLiteral("fiAcertado"))->isHidden());
}

void TestLancamento::fuelListAndAgreedPrice() {
    QFETCH(QString, plate);
    QFETCH(int, fuelSteps);
    QFETCH(bool, agreed);
    QFETCH(QString, price);
    QFETCH(QString, tolerance);
    Rig rig;
    QVERIFY(rig.open());
    rig.lookUp(plate);
    for (int step = 0; step < fuelSteps; ++step) {
        rig.focus("lkTipo");
        rig.press(Qt::Key_Down); // a pick with the arrow keys looks the price up
    }
    QCOMPARE(rig.agreed(), agreed);
    QCOMPARE(rig.text("fiVlPosto"), price);
    QCOMPARE(rig.text("fiPercen"), tolerance);
    QCOMPARE(rig.focused(), agreed || fuelSteps == 0 ? QStringLiteral("fiQtde") : QStringLiteral("lkTipo"));

    // Setting the key from code selects its row and looks nothing up.
    const QString other =
        rig.window->lkTipoKeyValue() == QLatin1String("1") ? QStringLiteral("2") : QStringLiteral("1");
    rig.window->setLkTipoKeyValue(other);
    QCOMPARE(rig.agreed(), agreed);
    QCOMPARE(rig.text("fiVlPosto"), price);
    rig.window->setLkTipoKeyValue(QString());
    QCOMPARE(rig.fuel()->currentText(), QString());
}

void TestLancamento::derivedValues_data() {
    QTest::addColumn<Fueling>("fueling");
    QTest::addColumn<QStringList>("shown"); // quantity, total, unit price, previous km, distance, consumption
    const Fueling f;
    QTest::newRow("whole litres") << f << QStringList{"40,00", "200,00", "5,00", "1000", "500", "12,50"};
    QTest::newRow("comma decimals") << f.with(&Fueling::quantity, "45,3").with(&Fueling::total, "")
                                    << QStringList{"45,30", "0,00", "0,00", "1000", "500", "11,04"};
    QTest::newRow("a point is a thousands point")
        << f.with(&Fueling::quantity, "45.3")
        << QStringList{"453,00", "200,00", "0,44", "1000", "500", "1,10"};
    QTest::newRow("10 litres for 58,90") << f.with(&Fueling::quantity, "10").with(&Fueling::total, "58,90")
                                         << QStringList{"10,00", "58,90", "5,89", "1000", "500", "50,00"};
    QTest::newRow("3 litres for 10") << f.with(&Fueling::quantity, "3").with(&Fueling::total, "10")
                                     << QStringList{"3,00", "10,00", "3,33", "1000", "500", "166,67"};
    QTest::newRow("thousands in the total")
        << f.with(&Fueling::quantity, "200").with(&Fueling::total, "1178")
        << QStringList{"200,00", "1.178,00", "5,89", "1000", "500", "2,50"};
    QTest::newRow("emptied quantity") << f.with(&Fueling::quantity, "\b\b\b\b")
                                      << QStringList{"0,00", "200,00", "0,00", "1000", "500", "0,00"};
    QTest::newRow("odometer went back") << f.with(&Fueling::quantity, "50").with(&Fueling::km, "900")
                                        << QStringList{"50,00", "200,00", "4,00", "1000", "-100", "-2,00"};
    QTest::newRow("no earlier fueling") << f.with(&Fueling::plate, "XYZ9876").with(&Fueling::quantity, "50")
                                        << QStringList{"50,00", "200,00", "4,00", "0", "1500", "30,00"};
    QTest::newRow("odometer left empty")
        << f.with(&Fueling::km, "") << QStringList{"40,00", "200,00", "5,00", "1000", "", "0,00"};
    QTest::newRow("no distance") << f.with(&Fueling::km, "1000")
                                 << QStringList{"40,00", "200,00", "5,00", "1000", "0", "0,00"};
}

void TestLancamento::derivedValues() {
    QFETCH(Fueling, fueling);
    QFETCH(QStringList, shown);
    Rig rig;
    QVERIFY(rig.open());
    rig.typeFueling(fueling);
    QCOMPARE(rig.messages.count(), 0);
    QCOMPARE((QStringList{rig.text("fiQtde"), rig.text("fivlTotal"), rig.text("fivlUni"), rig.text("fiKMAnt"),
                          rig.text("fiKmTotal"), rig.text("fiConsumo")}),
             shown);

    // With the total at zero, leaving quantity keeps the last unit price.
    rig.edit("fivlTotal")->setText(QStringLiteral("0,00"));
    rig.focus("fiQtde");
    rig.enter(QStringLiteral("8"));
    QCOMPARE(rig.text("fivlUni"), shown.at(2));
}

void TestLancamento::badInputShowsTheGeneralReport_data() {
    QTest::addColumn<Fueling>("fueling");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("error");
    const Fueling f;
    QTest::newRow("letters in quantity") << f.with(&Fueling::quantity, "4O") << "fiQtde"
                                         << "4O"
                                         << "'4O' is not a valid floating point value.";
    QTest::newRow("lone comma in total") << f.with(&Fueling::total, ",") << "fivlTotal"
                                         << ","
                                         << "',' is not a valid floating point value.";
    QTest::newRow("earlier odometer is NULL") << f.with(&Fueling::plate, "NUL0A00") << "fiKM"
                                              << "1500"
                                              << "'' is not a valid integer value.";
}

void TestLancamento::badInputShowsTheGeneralReport() {
    QFETCH(Fueling, fueling);
    QFETCH(QString, field);
    QFETCH(QString, kept);
    QFETCH(QString, error);
    Rig rig;
    QVERIFY(rig.open());
    rig.typeFueling(fueling);
    QVERIFY(rig.messages.count() >= 1);
    QCOMPARE(rig.messages.boxes.first().text, error);
    QCOMPARE(rig.messages.boxes.first().caption, QStringLiteral("KORVAPosto"));
    QCOMPARE(rig.messages.boxes.first().icon, Icon::Error);
    QCOMPARE(rig.text(field), kept);
    rig.confirm();
    QCOMPARE(rig.stored(), 0);
    QVERIFY(rig.window->isVisible());
}

void TestLancamento::driverCheck_data() {
    QTest::addColumn<QString>("matricula");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pin");
    QTest::newRow("active driver") << "17"
                                   << "JOSE DA SILVA"
                                   << "1234";
    QTest::newRow("leading zeros") << "0017"
                                   << "JOSE DA SILVA"
                                   << "1234";
    QTest::newRow("blocked driver") << "18"
                                    << "MARIA SOUZA"
                                    << "BLOQUEADO";
    QTest::newRow("lower-case a blocks") << "22"
                                         << "CARLOS MOTA"
                                         << "BLOQUEADO";
    QTest::newRow("empty state blocks") << "23"
                                        << "LUIZ PAZ"
                                        << "BLOQUEADO";
    QTest::newRow("NULL state blocks") << "24"
                                       << "RITA REIS"
                                       << "BLOQUEADO";
    QTest::newRow("another company's driver clears the earlier one") << "19"
                                                                     << ""
                                                                     << "";
    QTest::newRow("empty registration looks nothing up") << ""
                                                         << "JOSE DA SILVA"
                                                         << "1234";
}

void TestLancamento::driverCheck() {
    QFETCH(QString, matricula);
    QFETCH(QString, name);
    QFETCH(QString, pin);
    Rig rig;
    QVERIFY(rig.open());
    rig.lookUp(QStringLiteral("ABC1D23"));
    rig.focus("fiMatricula");
    rig.enter(QStringLiteral("17"));
    rig.edit("fiMatricula")->clear();
    rig.focus("fiMatricula");
    rig.enter(matricula);

    const bool found = !name.isEmpty();
    QCOMPARE(rig.messages.count(), found ? 0 : 1);
    QCOMPARE(rig.text("fiNomeMot"), name);
    QCOMPARE(rig.window->stateFields().sSenha, pin);
    QCOMPARE(rig.focused(), found ? QStringLiteral("fiSenha") : QStringLiteral("fiMatricula"));
    if (!found) {
        QCOMPARE(rig.messages.last().text, QStringLiteral("Matrículo não cadastrada nesta Empresa!"));
        QCOMPARE(rig.messages.last().caption, attention);
        QCOMPARE(rig.messages.last().icon, Icon::Error);
    }
}

void TestLancamento::confirmation_data() {
    QTest::addColumn<Fueling>("fueling");
    QTest::addColumn<QStringList>("boxes"); // every box shown after the press, in order
    QTest::addColumn<Messages::Icon>("icon");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<bool>("yes"); // the answer to rule 10's question
    QTest::addColumn<QString>("detail");

    const auto refused = [](const char* name, const Fueling& f, const char* message, const char* focus,
                            const char* detail = nullptr, Icon icon = Icon::Exclamation) {
        QTest::newRow(name) << f << QStringList{QString::fromUtf8(message)} << icon
                            << QString::fromLatin1(focus) << true << QString::fromUtf8(detail);
    };
    const auto stores = [](const char* name, const Fueling& f) {
        QTest::newRow(name) << f << QStringList{success} << Icon::Exclamation << QString() << true
                            << QString();
    };
    const Fueling f;
    const char* const notSearched = "Placa não pesquisada! Pesquise a placa do veículo antes de confirmar.";
    const char* const notFound = "Matrículo não cadastrada nesta Empresa!";
    const char* const backwards = "Km Informado não pode ser menor que o ultimo km registrado no sistema!";
    const char* const overTank = "Quantidade abastecida não pode ser maior que a capacidade do tanque!";
    const char* const overPrice = "Valor Unitário maior do que o valor acertado com o Posto de Combustível!";
    const Fueling arla = f.with(&Fueling::plate, "ARL1A23");

    // Without a lookup the company is unknown: a registration typed would be reported as not found.
    Fueling typedOnly = f.with(&Fueling::matricula, "");
    typedOnly.lookUp = false;
    refused("rule 1: no plate", typedOnly.with(&Fueling::plate, ""), "Informe a placa do veículo!",
            "fiPlaca");
    refused("plate typed but never looked up", typedOnly, notSearched, "fiPlaca");
    refused("plate changed to one not found", f.with(&Fueling::plateAfter, "QQQ0A00"), notSearched,
            "fiPlaca");
    refused("rule 2: no fuel", f.with(&Fueling::plate, "SEM1A11"), "Informe o tipo de combustível!",
            "lkTipo");
    refused("rule 3: no quantity", f.with(&Fueling::quantity, ""), "Informe a Quantidade!", "fiQtde");
    refused("rule 4: no total", f.with(&Fueling::total, ""), "Informe o valor total abastecido!",
            "fivlTotal");
    refused("rule 6: no odometer", f.with(&Fueling::km, ""), "Obrigatório Informar o KM!", "fiKM");
    refused("rule 7: a centilitre over the tank",
            f.with(&Fueling::quantity, "100,01").with(&Fueling::total, "500"), overTank, "fiQtde",
            "Informado: 100,01 l · capacidade do tanque: 100 l");
    refused("rule 8: odometer went back, a digit missing", f.with(&Fueling::km, "900"), backwards, "fiKM",
            "Último km registrado: 1.000 · informado: 900 · distância: -100 km\nVocê quis dizer 1.900?");
    refused("rule 8: same odometer as before", f.with(&Fueling::km, "1000"), backwards, "fiKM",
            "Último km registrado: 1.000 · informado: 1.000 · distância: 0 km");
    refused("rule 9: zero on a first fueling", f.with(&Fueling::plate, "XYZ9876").with(&Fueling::km, "0"),
            "Km atual igual ao Ultimo km registrado! Lançamento já registrado", "fiKM");
    QTest::newRow("rule 10: No stays on the odometer, a digit too many")
        << f.with(&Fueling::km, "15000") << QStringList{question} << Icon::Error << "fiKM" << false
        << "Último km registrado: 1.000 · informado: 15.000 · distância: 14.000 km\nVocê quis dizer 1.500?";
    QTest::newRow("rule 10: Yes stores")
        << f.with(&Fueling::quantity, "80").with(&Fueling::total, "400").with(&Fueling::km, "2001")
        << QStringList{question, success} << Icon::Exclamation << "" << true << QString();
    refused("rule 11a: above the maximum", f.with(&Fueling::quantity, "20").with(&Fueling::total, "100"),
            "Rendimento consumo acima do máximo cadastrado para o veículo!", "BitBtn1",
            "Consumo calculado: 25,00 km/l · faixa do veículo: 8,00 a 14,00 km/l");
    refused("rule 11b: below the minimum", f.with(&Fueling::km, "1100"),
            "Rendimento consumo abaixo do mínimo estabelecido para este veículo!", "BitBtn1");
    refused("rule 12: no registration", f.with(&Fueling::matricula, ""),
            "Obrigatório Informar a Matrículo do Condutor!", "fiMatricula");
    QTest::newRow("driver never found")
        << f.with(&Fueling::matricula, "99") << QStringList{notFound, notFound} << Icon::Error
        << "fiMatricula" << true << QString();
    refused("driver found for another company than the vehicle's", // distance worked out again: 400
            f.with(&Fueling::km, "400").with(&Fueling::plateAfter, "DEF4567"), notFound, "fiMatricula",
            nullptr, Icon::Error);
    refused("rule 13: no PIN", f.with(&Fueling::senha, ""), "Obrigatório a Senha!", "fiSenha", "");
    refused("rule 14: blocked driver", f.with(&Fueling::matricula, "18").with(&Fueling::senha, "5678"),
            "Matrícula Bloqueada!", "fiMatricula",
            "Motorista MARIA SOUZA bloqueado no cadastro da empresa Transportadora Exemplo Ltda.");
    refused("rule 15: wrong PIN", f.with(&Fueling::senha, "4321"), "Senha Inválida!", "fiSenha", "");
    refused("rule 15: PIN without its leading zeros",
            f.with(&Fueling::matricula, "21").with(&Fueling::senha, "42"), "Senha Inválida!", "fiSenha");
    refused("rule 16: 5,26 over 5,00 with 5 %", f.with(&Fueling::total, "210,40"), overPrice, "fivlTotal",
            "Unitário: R$ 5,26 · acertado: R$ 5,00 + 5 % = R$ 5,25");
    Fueling gasoline = f.with(&Fueling::total, "240,40");
    gasoline.fuelSteps = 1;
    refused("rule 16: 6,01 over 6,00 with an empty tolerance", gasoline, overPrice, "fivlTotal");
    Fueling lowerArla = arla.with(&Fueling::quantity, "21").with(&Fueling::km, "700");
    lowerArla.fuelSteps = 1;
    refused("lower-case arla is checked like any fuel", lowerArla, overTank, "fiQtde");

    stores("quantity equal to the tank, distance of exactly 1000",
           f.with(&Fueling::quantity, "100").with(&Fueling::total, "500").with(&Fueling::km, "2000"));
    stores("consumption equal to the maximum", f.with(&Fueling::km, "1560"));
    stores("consumption equal to the minimum", f.with(&Fueling::km, "1320"));
    stores("5,25 with 5 % over 5,00", f.with(&Fueling::total, "210"));
    gasoline.total = QStringLiteral("240");
    stores("6,00 with an empty tolerance", gasoline);
    stores("upper-case ARLA skips tank, odometer and consumption",
           arla.with(&Fueling::total, "140").with(&Fueling::km, "100"));
    lowerArla = arla.with(&Fueling::quantity, "10").with(&Fueling::total, "999").with(&Fueling::km, "620");
    lowerArla.fuelSteps = 1;
    stores("no agreement lets any unit price pass", lowerArla);
}

void TestLancamento::confirmation() {
    QFETCH(Fueling, fueling);
    QFETCH(QStringList, boxes);
    QFETCH(Messages::Icon, icon);
    QFETCH(QString, focus);
    QFETCH(bool, yes);
    QFETCH(QString, detail);
    Rig rig;
    QVERIFY(rig.open());
    rig.typeFueling(fueling);
    rig.messages.clear();
    rig.messages.answerNext(yes ? Messages::Answer::Yes : Messages::Answer::No);
    rig.confirm();

    QStringList shown;
    for (const ScriptedMessages::Box& box : rig.messages.boxes) {
        shown << box.text;
        const bool asks = box.text == question;
        QCOMPARE(box.buttons, asks ? Messages::Buttons::YesNo : Messages::Buttons::Ok);
        QCOMPARE(box.caption, box.text == success ? QStringLiteral("Gravando Dados!") : attention);
        if (asks)
            QCOMPARE(box.icon, Icon::Error);
    }
    QCOMPARE(shown, boxes);
    QCOMPARE(rig.messages.last().icon, icon);
    if (!detail.isNull()) // the second line the row expects; an empty one for the PIN's rules
        QCOMPARE(rig.messages.last().detail, detail);
    const bool saved = boxes.last() == success;
    QCOMPARE(rig.stored(), saved ? 1 : 0);
    QCOMPARE(rig.wait.shown, saved ? 1 : 0);
    QCOMPARE(rig.window->isVisible(), !saved);
    if (!saved)
        QCOMPARE(rig.focused(), focus);
}

void TestLancamento::wholeFuelingStoresTheRow_data() {
    TestDatabase::addDriverRows();
}

void TestLancamento::wholeFuelingStoresTheRow() {
    QFETCH(QString, driver);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    Rig rig(driver);
    QVERIFY(rig.open());
    int storedWhileWaiting = -1;
    rig.wait.whileShown = [&] { storedWhileWaiting = rig.stored(); };
    bool waitClosedBeforeTheNews = false;
    rig.messages.onShow([&](const ScriptedMessages::Box&) { waitClosedBeforeTheNews = !rig.wait.visible; });
    rig.typeFueling(Fueling{});
    QCOMPARE(rig.focused(), QStringLiteral("BitBtn1"));
    rig.confirm();

    QCOMPARE(rig.messages.count(), 1);
    QCOMPARE(rig.messages.last().text, success);
    QCOMPARE(storedWhileWaiting, 0);
    QVERIFY(waitClosedBeforeTheNews);
    QVERIFY(rig.window->isHidden());
    const QList<QVariantMap> rows = rig.db.rows("SELECT * FROM ZeltoMov WHERE IDPosto = 5");
    QCOMPARE(rows.size(), 1);
    const QVariantMap row = rows.first();
    const QList<QPair<const char*, QVariant>> expected = {{"IDVeiculo", 100},
                                                          {"DtEmissao", "2024-03-15 10:30:00.000"},
                                                          {"NrCartao", ""},
                                                          {"IDPosto", 5},
                                                          {"IDMotorista", 17},
                                                          {"KmAnterior", 1000},
                                                          {"KmAtual", 1500},
                                                          {"KmTotal", 500},
                                                          {"Qtde", 40.0},
                                                          {"VrUnitario", 5.0},
                                                          {"VrTotal", 200.0},
                                                          {"cd_ut", 7},
                                                          {"TpCombustivel", "DIESEL S10"},
                                                          {"Rendimento", 12.5},
                                                          {"ChaveAcesso", ""},
                                                          {"Empresa", 4},
                                                          {"ID_EMPRESA", 10}};
    for (const auto& [column, value] : expected) {
        QVERIFY2(!row.value(QLatin1String(column)).isNull(), column);
        QCOMPARE(row.value(QLatin1String(column)).toString(), value.toString());
    }
    for (const char* column : {"NrCupom", "SeqZelto", "IntegradoAdd"})
        QVERIFY2(row.value(QLatin1String(column)).isNull(), column);
}

void TestLancamento::zeroDistanceStoresZeroConsumption() {
    Rig rig;
    QVERIFY(rig.open());
    rig.typeFueling(
        Fueling{}.with(&Fueling::plate, "ARL1A23").with(&Fueling::total, "140").with(&Fueling::km, "500"));
    QCOMPARE(rig.text("fiKmTotal"), QStringLiteral("0"));
    rig.confirm();
    const QList<QVariantMap> rows =
        rig.db.rows("SELECT Rendimento, TpCombustivel FROM ZeltoMov WHERE IDPosto = 5");
    QCOMPARE(rows.size(), 1);
    QVERIFY(!rows.first().value("Rendimento").isNull());
    QCOMPARE(rows.first().value("Rendimento").toDouble(), 0.0);
    QCOMPARE(rows.first().value("TpCombustivel").toString(), QStringLiteral("ARLA 32"));
}

void TestLancamento::storeErrors_data() {
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("cause");
    QTest::newRow("insert refused, QSQLITE") << "QSQLITE"
                                             << "insert"
                                             << "tabela bloqueada para manutenção";
    QTest::newRow("insert refused, QODBC") << "QODBC"
                                           << "insert"
                                           << "tabela bloqueada para manutenção";
    QTest::newRow("commit refused") << "QSQLITE"
                                    << "commit"
                                    << "FOREIGN KEY constraint failed";
    for (const char* driver : {"QSQLITE", "QODBC"})
        QTest::addRow("file cannot grow at commit, %s", driver) << driver << "disk full"
                                                                << "disk I/O error";
    QTest::newRow("no file can grow during the insert") << "QSQLITE"
                                                        << "disk full at once"
                                                        << "disk I/O error";
    QTest::newRow("reading fails before the transaction") << "QSQLITE"
                                                          << "reading"
                                                          << "'' is not a valid integer value";
}

void TestLancamento::storeErrors() {
    QFETCH(QString, driver);
    QFETCH(QString, fault);
    QFETCH(QString, cause);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    Rig rig(driver);
    if (fault == QLatin1String("insert"))
        rig.db.exec("CREATE TRIGGER trRefuse BEFORE INSERT ON ZeltoMov WHEN NEW.IDPosto = 5"
                    " BEGIN SELECT RAISE(ABORT, 'tabela bloqueada para manutenção'); END");
    if (fault == QLatin1String("commit")) {
        // A deferred foreign key is only checked when the transaction commits.
        rig.db.exec("CREATE TABLE Nowhere (id INTEGER PRIMARY KEY);"
                    " CREATE TABLE Guard (id INTEGER REFERENCES Nowhere (id) DEFERRABLE INITIALLY DEFERRED);"
                    " CREATE TRIGGER trRefuse AFTER INSERT ON ZeltoMov WHEN NEW.IDPosto = 5"
                    " BEGIN INSERT INTO Guard VALUES (1); END");
        bool enforced = false;
        rig.db.connection().withDatabase([&](QSqlDatabase& db) {
            enforced = QSqlQuery(db).exec(QStringLiteral("PRAGMA foreign_keys = ON"));
        });
        QVERIFY(enforced);
    }
    if (fault.startsWith(QLatin1String("disk full"))) {
#ifndef Q_OS_UNIX
        QSKIP("Windows has no per-process file size limit to make the disk look full");
#else
        // The row brings ballast that grows the file only when the transaction commits.
        rig.db.exec("CREATE TABLE Ballast (b BLOB); CREATE TRIGGER trRefuse AFTER INSERT ON ZeltoMov"
                    " WHEN NEW.IDPosto = 5 BEGIN INSERT INTO Ballast VALUES (zeroblob(200000)); END");
        const rlim_t grown = fault.endsWith(QLatin1String("at once")) ? 0 : 1;
        rig.wait.whileShown = [&rig, grown] {
            limitFileSize(rlim_t(QFileInfo(rig.db.path()).size()) * grown + 1);
        };
#endif
    }
    QVERIFY(rig.open());
    // ARLA asks for no odometer, but the store reads it, before any transaction begins.
    const Fueling arla = Fueling{}.with(&Fueling::plate, "ARL1A23").with(&Fueling::total, "140");
    rig.typeFueling(fault == QLatin1String("reading") ? arla.with(&Fueling::km, "") : Fueling{});
    const QStringList typed = rig.texts();
    rig.messages.clear();
    rig.confirm();
#ifdef Q_OS_UNIX
    limitFileSize(RLIM_INFINITY);
#endif
    rig.wait.whileShown = nullptr;

    QCOMPARE(rig.messages.count(), 1);
    const QString text = rig.messages.last().text;
    QVERIFY2(text.startsWith(QStringLiteral("Erro gravando dados! Erro ->")) &&
                 text.endsWith(QStringLiteral("<-")) && text.contains(cause),
             qPrintable(text));
    QCOMPARE(rig.messages.last().caption, QStringLiteral("Erro!"));
    QCOMPARE(rig.messages.last().icon, Icon::Error);
    QCOMPARE(rig.wait.shown, 1);
    QVERIFY(!rig.wait.visible);
    QVERIFY(!rig.db.connection().inTransaction());
    QCOMPARE(rig.stored(), 0);
    QVERIFY(rig.window->isVisible());
    QCOMPARE(rig.texts(), typed);
    if (fault == QLatin1String("reading"))
        return;

    // Once the fault is gone the next press stores the fueling, with its own time stamp.
    rig.db.exec("DROP TRIGGER trRefuse");
    rig.clock.moment = moment.addSecs(60);
    rig.confirm();
    QCOMPARE(rig.messages.last().text, success);
    QCOMPARE(rig.db.scalar("SELECT DtEmissao FROM ZeltoMov WHERE IDPosto = 5").toString(),
             QStringLiteral("2024-03-15 10:31:00.000"));
}

void TestLancamento::fastConfirmationsStoreOnce_data() {
    QTest::addColumn<bool>("whileWaiting");
    QTest::newRow("Enter and a click queued while the wait window shows") << true;
    QTest::newRow("Enter pressed again after the store") << false;
}

void TestLancamento::fastConfirmationsStoreOnce() {
    QFETCH(bool, whileWaiting);
    Rig rig;
    QVERIFY(rig.open());
    auto* confirma = rig.control<QPushButton>("BitBtn1");
    const auto pressAgain = [confirma] {
        QCoreApplication::postEvent(confirma,
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
        const QPointF centre = QRectF(confirma->rect()).center();
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            QCoreApplication::postEvent(confirma,
                                        new QMouseEvent(type, centre, confirma->mapToGlobal(centre),
                                                        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    };
    if (whileWaiting)
        rig.wait.whileShown = [&] {
            if (rig.wait.shown == 1)
                pressAgain();
        };
    rig.typeFueling(Fueling{});
    rig.confirm();
    if (!whileWaiting)
        pressAgain();
    QCoreApplication::processEvents();
    QCOMPARE(rig.stored(), 1);
    QCOMPARE(rig.wait.shown, 1);
}

void TestLancamento::failedLookupLeavesNoVehicleToStore() {
    Rig rig;
    QVERIFY(rig.open());
    rig.typeFueling(Fueling{});
    // The vehicle row is read, its fuels are not: the lookup stops half way.
    rig.db.exec("ALTER TABLE VeiculoComb RENAME TO VeiculoCombAway");
    rig.edit("fiPlaca")->clear();
    rig.focus("fiPlaca");
    rig.lookUp(QStringLiteral("DEF4567"));
    QCOMPARE(rig.messages.last().caption, QStringLiteral("KORVAPosto"));
    QCOMPARE(rig.window->stateFields().idVeiculo, 102.0);
    rig.db.exec("ALTER TABLE VeiculoCombAway RENAME TO VeiculoComb");

    // Typing the earlier plate back does not make the half-read vehicle its own.
    rig.edit("fiPlaca")->clear();
    rig.focus("fiPlaca");
    rig.type(QStringLiteral("ABC1D23"));
    rig.confirm();
    QCOMPARE(rig.messages.last().text,
             QStringLiteral("Placa não pesquisada! Pesquise a placa do veículo antes de confirmar."));
    QCOMPARE(rig.stored(), 0);
}

void TestLancamento::wrongPinsMakeTheNextTryWait() {
    Rig rig;
    QVERIFY(rig.open());
    const Fueling wrongPin = Fueling{}.with(&Fueling::senha, "4321");
    rig.typeFueling(wrongPin);
    for (const int wait : {0, 0, 2, 4, 8, 16, 32, 60, 60}) {
        rig.confirm();
        QCOMPARE(rig.messages.last().detail,
                 wait ? QStringLiteral("Aguarde %1 s para tentar de novo.").arg(wait) : QString());
        if (wait == 60) { // the count and the wait are the driver's for the run, not the window's showing
            QVERIFY(rig.window->close() && rig.open());
            rig.typeFueling(wrongPin);
        }
        rig.clock.pass(wait * 1000 - 1);
        QCOMPARE(rig.control("BitBtn1")->isEnabled(), wait == 0);
        rig.clock.pass(1);
    }
    rig.edit("fiSenha")->setText(QStringLiteral("1234")); // the right PIN starts the count again
    rig.confirm();
    QVERIFY(rig.open());
    rig.typeFueling(wrongPin.with(&Fueling::km, "1900"));
    for (int i = 0; i < 3; ++i)
        rig.confirm();
    QCOMPARE(rig.messages.last().detail, QStringLiteral("Aguarde 2 s para tentar de novo."));
}

void TestLancamento::failedOdometerLookupSpeaksForItself() {
    Rig rig;
    QVERIFY(rig.open());
    rig.lookUp(QStringLiteral("ABC1D23"));
    rig.enter(QStringLiteral("40"));
    rig.db.exec("ALTER TABLE ZeltoMov RENAME TO ZeltoMovAway");
    for (const char* typed : {"200", "1500"}) // into the odometer, whose previous reading cannot be fetched
        rig.enter(QString::fromLatin1(typed));
    rig.confirm();
    QCOMPARE(rig.messages.count(), 3);
    for (const ScriptedMessages::Box& box : std::as_const(rig.messages.boxes))
        QVERIFY2(box.text.startsWith(QStringLiteral("no such table: ZeltoMov")), qPrintable(box.text));
}

void TestLancamento::databaseLostBetweenFuelings() {
#ifdef Q_OS_WIN
    QSKIP("Windows does not let a file that is open elsewhere be moved away, so it cannot be lost this way");
#endif
    Rig rig;
    QVERIFY(rig.open());
    rig.typeFueling(Fueling{});
    rig.confirm();
    QCOMPARE(rig.stored(), 1);

    const QString file = rig.db.path();
    rig.db.connection().close();
    QVERIFY(QFile::rename(file, file + QStringLiteral(".away")));
    QVERIFY(QDir().mkdir(file)); // nothing that opens as a database

    QVERIFY(rig.open());
    rig.messages.clear();
    rig.lookUp(QStringLiteral("ABC1D23"));
    QCOMPARE(rig.messages.count(), 1);
    QCOMPARE(rig.messages.last().caption, QStringLiteral("KORVAPosto"));
    QCOMPARE(rig.messages.last().icon, Icon::Error);
    QCOMPARE(rig.text("lbEmpresa"), QString());

    QVERIFY(QDir().rmdir(file));
    QVERIFY(QFile::rename(file + QStringLiteral(".away"), file));
    rig.press(Qt::Key_Return);
    QCOMPARE(rig.messages.count(), 1);
    QCOMPARE(rig.text("lbEmpresa"), QStringLiteral("Transportadora Exemplo Ltda"));
    QCOMPARE(rig.focused(), QStringLiteral("fiQtde"));
}

void TestLancamento::lookupsUseIndexes_data() {
    QTest::addColumn<QString>("lookup");
    QTest::newRow("plate lookup") << "FROM VeiculosNovo";
    QTest::newRow("fuel list") << "FROM VeiculoComb";
    QTest::newRow("agreed price") << "FROM PostoItem";
    QTest::newRow("previous odometer") << "FROM ZeltoMov";
    QTest::newRow("driver check") << "FROM Motoristas";
}

void TestLancamento::lookupsUseIndexes() {
    QFETCH(QString, lookup);
    Rig rig;
    QVERIFY(rig.open());
    // Each statement as the window sent it: the last one its query holds after the step that runs it.
    QStringList sent;
    rig.lookUp(QStringLiteral("QQQ0A00"));
    sent << rig.window->generalQuery().sqlText();
    rig.edit("fiPlaca")->clear();
    rig.focus("fiPlaca");
    rig.lookUp(QStringLiteral("ABC1D23"));
    sent << rig.window->fuelQuery().sqlText() << rig.window->generalQuery().sqlText();
    rig.focus("fiKM");
    sent << rig.window->generalQuery().sqlText();
    rig.focus("fiMatricula");
    rig.enter(QStringLiteral("17"));
    sent << rig.window->generalQuery().sqlText();
    const auto statement =
        std::find_if(sent.cbegin(), sent.cend(), [&](const QString& s) { return s.contains(lookup); });
    QVERIFY(statement != sent.cend());

    const QStringList steps = rig.db.queryPlan(statement->split(QStringLiteral("\r\n")));
    QVERIFY(!steps.isEmpty());
    const QRegularExpression fullScan(QStringLiteral("^SCAN (TABLE )?\\w+(?!.*USING (COVERING )?INDEX)"));
    for (const QString& step : steps)
        QVERIFY2(!fullScan.match(step).hasMatch(), qPrintable(steps.join(QStringLiteral(" | "))));
}

void TestLancamento::failedDriverLookupIsRepeated() {
    Rig rig;
    QVERIFY(rig.open());
    Fueling fueling;
    fueling.matricula.clear();
    rig.typeFueling(fueling);
    rig.focus("fiMatricula");
    rig.db.exec("ALTER TABLE Motoristas RENAME TO MotoristasAway");
    rig.enter(QStringLiteral("17")); // leaving it: the lookup fails
    rig.db.exec("ALTER TABLE MotoristasAway RENAME TO Motoristas");
    rig.focus("fiSenha");
    rig.type(QStringLiteral("1234"));
    rig.messages.clear();
    rig.confirm();
    QCOMPARE(rig.messages.count(), 1);
    QCOMPARE(rig.messages.last().text, QStringLiteral("Dados Gravados Com Sucesso!"));
    QCOMPARE(rig.stored(), 1);
}

// The embedded file read-only when the connection opened (a copy being restored, a share mounted read-only),
// writable later: the failed save reopens the connection, so the next one works without a restart.
void TestLancamento::saveWorksOnceTheFileDoes() {
#ifdef Q_OS_WIN
    QSKIP("the immutable flag is Linux's");
#else
    Rig rig;
    const QString file = rig.db.path();
    // chattr's immutable flag refuses writes even to root, whom file modes don't stop.
    if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), file}) != 0)
        QSKIP("chattr +i is not allowed here");
    const auto writable = qScopeGuard([&] {
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), file});
    });
    rig.db.connection().close();
    QVERIFY(rig.open());
    rig.typeFueling(Fueling{});
    rig.confirm();
    QCOMPARE(rig.messages.count(), 1);
    QVERIFY2(rig.messages.last().text.contains(QStringLiteral("readonly")),
             qPrintable(rig.messages.last().text));

    QCOMPARE(QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), file}), 0);
    rig.confirm();
    QCOMPARE(rig.messages.count(), 2);
    QCOMPARE(rig.messages.last().text, QStringLiteral("Dados Gravados Com Sucesso!"));
    QCOMPARE(rig.stored(), 1);
#endif
}

void TestLancamento::saveOverTheServersLink_data() {
    QTest::addColumn<QString>("rules");     // the server's answers ahead of the lookups'
    QTest::addColumn<int>("presses");       // of "Confirma"
    QTest::addColumn<bool>("cancel");       // "Cancelar" pressed once the wait sign shows
    QTest::addColumn<QStringList>("boxes"); // the start of each box's text
    QTest::addColumn<int>("stored");        // rows the server committed
    const QString found = R"({"match": "SELECT COUNT", "columns": [{"name": "Gravados", "type": "int"}],
                              "rows": [[%1]]},)";
    const QString failed = QStringLiteral("Erro gravando dados! Erro ->");
    const QString success = QStringLiteral("Dados Gravados Com Sucesso!");
    // After a deadlock the server has rolled back by itself; the driver's own roll-back then fails (3903).
    QTest::newRow("deadlock victim, then a good save: one row, one success")
        << R"({"match": "INSERT", "nth": 1, "error": {"number": 1205, "class": 13, "message":
              "Transaction was deadlocked on lock resources with another process"}},)"
        << 2 << false << QStringList{failed, success} << 1;
    QTest::newRow("link lost before the server commits: no row, the failure")
        << R"({"kind": "tm", "match": "COMMIT", "close": true},)" + found.arg(0) << 1 << false
        << QStringList{failed} << 0;
    QTest::newRow("link lost once the server committed: its row, the success")
        << R"({"kind": "tm", "match": "COMMIT", "close_after": true},)" + found.arg(1) << 1 << false
        << QStringList{success} << 1;
    QTest::newRow("server silent at COMMIT: the time-out, then the row looked for")
        << R"({"kind": "tm", "match": "COMMIT", "delay": 20},)" + found.arg(0) << 1 << false
        << QStringList{failed + QStringLiteral("O banco de dados não respondeu à confirmação da gravação em "
                                               "2 segundos.")}
        << 0;
    QTest::newRow("server gone after the INSERT: the outcome unknown, the fueling kept")
        << R"({"kind": "tm", "match": "COMMIT", "close": true}, {"match": "SELECT COUNT", "close": true},)"
        << 1 << false << QStringList{QStringLiteral("Não foi possível saber se o abastecimento foi gravado")}
        << 0;
    QTest::newRow("confirmed again once the server is back: the row found, not sent twice")
        << R"({"kind": "tm", "match": "COMMIT", "close_after": true},
              {"match": "SELECT COUNT", "nth": 1, "close": true},)" +
               found.arg(1)
        << 2 << false << QStringList{QStringLiteral("Não foi possível saber"), success} << 1;
    QTest::newRow("Cancelar during a slow INSERT: nothing stored, the cancellation")
        << R"({"match": "INSERT", "delay": 20},)" + found.arg(0) << 1 << true
        << QStringList{failed + QStringLiteral("Operação cancelada.<-")} << 0;
}

// The save on the wire of the TDS stand-in, through FreeTDS: one confirmation is one row or none, and the
// message says which.
void TestLancamento::saveOverTheServersLink() {
    QFETCH(QString, rules);
    QFETCH(int, presses);
    QFETCH(bool, cancel);
    QFETCH(QStringList, boxes);
    QFETCH(int, stored);
    if (const QString why = TdsStandIn::unavailableReason(); !why.isEmpty())
        QSKIP(qPrintable(why));
    const QString script =
        QStringLiteral("[") + rules +
        QString::fromUtf8(QJsonDocument(vehicleLookupRule(8, 14)).toJson(QJsonDocument::Compact)) +
        QStringLiteral(R"js(,
        {"match": "FROM VeiculoComb", "columns": [{"name": "cd_item", "type": "int"},
            {"name": "descricao", "type": "varchar(40)"}], "rows": [[1, "DIESEL S10"]]},
        {"match": "FROM PostoItem", "columns": [{"name": "valor", "type": "float"},
            {"name": "margem", "type": "float"}], "rows": []},
        {"match": "INSERT", "rowcount": 1},
        {"match": "KmAtual", "columns": [{"name": "KmAtual", "type": "int"}], "rows": [[1000]]},
        {"match": "FROM Motoristas", "columns": [{"name": "nome", "type": "varchar(40)"},
            {"name": "senha", "type": "varchar(10)"}, {"name": "Situacao", "type": "varchar(1)"}],
         "rows": [["JOSE DA SILVA", "1234", "A"]]}])js");
    TdsStandIn server(script.toUtf8());
    DatabaseTimeouts timeouts;
    timeouts.statementSeconds = cancel ? 30 : 2;
    TdmConexao connection(ConnectionSettings::sqlServer(server.login(), timeouts));
    CancellingWait sign(cancel);
    connection.setWaitPresenter(&sign);
    Rig rig(connection);
    QVERIFY(rig.open());
    rig.typeFueling(Fueling{});
    for (int press = 0; press < presses; ++press)
        rig.confirm();

    QCOMPARE(rig.messages.count(), boxes.size());
    for (int i = 0; i < boxes.size(); ++i)
        QVERIFY2(rig.messages.boxes.at(i).text.startsWith(boxes.at(i)),
                 qPrintable(rig.messages.boxes.at(i).text));
    int committed = 0;
    for (const QJsonObject& request : server.requests())
        if (request.value("kind").toString() == QLatin1String("stored"))
            committed += request.value("rows").toInt();
    QCOMPARE(committed, stored);
    QCOMPARE(rig.window->isVisible(), stored == 0);
    if (stored == 0)
        QCOMPARE(rig.window->placaText(), QStringLiteral("ABC1D23"));
}

QTEST_MAIN(TestLancamento)
#include "tst_UntLancamento.moc"
