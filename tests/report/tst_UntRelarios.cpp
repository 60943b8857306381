#include "ReportFixture.h"

#include "common/GuessLimiter.h"
#include "common/WaitIndicator.h"
#include "fueling/UntLancamento.h"
#include "report/QueryTableModel.h"
#include "report/ReportImages.h"
#include "report/UntPesqEmpresas.h"
#include "report/UntRelarios.h"

#include <QButtonGroup>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

using namespace fixture;

namespace {
enum Tipo { Lancado = 0, Validado = 1, Faturado = 2, Todos = 3 };
const char* const tipoNames[] = {"tipoLancado", "tipoValidado", "tipoFaturado", "tipoTodos"};

const QString chaveC = QStringLiteral("35240312345678000190650010000012341000012340");
const QString chaveF = QStringLiteral("35240312345678000190650010000056781000056780");

// The report window, with the search window it opens, on a database of the station's clients.
struct ReportWindow {
    explicit ReportWindow(const QString& driver, bool realDesktop = false) : db(driver) {
        addClients(db);
        search =
            std::make_unique<TfrmPesqEmpresas>(db.connection(), station, Services{messages, clock, shell});
        window = std::make_unique<TfrmRelarorios>(
            db.connection(), station,
            Services{messages, clock, realDesktop ? static_cast<Shell&>(desktop) : shell}, *search);
        window->setExportFolder(exportFolder.path());
    }
    void show() {
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    template <typename T> T* control(const char* name) const {
        T* found = window->findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("No control %s", name);
        return found;
    }
    QLineEdit* code() const { return control<QLineEdit>("ficd_empresa"); }
    QLineEdit* name() const { return control<QLineEdit>("fiNomeEmpresa"); }
    QLineEdit* qtde() const { return control<QLineEdit>("fiQtde"); }
    QLineEdit* total() const { return control<QLineEdit>("fivlTotal"); }
    QTableView* grid() const { return control<QTableView>("DBGrid1"); }
    QTableView* summary() const { return control<QTableView>("DBGrid2"); }
    QStringList emissoes() const { return columnTexts(*grid(), 2); }
    QStringList summaryRows() const {
        QStringList rows = rowTexts(*summary());
        rows.sort();
        return rows;
    }
    void choose(Tipo tipo) const { control<QRadioButton>(tipoNames[tipo])->setChecked(true); }
    void run(const QString& client, Tipo tipo, const QDate& from = today, const QDate& to = today) const {
        code()->setText(client);
        choose(tipo);
        control<QDateEdit>("fiDtaIni")->setDate(from);
        control<QDateEdit>("fiDtaFim")->setDate(to);
        control<QPushButton>("btExecutar")->click();
    }
    void exportReport() const { control<QPushButton>("btExportar")->click(); }

    TestDatabase db;
    ScriptedMessages messages;
    FixedClock clock{QDateTime(today, QTime(10, 0))};
    RecordingShell shell;
    DesktopShell desktop;
    QTemporaryDir exportFolder;
    std::unique_ptr<TfrmPesqEmpresas> search;
    std::unique_ptr<TfrmRelarorios> window;
};

QString at(const QTime& time, const QDate& day = today) {
    return QDateTime(day, time).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

// Client 10's fuelings of the day in every status, and some that its report never lists.
void addStatusFuelings(TestDatabase& db) {
    addFueling(db, 100, at(QTime(8, 0)), 40.5, 238.55, QStringLiteral("DIESEL S10")); // registered only
    addFueling(db, 100, at(QTime(9, 0)), 30, 179.70, QStringLiteral("GASOLINA COMUM"), 77);
    setStatus(db, QStringLiteral("'35240312345678000190650010000099991000099990'"), QStringLiteral("'N'"));
    addFueling(db, 101, at(QTime(10, 0)), 200, 1234.50, QStringLiteral("DIESEL S10"));
    setStatus(db, QLatin1Char('\'') + chaveC + QLatin1Char('\''), QStringLiteral("'S'"));
    addFueling(db, 100, at(QTime(11, 0)), 10, 59.90, QStringLiteral("GASOLINA COMUM"));
    setStatus(db, QStringLiteral("NULL"), QStringLiteral("NULL"));
    addFueling(db, 100, at(QTime(12, 0)), 20, 117.80, QStringLiteral("DIESEL S10"));
    setStatus(db, QStringLiteral("NULL"), QStringLiteral("'S'"));
    addFueling(db, 100, at(QTime(13, 0)), 5, 29.95, QStringLiteral("GASOLINA COMUM"));
    setStatus(db, QLatin1Char('\'') + chaveF + QLatin1Char('\''), QStringLiteral("NULL"));
    // A vehicle sold since: out of the list, still in the summary.
    db.exec(QStringLiteral(
        "INSERT INTO VeiculosNovo (id, Placa, id_empresa, Codigo) VALUES (102, 'OLD0001', 10, 'X')"));
    addFueling(db, 102, at(QTime(14, 0)), 12, 45.60, QStringLiteral("ARLA 32"));
    db.exec(QStringLiteral("DELETE FROM VeiculosNovo WHERE id = 102"));
    // Never in this report: another day, another client, another program's row.
    addFueling(db, 100, at(QTime(14, 0), today.addDays(-1)), 100, 600, QStringLiteral("DIESEL S10"));
    addFueling(db, 110, at(QTime(15, 0)), 100, 600, QStringLiteral("DIESEL S10"));
    addFueling(db, 100, at(QTime(16, 0)), 100, 600, QStringLiteral("DIESEL S10"));
    db.exec(QStringLiteral("UPDATE ZeltoMov SET Empresa = 3 WHERE ID = (SELECT MAX(ID) FROM ZeltoMov)"));
}

const QStringList fullSummary{QStringLiteral("ARLA 32|12,00|3,80|45,60"),
                              QStringLiteral("DIESEL S10|260,50|6,11|1.590,85"),
                              QStringLiteral("GASOLINA COMUM|45,00|5,99|269,55")};
const QString reportTitles =
    QStringLiteral("FT|VL|Emissao|Placa|Codigo|Cod.Mot.|Nome Motorista|Qtde|Valor UN|"
                   "Valor Total|Combustivel|Nr. Cupom|Chave Acesso");

bool samePicture(const QVariant& shown, const QPixmap& expected) {
    return shown.canConvert<QPixmap>() && shown.value<QPixmap>().toImage() == expected.toImage();
}
} // namespace

namespace {
class NoWait final : public WaitIndicator {
public:
    void showWait() override { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }
    void closeWait() override {}
};

// What the fueling window needs besides the clients: the vehicle's make, model and tank, its fuel with the
// price agreed with the station, and a fueling of it at another station earlier (the previous odometer).
void addFuelingCatalogue(TestDatabase& db) {
    db.exec(QStringLiteral(R"(
INSERT INTO VeiMarcas (ID, Marca) VALUES (1, 'Volvo');
INSERT INTO VeiModelos (ID, Modelo) VALUES (1, 'FH 540');
INSERT INTO AdicionaisVeiculos (idVeiculo, CapTanque, RendMinimo, RendMaximo) VALUES (100, 300, 2, 14);
INSERT INTO TBItem (cd_item, descricao, id_empresa) VALUES (1, 'DIESEL S10', 10);
INSERT INTO VeiculoComb (id_veiculo, cd_item) VALUES (100, 1);
INSERT INTO PostoItem (id_posto, cd_item, valor, margem) VALUES (7, 1, 5.9, 5);
INSERT INTO ZeltoMov (IDVeiculo, DtEmissao, IDPosto, KmAtual, Empresa, Qtde, VrTotal, TpCombustivel)
    VALUES (100, '2024-03-14 08:00:00.000', 9, 1000, 4, 50, 295, 'DIESEL S10');
)"));
}
} // namespace

class tst_UntRelarios : public QObject {
    Q_OBJECT

private slots:
    void windowAsCreated();
    void reportGridColumns_data();
    void reportGridColumns();
    void showingAgainResetsTheSelection();
    void clientCodeCheckedOnLeaving_data();
    void clientCodeCheckedOnLeaving();
    void clientPickedInTheSearchWindow_data();
    void clientPickedInTheSearchWindow();
    void runNeedsAClientCode();
    void statusFilterChangesListAndTotalsNotSummary_data();
    void statusFilterChangesListAndTotalsNotSummary();
    void listedRowsReadAcross_data();
    void listedRowsReadAcross();
    void periodBoundsAreWholeDays_data();
    void periodBoundsAreWholeDays();
    void statusMarks_data();
    void statusMarks();
    void numbersInTheBrazilianForm_data();
    void numbersInTheBrazilianForm();
    void fuelSummingToZeroQuantityKeepsTheSummary_data();
    void fuelSummingToZeroQuantityKeepsTheSummary();
    void runShowsTheWaitSign();
    void failedRunRestoresTheWindow_data();
    void failedRunRestoresTheWindow();
    void failedSummaryKeepsTheListAndTotals_data();
    void failedSummaryKeepsTheListAndTotals();
    void closedConnectionIsReopenedByTheRun();
    void exportWritesATypedWorkbook_data();
    void exportWritesATypedWorkbook();
    void exportOfAnEmptyRunHasTheTitlesOnly();
    void exportWithoutAResultOpensNothing();
    void exportToAnUnwritableFolderLeavesNothing_data();
    void exportToAnUnwritableFolderLeavesNothing();
    void exportTellsWhenNoProgramOpensTheWorkbook_data();
    void exportTellsWhenNoProgramOpensTheWorkbook();
    void longExportKeepsTheInterfaceAliveAndRunsOnce_data();
    void longExportKeepsTheInterfaceAliveAndRunsOnce();
    void fuelingStoredByTheFuelingWindowIsReported_data();
    void fuelingStoredByTheFuelingWindowIsReported();
};

void tst_UntRelarios::windowAsCreated() {
    ReportWindow report(QStringLiteral("QSQLITE"));
    TfrmRelarorios& window = *report.window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Relarorio Abastecimentos"));
    QCOMPARE(window.size(), QSize(908, 552));
    QVERIFY(window.isWindow());
    QCOMPARE(report.control<QLabel>("Label1")->text(), QStringLiteral("Cliente"));
    QCOMPARE(report.control<QGroupBox>("GroupBox1")->title(), QStringLiteral("Período"));
    QCOMPARE(report.control<QLabel>("Label6")->text(), QStringLiteral("à"));
    QCOMPARE(report.control<QDateEdit>("fiDtaIni")->displayFormat(), QStringLiteral("dd/MM/yyyy"));
    QVERIFY(report.control<QDateEdit>("fiDtaFim")->calendarPopup());
    QCOMPARE(report.control<QGroupBox>("fiTipo")->title(), QStringLiteral("Tipo"));
    const QStringList items{"Lançado Abastecimento", "Validado Cupom", "Faturado", "Todos"};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(report.control<QRadioButton>(tipoNames[i])->text(), items.at(i));
        QCOMPARE(report.control<QRadioButton>(tipoNames[i])->isChecked(), i == Todos);
    }
    QCOMPARE(report.control<QLabel>("Label5")->text(), QStringLiteral("Resumo por Combustível"));
    QCOMPARE(report.control<QPushButton>("btExecutar")->text(), QStringLiteral("Executar"));
    QCOMPARE(report.control<QPushButton>("btExportar")->text(), QStringLiteral("Exportar"));
    QCOMPARE(report.control<QPushButton>("btExportar")->toolTip(),
             QStringLiteral("Exportar arquivo para Excel"));
    QCOMPARE(report.control<QPushButton>("BitBtn1")->text(), QStringLiteral("Sair"));
    QVERIFY(report.control<QPushButton>("btPesqEmpresa")->text().isEmpty());
    QVERIFY(!report.control<QPushButton>("btPesqEmpresa")->icon().isNull());
    QCOMPARE(report.control<QLabel>("Label4")->text(), QStringLiteral("Aguarde..."));
    QCOMPARE(report.control<QLabel>("Label3")->text(), QStringLiteral("Qtde."));
    QCOMPARE(report.control<QLabel>("Label2")->text(), QStringLiteral("Valor Total"));
    QVERIFY(report.name()->isReadOnly());
    QVERIFY(report.qtde()->isReadOnly() && report.qtde()->font().bold());
    QVERIFY(report.total()->alignment() & Qt::AlignRight);
    QVERIFY(report.code()->alignment() & Qt::AlignRight);
    QCOMPARE(titles(*report.summary()), QStringList({"Despesa", "Qtde.", "Valor UN", "Valor Total"}));
    const QList<int> summaryWidths{196, 58, 55, 75};
    for (int c = 0; c < summaryWidths.size(); ++c)
        QCOMPARE(report.summary()->columnWidth(c), summaryWidths.at(c));
}

void tst_UntRelarios::reportGridColumns_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("width");
    const QStringList allTitles = reportTitles.split(QLatin1Char('|'));
    const QList<int> widths{19, 21, 120, 61, 55, 56, 170, 49, 71, 84, 143, 69, 291};
    for (int c = 0; c < allTitles.size(); ++c)
        QTest::newRow(qPrintable(allTitles.at(c))) << c << allTitles.at(c) << widths.at(c);
}

void tst_UntRelarios::reportGridColumns() {
    QFETCH(int, column);
    QFETCH(QString, title);
    QFETCH(int, width);
    ReportWindow report(QStringLiteral("QSQLITE"));
    QCOMPARE(report.grid()->model()->columnCount(), 13);
    QCOMPARE(report.grid()->model()->headerData(column, Qt::Horizontal).toString(), title);
    QCOMPARE(report.grid()->columnWidth(column), width);
}

void tst_UntRelarios::showingAgainResetsTheSelection() {
    ReportWindow report(QStringLiteral("QSQLITE"));
    addStatusFuelings(report.db);
    report.show();
    QCOMPARE(QApplication::focusWidget(), report.code());
    QCOMPARE(report.qtde()->text(), QStringLiteral("0"));
    QCOMPARE(report.total()->text(), QStringLiteral("0,00"));
    QCOMPARE(report.control<QDateEdit>("fiDtaIni")->date(), today);

    report.run(QStringLiteral("10"), Faturado);
    QCOMPARE(report.emissoes().size(), 2);
    report.control<QPushButton>("BitBtn1")->click();
    QVERIFY(!report.window->isVisible());
    report.clock.moment = QDateTime(today.addDays(1), QTime(7, 30));
    report.show();

    QCOMPARE(report.emissoes(), QStringList());
    QCOMPARE(report.code()->text(), QString());
    QCOMPARE(report.name()->text(), QString());
    QCOMPARE(report.control<QDateEdit>("fiDtaIni")->date(), today.addDays(1));
    QCOMPARE(report.control<QDateEdit>("fiDtaFim")->date(), today.addDays(1));
    QCOMPARE(report.qtde()->text(), QStringLiteral("0"));
    QCOMPARE(report.total()->text(), QStringLiteral("0,00"));
    QCOMPARE(QApplication::focusWidget(), report.code());
    QCOMPARE(report.summaryRows(), fullSummary);
    QVERIFY(report.control<QRadioButton>(tipoNames[Faturado])->isChecked());
}

void tst_UntRelarios::clientCodeCheckedOnLeaving_data() {
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("pasted");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("focusBack");
    const QString previous = QStringLiteral("nome anterior");
    const QString alfa = QStringLiteral("Transportes Alfa Ltda");
    for (const QString& driver : TestDatabase::drivers()) {
        const QByteArray name = driver.toUtf8();
        const char* d = name.constData();
        QTest::addRow("%s: served client", d) << driver << "10" << false << alfa << "" << false;
        QTest::addRow("%s: leading zeros of a served code", d)
            << driver << "0010" << false << alfa << "" << false;
        QTest::addRow("%s: unknown code", d)
            << driver << "99" << false << previous << "Código não Existe!" << true;
        QTest::addRow("%s: another station's client", d)
            << driver << "20" << false << previous << "Código não Existe!" << true;
        QTest::addRow("%s: empty code clears the name", d) << driver << "" << false << ""
                                                           << "" << false;
        QTest::addRow("%s: code beyond 32 bits", d) << driver << "99999999999" << false << previous
                                                    << "'99999999999' is not a valid integer value." << false;
        QTest::addRow("%s: letters pasted", d)
            << driver << "1O" << true << previous << "'1O' is not a valid integer value." << false;
    }
}

void tst_UntRelarios::clientCodeCheckedOnLeaving() {
    QFETCH(QString, driver);
    QFETCH(QString, typed);
    QFETCH(bool, pasted);
    QFETCH(QString, name);
    QFETCH(QString, box);
    QFETCH(bool, focusBack);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    ReportWindow report(driver);
    report.show();
    report.name()->setText(QStringLiteral("nome anterior"));
    if (pasted)
        report.code()->setText(typed);
    else
        QTest::keyClicks(report.code(), typed);
    QCOMPARE(report.code()->text(), typed);

    report.control<QDateEdit>("fiDtaIni")->setFocus(Qt::TabFocusReason);

    QCOMPARE(report.name()->text(), name);
    QCOMPARE(report.code()->text(), typed);
    QCOMPARE(report.messages.count(), box.isEmpty() ? 0 : 1);
    if (!box.isEmpty()) {
        QCOMPARE(report.messages.last().text, box);
        const bool caution = report.messages.last().caption == QStringLiteral("Atenção!");
        QCOMPARE(caution, focusBack);
        QCOMPARE(report.messages.last().icon,
                 focusBack ? Messages::Icon::Exclamation : Messages::Icon::Error);
    }
    QCOMPARE(QApplication::focusWidget() == report.code(), focusBack);
}

void tst_UntRelarios::clientPickedInTheSearchWindow_data() {
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("closing");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    for (const QString& driver : TestDatabase::drivers()) {
        const QByteArray name = driver.toUtf8();
        const char* d = name.constData();
        QTest::addRow("%s: double-click picks the row", d) << driver << "" << 1 << "double-click"
                                                           << "11"
                                                           << "Beta Logistica S/A";
        QTest::addRow("%s: close box takes the row the user was on", d) << driver << "" << 2 << "close box"
                                                                        << "12"
                                                                        << "Gama_Fretes ME";
        QTest::addRow("%s: Sair changes nothing", d) << driver << "" << 2 << "Sair"
                                                     << "10"
                                                     << "Transportes Alfa Ltda";
        QTest::addRow("%s: nothing found changes nothing", d) << driver << "zzz" << -1 << "close box"
                                                              << "10"
                                                              << "Transportes Alfa Ltda";
    }
}

void tst_UntRelarios::clientPickedInTheSearchWindow() {
    QFETCH(QString, driver);
    QFETCH(QString, typed);
    QFETCH(int, row);
    QFETCH(QString, closing);
    QFETCH(QString, code);
    QFETCH(QString, name);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    ReportWindow report(driver);
    report.show();
    QTest::keyClicks(report.code(), QStringLiteral("10"));
    report.control<QDateEdit>("fiDtaIni")->setFocus(Qt::TabFocusReason);
    QCOMPARE(report.name()->text(), QStringLiteral("Transportes Alfa Ltda"));

    bool searchWasModal = false;
    // Inside the search window's own loop, not inside a wait for the database on the way to it.
    const int outerLoops = QThread::currentThread()->loopLevel();
    QTimer inSearch;
    connect(&inSearch, &QTimer::timeout, report.search.get(), [&] {
        if (QThread::currentThread()->loopLevel() <= outerLoops)
            return;
        inSearch.stop();
        TfrmPesqEmpresas& search = *report.search;
        searchWasModal = search.isVisible() && search.isModal();
        QTest::keyClicks(search.findChild<QLineEdit*>(QStringLiteral("fiNome")), typed);
        auto* grid = search.findChild<QTableView*>(QStringLiteral("DBGrid1"));
        const QPoint cell = row >= 0 ? grid->visualRect(grid->model()->index(row, 1)).center() : QPoint(5, 5);
        if (row >= 0)
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
        if (closing == QLatin1String("double-click"))
            QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell);
        else if (closing == QLatin1String("Sair"))
            search.findChild<QPushButton*>(QStringLiteral("btSair"))->click();
        else
            search.close();
    });
    inSearch.start(0);
    report.control<QPushButton>("btPesqEmpresa")->click();

    QVERIFY(searchWasModal);
    QVERIFY(!report.search->isVisible());
    QCOMPARE(report.code()->text(), code);
    QCOMPARE(report.name()->text(), name);
    QCOMPARE(report.messages.count(), 0);
}

void tst_UntRelarios::runNeedsAClientCode() {
    ReportWindow report(QStringLiteral("QSQLITE"));
    addStatusFuelings(report.db);
    report.show();
    report.run(QStringLiteral("10"), Todos);
    report.control<QDateEdit>("fiDtaIni")->setFocus(Qt::TabFocusReason);

    report.run(QString(), Lancado);

    QCOMPARE(report.messages.count(), 1);
    QCOMPARE(report.messages.last().text, QStringLiteral("Informe o código da Empresa!"));
    QCOMPARE(report.messages.last().caption, QStringLiteral("Atenção!"));
    QCOMPARE(report.messages.last().icon, Messages::Icon::Exclamation);
    QCOMPARE(QApplication::focusWidget(), report.code());
    QCOMPARE(report.emissoes().size(), 6);
    QCOMPARE(report.qtde()->text(), QStringLiteral("305,50"));
    QCOMPARE(report.summaryRows(), fullSummary);
}

void tst_UntRelarios::statusFilterChangesListAndTotalsNotSummary_data() {
    QTest::addColumn<QString>("driver");
    QTest::addColumn<int>("tipo");
    QTest::addColumn<QStringList>("listedHours");
    QTest::addColumn<QString>("qtde");
    QTest::addColumn<QString>("total");
    for (const QString& driver : TestDatabase::drivers()) {
        const QByteArray name = driver.toUtf8();
        const char* d = name.constData();
        QTest::addRow("%s: registered only (empty key)", d)
            << driver << int(Lancado) << QStringList{"08"} << "40,50"
            << "238,55";
        QTest::addRow("%s: receipt validated, not invoiced, NULL Faturado left out", d)
            << driver << int(Validado) << QStringList{"09"} << "30,00"
            << "179,70";
        QTest::addRow("%s: invoiced, NULL key included", d)
            << driver << int(Faturado) << QStringList{"10", "12"} << "220,00"
            << "1.352,30";
        QTest::addRow("%s: all, ordered by time", d)
            << driver << int(Todos) << QStringList{"08", "09", "10", "11", "12", "13"} << "305,50"
            << "1.860,40";
    }
}

void tst_UntRelarios::statusFilterChangesListAndTotalsNotSummary() {
    QFETCH(QString, driver);
    QFETCH(int, tipo);
    QFETCH(QStringList, listedHours);
    QFETCH(QString, qtde);
    QFETCH(QString, total);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    ReportWindow report(driver);
    addStatusFuelings(report.db);
    report.show();
    // A run with another filter first: the new run replaces list, totals and summary.
    report.run(QStringLiteral("10"), tipo == Todos ? Lancado : Todos);

    report.run(QStringLiteral("10"), Tipo(tipo));

    QStringList hours;
    for (const QString& emissao : report.emissoes())
        hours.append(emissao.mid(11, 2));
    QCOMPARE(hours, listedHours);
    QCOMPARE(report.qtde()->text(), qtde);
    QCOMPARE(report.total()->text(), total);
    QCOMPARE(report.summaryRows(), fullSummary);
    QCOMPARE(report.grid()->currentIndex().row(), 0);
    QVERIFY(report.grid()->isVisible());
    QCOMPARE(report.messages.count(), 0);
}

void tst_UntRelarios::listedRowsReadAcross_data() {
    QTest::addColumn<QString>("driver");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("shown");
    for (const QString& driver : TestDatabase::drivers()) {
        const QByteArray name = driver.toUtf8();
        const char* d = name.constData();
        QTest::addRow("%s: registered fueling", d)
            << driver << 0
            << "||15/03/2024 08:00:00|ABC1234|V-01|55|Joao da Silva|40,50|5,89|238,55|DIESEL S10||";
        QTest::addRow("%s: driver not among the client's drivers", d)
            << driver << 1
            << "||15/03/2024 09:00:00|ABC1234|V-01|77||30,00|5,99|179,70|GASOLINA COMUM||"
               "35240312345678000190650010000099991000099990";
        QTest::addRow("%s: invoiced with a key", d)
            << driver << 2
            << "||15/03/2024 10:00:00|DEF5678|V-02|55|Joao da Silva|200,00|6,17|1.234,50|DIESEL S10||" +
                   chaveC;
        QTest::addRow("%s: NULL key and NULL Faturado", d)
            << driver << 3
            << "||15/03/2024 11:00:00|ABC1234|V-01|55|Joao da Silva|10,00|5,99|59,90|GASOLINA COMUM||";
        QTest::addRow("%s: invoiced with a NULL key", d)
            << driver << 4
            << "||15/03/2024 12:00:00|ABC1234|V-01|55|Joao da Silva|20,00|5,89|117,80|DIESEL S10||";
        QTest::addRow("%s: validated with a NULL Faturado", d)
            << driver << 5
            << "||15/03/2024 13:00:00|ABC1234|V-01|55|Joao da Silva|5,00|5,99|29,95|GASOLINA COMUM||" +
                   chaveF;
    }
}

void tst_UntRelarios::listedRowsReadAcross() {
    QFETCH(QString, driver);
    QFETCH(int, row);
    QFETCH(QString, shown);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    ReportWindow report(driver);
    addStatusFuelings(report.db);
    report.show();
    report.run(QStringLiteral("10"), Todos);
    QCOMPARE(rowText(*report.grid(), row), shown);
}

void tst_UntRelarios::periodBoundsAreWholeDays_data() {
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QString>("shown");
    const QDate before = today.addDays(-2);
    for (const QString& driver : TestDatabase::drivers()) {
        const QByteArray name = driver.toUtf8();
        const char* d = name.constData();
        QTest::addRow("%s: last second of the last day", d)
            << driver << at(QTime(23, 59, 59)) << before << today << "15/03/2024 23:59:59";
        QTest::addRow("%s: later within that second", d)
            << driver << at(QTime(23, 59, 59, 500)) << before << today << "15/03/2024 23:59:59";
        QTest::addRow("%s: midnight of the next day", d)
            << driver << at(QTime(0, 0), today.addDays(1)) << before << today << "";
        QTest::addRow("%s: midnight of the first day shows the date only", d)
            << driver << at(QTime(0, 0), before) << before << today << "13/03/2024";
        QTest::addRow("%s: just before the first day", d)
            << driver << at(QTime(23, 59, 59, 999), before.addDays(-1)) << before << today << "";
        QTest::addRow("%s: first day after the last day", d)
            << driver << at(QTime(12, 0)) << today.addDays(1) << today << "";
    }
}

void tst_UntRelarios::periodBoundsAreWholeDays() {
    QFETCH(QString, driver);
    QFETCH(QString, stored);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QString, shown);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    ReportWindow report(driver);
    addFueling(report.db, 100, stored, 150.5, 900, QStringLiteral("DIESEL S10"));
    report.show();

    report.run(QStringLiteral("10"), Todos, from, to);

    QCOMPARE(report.emissoes(), shown.isEmpty() ? QStringList() : QStringList{shown});
    QCOMPARE(report.qtde()->text(), shown.isEmpty() ? QStringLiteral("0,00") : QStringLiteral("150,50"));
    QCOMPARE(report.total()->text(), shown.isEmpty() ? QStringLiteral("0,00") : QStringLiteral("900,00"));
    QCOMPARE(report.summaryRows(),
             shown.isEmpty() ? QStringList() : QStringList{QStringLiteral("DIESEL S10|150,50|5,98|900,00")});
}

void tst_UntRelarios::statusMarks_data() {
    QTest::addColumn<QString>("chave");
    QTest::addColumn<QString>("faturado");
    QTest::addColumn<bool>("invoicedMark");
    QTest::addColumn<bool>("validatedMark");
    QTest::newRow("validated and invoiced") << "'35240312345678000190650010000012341000012340'"
                                            << "'S'" << true << true;
    QTest::newRow("validated only") << "'35240312345678000190650010000012341000012340'"
                                    << "'N'" << false << true;
    QTest::newRow("neither") << "''"
                             << "NULL" << false << false;
    QTest::newRow("NULL key, invoiced") << "NULL"
                                        << "'S'" << true << false;
    QTest::newRow("lower-case s is not invoiced") << "''"
                                                  << "'s'" << false << false;
}

void tst_UntRelarios::statusMarks() {
    QFETCH(QString, chave);
    QFETCH(QString, faturado);
    QFETCH(bool, invoicedMark);
    QFETCH(bool, validatedMark);
    ReportWindow report(QStringLiteral("QSQLITE"));
    addFueling(report.db, 100, at(QTime(9, 0)), 10, 60, QStringLiteral("DIESEL S10"));
    setStatus(report.db, chave, faturado);
    report.show();
    report.run(QStringLiteral("10"), Todos);

    const QAbstractItemModel& model = *report.grid()->model();
    QCOMPARE(model.rowCount(), 1);
    const QVariant ft = model.index(0, 0).data(Qt::DecorationRole);
    const QVariant vl = model.index(0, 1).data(Qt::DecorationRole);
    QCOMPARE(samePicture(ft, ReportImages::invoicedMark()), invoicedMark);
    QCOMPARE(samePicture(vl, ReportImages::validatedMark()), validatedMark);
    QVERIFY(ft.isValid() == invoicedMark && vl.isValid() == validatedMark);
    QCOMPARE(model.index(0, 0).data().toString(), QString());
    QCOMPARE(model.index(0, 1).data().toString(), QString());
}

void tst_UntRelarios::numbersInTheBrazilianForm_data() {
    QTest::addColumn<double>("qtde");
    QTest::addColumn<double>("total");
    QTest::addColumn<QString>("shownQtde");
    QTest::addColumn<QString>("shownTotal");
    QTest::newRow("quantity with three decimals") << 45.678 << 100.0 << "45,68"
                                                  << "100,00";
    QTest::newRow("negative amount") << 10.0 << -1234.5 << "10,00"
                                     << "-1.234,50";
    QTest::newRow("thousands") << 1000.0 << 5890.0 << "1.000,00"
                               << "5.890,00";
    QTest::newRow("zero") << 0.0 << 0.0 << "0,00"
                          << "0,00";
}

void tst_UntRelarios::numbersInTheBrazilianForm() {
    QFETCH(double, qtde);
    QFETCH(double, total);
    QFETCH(QString, shownQtde);
    QFETCH(QString, shownTotal);
    ReportWindow report(QStringLiteral("QSQLITE"));
    addFueling(report.db, 100, at(QTime(9, 0)), qtde, total, QStringLiteral("DIESEL S10"));
    report.show();
    report.run(QStringLiteral("10"), Todos);

    QCOMPARE(report.qtde()->text(), shownQtde);
    QCOMPARE(report.total()->text(), shownTotal);
    const QAbstractItemModel& model = *report.grid()->model();
    QCOMPARE(model.index(0, 7).data().toString(), shownQtde);
    QCOMPARE(model.index(0, 9).data().toString(), shownTotal);
    QVERIFY(model.index(0, 9).data(Qt::FontRole).value<QFont>().bold());
    QVERIFY(!model.index(0, 8).data(Qt::FontRole).value<QFont>().bold());
    for (int c : {5, 7, 8, 9})
        QCOMPARE(model.index(0, c).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight, int(Qt::AlignRight));
    for (int c : {2, 3, 10})
        QCOMPARE(model.index(0, c).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight, 0);
    const QAbstractItemModel& summary = *report.summary()->model();
    QCOMPARE(summary.index(0, 1).data().toString(), shownQtde);
    QCOMPARE(summary.index(0, 3).data().toString(), shownTotal);
}

void tst_UntRelarios::fuelSummingToZeroQuantityKeepsTheSummary_data() {
    TestDatabase::addDriverRows();
}

void tst_UntRelarios::fuelSummingToZeroQuantityKeepsTheSummary() {
    QFETCH(QString, driver);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    ReportWindow report(driver);
    addFueling(report.db, 100, at(QTime(8, 0)), 40, 240, QStringLiteral("DIESEL S10"));
    addFueling(report.db, 100, at(QTime(9, 0)), 10, 12, QStringLiteral("ARLA 32"));
    addFueling(report.db, 100, at(QTime(10, 0)), -10, -12, QStringLiteral("ARLA 32")); // a reversal
    addFueling(report.db, 101, at(QTime(11, 0)), 0, 0, QStringLiteral("GNV"));
    report.show();

    report.run(QStringLiteral("10"), Todos);

    QCOMPARE(report.messages.count(), 0);
    QCOMPARE(report.summaryRows(),
             QStringList({"ARLA 32|0,00||0,00", "DIESEL S10|40,00|6,00|240,00", "GNV|0,00||0,00"}));
    QCOMPARE(report.emissoes().size(), 4);
}

void tst_UntRelarios::runShowsTheWaitSign() {
    ReportWindow report(QStringLiteral("QSQLITE"));
    addStatusFuelings(report.db);
    report.show();
    bool gridHidden = false;
    bool waitShown = false;
    bool hourglass = false;
    QTimer::singleShot(0, report.window.get(), [&] {
        gridHidden = !report.grid()->isVisible();
        waitShown = report.control<QLabel>("Label4")->isVisible();
        hourglass =
            QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    });

    report.run(QStringLiteral("10"), Todos);

    QVERIFY(gridHidden);
    QVERIFY(waitShown);
    QVERIFY(hourglass);
    QVERIFY(report.grid()->isVisible());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(report.emissoes().size(), 6);
}

void tst_UntRelarios::failedRunRestoresTheWindow_data() {
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("breakSql");
    QTest::addColumn<QString>("mendSql");
    QTest::addColumn<QString>("error");
    for (const QString& driver : TestDatabase::drivers()) {
        const QByteArray name = driver.toUtf8();
        const char* d = name.constData();
        QTest::addRow("%s: statement fails on the server", d)
            << driver << "10"
            << "ALTER TABLE ZeltoMov RENAME TO ZeltoMovGuardado"
            << "ALTER TABLE ZeltoMovGuardado RENAME TO ZeltoMov"
            << "ZeltoMov";
        QTest::addRow("%s: code beyond 32 bits", d) << driver << "2147483648"
                                                    << ""
                                                    << ""
                                                    << "'2147483648' is not a valid integer value.";
        QTest::addRow("%s: letters in the code", d) << driver << "l0"
                                                    << ""
                                                    << ""
                                                    << "'l0' is not a valid integer value.";
    }
}

void tst_UntRelarios::failedRunRestoresTheWindow() {
    QFETCH(QString, driver);
    QFETCH(QString, code);
    QFETCH(QString, breakSql);
    QFETCH(QString, mendSql);
    QFETCH(QString, error);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    ReportWindow report(driver);
    addStatusFuelings(report.db);
    report.show();
    report.run(QStringLiteral("10"), Todos);
    if (!breakSql.isEmpty())
        report.db.exec(breakSql);
    bool restoredWhenReported = false;
    report.messages.onShow([&](const ScriptedMessages::Box&) {
        restoredWhenReported = report.grid()->isVisible() && !QApplication::overrideCursor();
    });

    report.run(code, Lancado);

    QCOMPARE(report.messages.count(), 1);
    QCOMPARE(report.messages.last().caption, QStringLiteral("KORVAPosto"));
    QCOMPARE(report.messages.last().icon, Messages::Icon::Error);
    QVERIFY2(report.messages.last().text.contains(error), qPrintable(report.messages.last().text));
    QVERIFY(restoredWhenReported);
    QVERIFY(report.grid()->isVisible());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(report.emissoes(), QStringList());
    QCOMPARE(report.qtde()->text(), QStringLiteral("305,50"));
    QCOMPARE(report.total()->text(), QStringLiteral("1.860,40"));
    QCOMPARE(report.summaryRows(), fullSummary);

    if (!mendSql.isEmpty())
        report.db.exec(mendSql);
    report.run(QStringLiteral("10"), Lancado);
    QCOMPARE(report.messages.count(), 1);
    QCOMPARE(report.emissoes(), QStringList{QStringLiteral("15/03/2024 08:00:00")});
    QCOMPARE(report.total()->text(), QStringLiteral("238,55"));
}

void tst_UntRelarios::failedSummaryKeepsTheListAndTotals_data() {
    TestDatabase::addDriverRows();
}

void tst_UntRelarios::failedSummaryKeepsTheListAndTotals() {
    QFETCH(QString, driver);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    ReportWindow report(driver);
    addStatusFuelings(report.db);
    report.show();
    report.run(QStringLiteral("10"), Todos);
    // The server refuses the summary only, as it does when a fuel's quantities sum to zero.
    report.db.connection().setStatementObserver([](const QString& statement, const QVariantList&) {
        if (statement.startsWith(QLatin1String("SELECT TpCombustivel")))
            throw DatabaseError(QStringLiteral("Divide by zero error encountered. (TpCombustivel)"));
    });

    report.run(QStringLiteral("10"), Faturado);

    QCOMPARE(report.messages.count(), 1);
    QCOMPARE(report.messages.last().caption, QStringLiteral("KORVAPosto"));
    QVERIFY2(report.messages.last().text.contains(QLatin1String("TpCombustivel")),
             qPrintable(report.messages.last().text));
    QCOMPARE(report.emissoes(), QStringList({"15/03/2024 10:00:00", "15/03/2024 12:00:00"}));
    QCOMPARE(report.qtde()->text(), QStringLiteral("220,00"));
    QCOMPARE(report.total()->text(), QStringLiteral("1.352,30"));
    QCOMPARE(report.summaryRows(), QStringList());
    QVERIFY(report.grid()->isVisible());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void tst_UntRelarios::closedConnectionIsReopenedByTheRun() {
    ReportWindow report(QStringLiteral("QSQLITE"));
    addStatusFuelings(report.db);
    report.show();
    report.db.connection().close();

    report.run(QStringLiteral("10"), Todos);

    QCOMPARE(report.messages.count(), 0);
    QCOMPARE(report.emissoes().size(), 6);
}

void tst_UntRelarios::exportWritesATypedWorkbook_data() {
    TestDatabase::addDriverRows();
}

void tst_UntRelarios::exportWritesATypedWorkbook() {
    QFETCH(QString, driver);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    ReportWindow report(driver);
    addStatusFuelings(report.db);
    report.show();
    report.code()->setText(QStringLiteral("10"));
    report.window->ficd_empresaExit();
    report.run(QStringLiteral("10"), Todos);

    report.exportReport();

    QCOMPARE(report.messages.count(), 0);
    QCOMPARE(report.shell.opened.size(), 1);
    const QString path = report.shell.opened.first().toLocalFile();
    QCOMPARE(QFileInfo(path).absolutePath(), QFileInfo(report.exportFolder.path()).absoluteFilePath());
    QVERIFY(QFileInfo(path).fileName().startsWith(QLatin1String("Abastecimentos")));
    QVERIFY(path.endsWith(QLatin1String(".xlsx")));
    // The grid ends on the last row of the result.
    QCOMPARE(report.grid()->currentIndex().row(), 5);

    KORVA_SKIP_WITHOUT_UNZIP();

    const Workbook book = readWorkbook(path);
    QCOMPARE(book.error, QString());
    QCOMPARE(book.title, QStringLiteral("Abastecimentos"));
    QCOMPARE(book.sheetNames, QStringList({"Abastecimentos", "Resumo"}));
    QCOMPARE(book.lastRow, 8);
    QVERIFY(book.titleRowFrozen);
    QCOMPARE(book.autoFilter, QStringLiteral("A1:M7"));
    const QStringList allTitles = reportTitles.split(QLatin1Char('|'));
    for (int c = 0; c < allTitles.size(); ++c) {
        QCOMPARE(book.cell(columnLetters(c) + QLatin1Char('1')).value, allTitles.at(c));
        QVERIFY(book.cell(columnLetters(c) + QLatin1Char('1')).bold);
    }
    // FT and VL say "S" where the grid shows its mark.
    for (int row = 0; row < 6; ++row) {
        for (int c : {0, 1}) {
            const QString reference = columnLetters(c) + QString::number(row + 2);
            const bool marked = !report.grid()->model()->index(row, c).data(Qt::DecorationRole).isNull();
            QCOMPARE(book.cell(reference).value, marked ? QStringLiteral("S") : QString());
        }
    }
    // The totals row: formulas whose stored values are the window's totals and the database's sums.
    const QString listed = QStringLiteral(" FROM ZeltoMov m JOIN VeiculosNovo v ON v.id = m.IDVeiculo WHERE "
                                          "m.IDPosto = 7 AND m.ID_EMPRESA = 10 AND m.Empresa = 4 AND "
                                          "m.DtEmissao LIKE '2024-03-15%'");
    QCOMPARE(book.cell(QStringLiteral("G8")).value, QStringLiteral("Total"));
    // One label for the row, before its first sum; under the other columns the row holds nothing.
    for (const char* empty : {"A8", "B8", "C8", "D8", "E8", "F8", "I8", "K8", "L8", "M8"})
        QVERIFY2(!book.has(QLatin1String(empty)), empty);
    QCOMPARE(book.cell(QStringLiteral("H8")).formula, QStringLiteral("SUM(H2:H7)"));
    QCOMPARE(book.cell(QStringLiteral("J8")).formula, QStringLiteral("SUM(J2:J7)"));
    QCOMPARE(QueryTableModel::decimalText(book.cell(QStringLiteral("H8")).value.toDouble()),
             report.qtde()->text());
    QCOMPARE(QueryTableModel::decimalText(book.cell(QStringLiteral("J8")).value.toDouble()),
             report.total()->text());
    QVERIFY(qFuzzyCompare(book.cell(QStringLiteral("H8")).value.toDouble(),
                          report.db.scalar(QStringLiteral("SELECT SUM(m.Qtde)") + listed).toDouble()));
    QVERIFY(qFuzzyCompare(book.cell(QStringLiteral("J8")).value.toDouble(),
                          report.db.scalar(QStringLiteral("SELECT SUM(m.VrTotal)") + listed).toDouble()));
    QCOMPARE(book.cell(QStringLiteral("J8")).format, QStringLiteral("#,##0.00"));

    // The first fueling, registered only.
    for (const char* empty : {"A2", "B2", "L2", "M2"})
        QVERIFY2(!book.has(QLatin1String(empty)), empty);
    const Workbook::Cell emissao = book.cell(QStringLiteral("C2"));
    QCOMPARE(emissao.type, QString());
    QCOMPARE(emissao.format, QStringLiteral("dd/mm/yyyy hh:mm:ss"));
    QVERIFY(qFuzzyCompare(emissao.value.toDouble(), serialOf(QDateTime(today, QTime(8, 0)))));
    QCOMPARE(book.cell(QStringLiteral("D2")).value, QStringLiteral("ABC1234"));
    QVERIFY(book.cell(QStringLiteral("D2")).type == QLatin1String("inlineStr") ||
            book.cell(QStringLiteral("D2")).type == QLatin1String("s"));
    QCOMPARE(book.cell(QStringLiteral("F2")).value.toInt(), 55);
    QCOMPARE(book.cell(QStringLiteral("G2")).value, QStringLiteral("Joao da Silva"));
    const QList<QPair<QString, double>> numbers{{"H2", 40.5}, {"I2", 5.89}, {"J2", 238.55}};
    for (const auto& [reference, number] : numbers) {
        const Workbook::Cell cell = book.cell(reference);
        QVERIFY2(cell.type.isEmpty() || cell.type == QLatin1String("n"), qPrintable(reference));
        QVERIFY2(qFuzzyCompare(cell.value.toDouble(), number), qPrintable(reference));
        QCOMPARE(cell.format, QStringLiteral("#,##0.00"));
    }
    QCOMPARE(book.cell(QStringLiteral("K2")).value, QStringLiteral("DIESEL S10"));
    QCOMPARE(book.cell(QStringLiteral("M4")).value, chaveC);
    QVERIFY(qFuzzyCompare(book.cell(QStringLiteral("J4")).value.toDouble(), 1234.5));
    // The columns are fitted to their widest contents.
    QVERIFY(book.columnWidths.value(QStringLiteral("M")) >= chaveC.size());
    QVERIFY(book.columnWidths.value(QStringLiteral("C")) >= 19);
    QVERIFY(book.columnWidths.value(QStringLiteral("A")) < 5);
    QVERIFY(book.columnWidths.value(QStringLiteral("G")) >= QStringLiteral("Nome Motorista").size());

    // "Resumo": what was run, then the summary as its grid shows it, and its totals.
    const Workbook resumo = readWorkbook(path, 2);
    const QStringList heading{"Cliente", "10", "Transportes Alfa Ltda"};
    for (int c = 0; c < heading.size(); ++c)
        QCOMPARE(resumo.cell(columnLetters(c) + QLatin1Char('1')).value, heading.at(c));
    for (const char* day : {"B2", "B3"}) {
        QCOMPARE(resumo.cell(QLatin1String(day)).format, QStringLiteral("dd/mm/yyyy"));
        QCOMPARE(resumo.cell(QLatin1String(day)).value.toDouble(), serialOf(today.startOfDay()));
    }
    QCOMPARE(resumo.cell(QStringLiteral("B4")).value, QStringLiteral("Todos"));
    const QStringList summaryShown = rowTexts(*report.summary());
    QCOMPARE(resumo.lastRow, 6 + int(summaryShown.size()) + 1);
    for (int row = 0; row < summaryShown.size(); ++row) {
        const QString n = QString::number(row + 7);
        QCOMPARE(resumo.cell(QLatin1Char('A') + n).value + QLatin1Char('|') +
                     QueryTableModel::decimalText(resumo.cell(QLatin1Char('B') + n).value.toDouble()) +
                     QLatin1Char('|') +
                     QueryTableModel::decimalText(resumo.cell(QLatin1Char('C') + n).value.toDouble()) +
                     QLatin1Char('|') +
                     QueryTableModel::decimalText(resumo.cell(QLatin1Char('D') + n).value.toDouble()),
                 summaryShown.at(row));
    }
    const QString everyStatus = QStringLiteral(" FROM ZeltoMov WHERE IDPosto = 7 AND ID_EMPRESA = 10 AND "
                                               "Empresa = 4 AND DtEmissao LIKE '2024-03-15%'");
    QCOMPARE(resumo.cell(QStringLiteral("A10")).value, QStringLiteral("Total"));
    QCOMPARE(resumo.cell(QStringLiteral("B10")).formula, QStringLiteral("SUM(B7:B9)"));
    QVERIFY(qFuzzyCompare(resumo.cell(QStringLiteral("B10")).value.toDouble(),
                          report.db.scalar(QStringLiteral("SELECT SUM(Qtde)") + everyStatus).toDouble()));
    QVERIFY(qFuzzyCompare(resumo.cell(QStringLiteral("D10")).value.toDouble(),
                          report.db.scalar(QStringLiteral("SELECT SUM(VrTotal)") + everyStatus).toDouble()));

    // Each export is a workbook of its own.
    report.exportReport();
    QCOMPARE(report.shell.opened.size(), 2);
    QVERIFY(report.shell.opened.at(1) != report.shell.opened.at(0));
    QCOMPARE(filesIn(report.exportFolder.path()).size(), 2);
}

void tst_UntRelarios::exportOfAnEmptyRunHasTheTitlesOnly() {
    ReportWindow report(QStringLiteral("QSQLITE"));
    report.show();
    report.run(QStringLiteral("10"), Todos);
    QCOMPARE(report.emissoes(), QStringList());

    report.exportReport();

    QCOMPARE(report.messages.count(), 0);
    QCOMPARE(report.shell.opened.size(), 1);
    KORVA_SKIP_WITHOUT_UNZIP();
    const Workbook book = readWorkbook(report.shell.opened.first().toLocalFile());
    QCOMPARE(book.lastRow, 1);
    QCOMPARE(book.cell(QStringLiteral("M1")).value, QStringLiteral("Chave Acesso"));
    // An empty summary table with zero totals.
    const Workbook resumo = readWorkbook(report.shell.opened.first().toLocalFile(), 2);
    QCOMPARE(resumo.lastRow, 7);
    QCOMPARE(resumo.cell(QStringLiteral("A6")).value, QStringLiteral("Despesa"));
    QCOMPARE(resumo.cell(QStringLiteral("A7")).value, QStringLiteral("Total"));
    QCOMPARE(resumo.cell(QStringLiteral("B7")).value, QStringLiteral("0"));
    QCOMPARE(resumo.cell(QStringLiteral("D7")).value, QStringLiteral("0"));
}

void tst_UntRelarios::exportWithoutAResultOpensNothing() {
    ReportWindow report(QStringLiteral("QSQLITE"));
    addStatusFuelings(report.db);
    report.show();
    report.run(QStringLiteral("10"), Todos);
    report.window->hide();
    report.show(); // showing again closes the result

    report.exportReport();

    QCOMPARE(report.messages.count(), 1);
    QCOMPARE(report.messages.last().caption, QStringLiteral("KORVAPosto"));
    QCOMPARE(report.messages.last().icon, Messages::Icon::Error);
    QCOMPARE(report.messages.last().text,
             QStringLiteral("Não há relatório para exportar: execute o relatório antes."));
    QCOMPARE(report.shell.opened.size(), 0);
    QCOMPARE(filesIn(report.exportFolder.path()), QStringList());
}

void tst_UntRelarios::exportToAnUnwritableFolderLeavesNothing_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("throughTmpdir");
    QTest::newRow("folder that does not exist") << "missing/folder" << false;
    QTest::newRow("a file where the folder should be") << "not-a-folder" << false;
    QTest::newRow("TMPDIR naming a folder that does not exist") << "missing/tmp" << true;
}

void tst_UntRelarios::exportToAnUnwritableFolderLeavesNothing() {
    QFETCH(QString, folder);
    QFETCH(bool, throughTmpdir);
    ReportWindow report(QStringLiteral("QSQLITE"));
    addStatusFuelings(report.db);
    QFile blocker(QDir(report.exportFolder.path()).filePath(QStringLiteral("not-a-folder")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString target = QDir(report.exportFolder.path()).filePath(folder);
    // The working folder is the export folder too, so a workbook written there would be seen.
    const QString workingFolder = QDir::currentPath();
#ifdef Q_OS_WIN
    const char* const temporaryVariable = "TMP";
#else
    const char* const temporaryVariable = "TMPDIR";
#endif
    const QByteArray tmpdir = qgetenv(temporaryVariable);
    const auto restore = qScopeGuard([&] {
        QDir::setCurrent(workingFolder);
        qputenv(temporaryVariable, tmpdir);
    });
    QVERIFY(QDir::setCurrent(report.exportFolder.path()));
    if (throughTmpdir) {
        qputenv(temporaryVariable, QFile::encodeName(target));
        report.window->setExportFolder(QString());
    } else {
        report.window->setExportFolder(target);
    }
    report.show();
    report.run(QStringLiteral("10"), Todos);

    report.exportReport();

    QCOMPARE(report.messages.count(), 1);
    QCOMPARE(report.messages.last().caption, QStringLiteral("KORVAPosto"));
    QCOMPARE(
        report.messages.last().text,
        QStringLiteral("Não foi possível criar a planilha na pasta \"%1\": a pasta não existe ou não permite "
                       "gravação.")
            .arg(QDir::toNativeSeparators(target)));
    QCOMPARE(report.shell.opened.size(), 0);
    QCOMPARE(filesIn(report.exportFolder.path()), QStringList{QStringLiteral("not-a-folder")});
    QCOMPARE(QFileInfo(blocker.fileName()).size(), 0);
    QVERIFY(report.grid()->isVisible());
}

void tst_UntRelarios::exportTellsWhenNoProgramOpensTheWorkbook_data() {
    QTest::addColumn<QString>("defaultProgram");
    QTest::newRow("no program opens spreadsheets") << "";
    QTest::newRow("a spreadsheet program") << "planilhas.desktop";
}

void tst_UntRelarios::exportTellsWhenNoProgramOpensTheWorkbook() {
    QFETCH(QString, defaultProgram);
#ifdef Q_OS_WIN
    QSKIP("Windows opens the workbook through its own shell, not through a Linux desktop's tools");
#endif
    // The desktop's own tools, as a Linux desktop has them: one names the default program, one opens.
    QTemporaryDir tools;
    const QString openedList = tools.filePath(QStringLiteral("opened"));
    const QList<QPair<QString, QString>> scripts{
        {QStringLiteral("xdg-mime"), QStringLiteral("#!/bin/sh\necho '%1'\n").arg(defaultProgram)},
        {QStringLiteral("xdg-open"), QStringLiteral("#!/bin/sh\necho \"$1\" > '%1'\n").arg(openedList)}};
    for (const auto& [name, text] : scripts) {
        QFile script(tools.filePath(name));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(text.toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QByteArray path = qgetenv("PATH");
    const auto restore = qScopeGuard([&] { qputenv("PATH", path); });
    qputenv("PATH", QFile::encodeName(tools.path()) + ':' + path);
    ReportWindow report(QStringLiteral("QSQLITE"), true);
    addStatusFuelings(report.db);
    report.show();
    report.run(QStringLiteral("10"), Todos);

    report.exportReport();

    const QStringList written = filesIn(report.exportFolder.path());
    QCOMPARE(written.size(), 1);
    const QString workbook = QDir(report.exportFolder.path()).filePath(written.first());
    if (defaultProgram.isEmpty()) {
        QCOMPARE(report.messages.count(), 1);
        QCOMPARE(
            report.messages.last().text,
            QStringLiteral("A planilha foi gravada em \"%1\", mas nenhum programa deste computador a abriu; "
                           "abra-a por esse caminho.")
                .arg(QDir::toNativeSeparators(workbook)));
        QTest::qWait(300);
        QVERIFY(!QFile::exists(openedList));
    } else {
        QCOMPARE(report.messages.count(), 0);
        const auto opened = [&] {
            QFile list(openedList);
            return list.open(QIODevice::ReadOnly) ? QString::fromUtf8(list.readAll()).trimmed() : QString();
        };
        QTRY_COMPARE(opened(), workbook);
    }
}

void tst_UntRelarios::longExportKeepsTheInterfaceAliveAndRunsOnce_data() {
    QTest::addColumn<bool>("closedMidway");
    QTest::newRow("runs to the end") << false;
    QTest::newRow("window closed while it runs: stopped, nothing left, nothing opened") << true;
}

void tst_UntRelarios::longExportKeepsTheInterfaceAliveAndRunsOnce() {
    QFETCH(bool, closedMidway);
    ReportWindow report(QStringLiteral("QSQLITE"));
    report.db.exec(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 4499) "
        "INSERT INTO ZeltoMov (IDVeiculo, DtEmissao, NrCartao, IDPosto, IDMotorista, KmAnterior, KmAtual, "
        "KmTotal, "
        "Qtde, VrUnitario, VrTotal, cd_ut, TpCombustivel, Rendimento, NrCupom, ChaveAcesso, SeqZelto, "
        "Empresa, "
        "IntegradoAdd) SELECT 100, strftime('%Y-%m-%d %H:%M:%S', '2024-03-15 00:00:00', '+' || (i * 10) || "
        "' seconds') || '.000', '', 7, 55, 0, 0, 0, 10, 5.5, 55, 3, 'DIESEL S10', 0, NULL, '', NULL, 4, NULL "
        "FROM n"));
    report.show();
    report.run(QStringLiteral("10"), Todos);
    QCOMPARE(report.grid()->model()->rowCount(), 4500);
    QCOMPARE(report.total()->text(), QStringLiteral("247.500,00"));

    int repaintChances = 0;
    QTimer ticks;
    const QProgressBar* bar = report.control<QProgressBar>("exportProgress");
    bool barShown = false;
    QStringList barTexts;
    connect(&ticks, &QTimer::timeout, [&] {
        ++repaintChances;
        barShown = barShown || (bar->isVisible() && bar->maximum() == 4500);
        if (bar->isVisible() && !barTexts.contains(bar->text()))
            barTexts.append(bar->text());
        if (closedMidway && bar->isVisible())
            report.window->close();
    });
    ticks.start(0);
    // A second press arriving while the export runs must not start another one.
    QTimer::singleShot(0, report.window.get(), [&] { report.exportReport(); });

    report.exportReport();
    ticks.stop();

    QCOMPARE(report.messages.count(), 0);
    if (closedMidway) {
        QVERIFY(report.window->isHidden());
        QCOMPARE(report.shell.opened.size(), 0);
        QCOMPARE(filesIn(report.exportFolder.path()).size(), 0);
        return;
    }
    QCOMPARE(report.shell.opened.size(), 1);
    QCOMPARE(filesIn(report.exportFolder.path()).size(), 1);
    QVERIFY(repaintChances >= 3);
    QVERIFY(barShown);
    // The bar counts the rows written, then says the file is being finished.
    QVERIFY(barTexts.value(0).startsWith(QLatin1String("Exportando: ")));
    const QRegularExpression barText(
        QStringLiteral("^(Exportando: \\d+ de 4500 linhas|Finalizando a planilha\\.\\.\\.)$"));
    for (const QString& text : barTexts)
        QVERIFY2(barText.match(text).hasMatch(), qPrintable(text));
    QVERIFY(bar->isHidden());
    KORVA_SKIP_WITHOUT_UNZIP();
    const Workbook book = readWorkbook(report.shell.opened.first().toLocalFile());
    QCOMPARE(book.lastRow, 4502); // the rows and their totals
    QVERIFY(qFuzzyCompare(book.cell(QStringLiteral("C4501")).value.toDouble(),
                          serialOf(QDateTime(today, QTime(12, 29, 50)))));
    QCOMPARE(report.grid()->currentIndex().row(), 4499);
}

void tst_UntRelarios::fuelingStoredByTheFuelingWindowIsReported_data() {
    TestDatabase::addDriverRows();
}

void tst_UntRelarios::fuelingStoredByTheFuelingWindowIsReported() {
    QFETCH(QString, driver);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    ReportWindow report(driver);
    addFuelingCatalogue(report.db);
    NoWait wait;
    GuessLimiter pinGuesses;
    TfrmLancamento fueling(report.db.connection(), station,
                           Services{report.messages, report.clock, report.shell}, wait, pinGuesses);
    fueling.show();
    QVERIFY(QTest::qWaitForWindowActive(&fueling));
    const auto typeAndEnter = [](const QString& text) {
        QTest::keyClicks(QApplication::focusWidget(), text);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    };
    typeAndEnter(QStringLiteral("ABC1234"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); // the plate's lookup button
    fueling.findChild<QLineEdit*>(QStringLiteral("fiQtde"))->setFocus(Qt::TabFocusReason);
    for (const char* typed : {"40", "236", "1500", "55", "1234"})
        typeAndEnter(QLatin1String(typed));
    QTest::mouseClick(fueling.findChild<QPushButton*>(QStringLiteral("BitBtn1")), Qt::LeftButton);
    QCOMPARE(report.messages.count(), 1);
    QCOMPARE(report.messages.last().text, QStringLiteral("Dados Gravados Com Sucesso!"));
    QVERIFY(fueling.isHidden());

    report.show();
    const QString listed =
        QStringLiteral("||15/03/2024 10:00:00|ABC1234|V-01|55|Joao da Silva|40,00|5,90|236,00|"
                       "DIESEL S10||");
    const QStringList summary{QStringLiteral("DIESEL S10|40,00|5,90|236,00")};
    const auto expectRun = [&](Tipo tipo, const QString& row) {
        report.run(QStringLiteral("10"), tipo);
        QCOMPARE(rowTexts(*report.grid()), row.isEmpty() ? QStringList() : QStringList{row});
        QCOMPARE(report.qtde()->text(), row.isEmpty() ? QStringLiteral("0,00") : QStringLiteral("40,00"));
        QCOMPARE(report.total()->text(), row.isEmpty() ? QStringLiteral("0,00") : QStringLiteral("236,00"));
        QCOMPARE(report.summaryRows(), summary);
    };
    expectRun(Lancado, listed);
    expectRun(Validado, QString());
    expectRun(Faturado, QString());
    expectRun(Todos, listed);

    report.exportReport();
    QCOMPARE(report.shell.opened.size(), 1);
    KORVA_SKIP_WITHOUT_UNZIP();
    const Workbook book = readWorkbook(report.shell.opened.first().toLocalFile());
    QCOMPARE(book.lastRow, 3);
    QCOMPARE(book.cell(QStringLiteral("C2")).format, QStringLiteral("dd/mm/yyyy hh:mm:ss"));
    QVERIFY(qFuzzyCompare(book.cell(QStringLiteral("C2")).value.toDouble(), serialOf(report.clock.moment)));
    QCOMPARE(book.cell(QStringLiteral("D2")).value, QStringLiteral("ABC1234"));
    QVERIFY(qFuzzyCompare(book.cell(QStringLiteral("H2")).value.toDouble(), 40));
    QVERIFY(qFuzzyCompare(book.cell(QStringLiteral("J2")).value.toDouble(), 236));
    for (const char* empty : {"A2", "B2", "L2", "M2"})
        QVERIFY2(!book.has(QLatin1String(empty)), empty);

    // The receipt validated, then the fueling invoiced, by the fleet system.
    report.db.exec(QStringLiteral("UPDATE ZeltoMov SET ChaveAcesso = '%1', Faturado = 'N' WHERE IDPosto = 7")
                       .arg(chaveC));
    expectRun(Lancado, QString());
    expectRun(Validado, listed + chaveC);
    report.db.exec(QStringLiteral("UPDATE ZeltoMov SET Faturado = 'S' WHERE IDPosto = 7"));
    expectRun(Validado, QString());
    expectRun(Faturado, listed + chaveC);
    QVERIFY(samePicture(report.grid()->model()->index(0, 0).data(Qt::DecorationRole),
                        ReportImages::invoicedMark()));
    QVERIFY(samePicture(report.grid()->model()->index(0, 1).data(Qt::DecorationRole),
                        ReportImages::validatedMark()));
    QCOMPARE(report.messages.count(), 1);
}

QTEST_MAIN(tst_UntRelarios)
#include "tst_UntRelarios.moc"
