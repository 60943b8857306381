#include "ReportFixture.h"
#include "TdsStandIn.h"

#include "report/UntPesqEmpresas.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace fixture;

namespace {
// The search window on a database of the station's clients, shown and active.
struct SearchWindow {
    explicit SearchWindow(const QString& driver) : db(driver) {
        addClients(db);
        window =
            std::make_unique<TfrmPesqEmpresas>(db.connection(), station, Services{messages, clock, shell});
    }
    void show() {
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    QLineEdit* fiNome() const { return window->findChild<QLineEdit*>(QStringLiteral("fiNome")); }
    QTableView* grid() const { return window->findChild<QTableView*>(QStringLiteral("DBGrid1")); }
    QPushButton* btSair() const { return window->findChild<QPushButton*>(QStringLiteral("btSair")); }
    QStringList razoes() const { return columnTexts(*grid(), 1); }
    void clickRow(int row) const {
        const QModelIndex cell = grid()->model()->index(row, 1);
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, grid()->visualRect(cell).center());
    }

    TestDatabase db;
    ScriptedMessages messages;
    FixedClock clock{QDateTime(today, QTime(10, 0))};
    RecordingShell shell;
    std::unique_ptr<TfrmPesqEmpresas> window;
};

const QStringList everyClient{QStringLiteral("Transportes Alfa Ltda"), QStringLiteral("Beta Logistica S/A"),
                              QStringLiteral("Gama_Fretes ME"), QStringLiteral("Auto Pecas D'Oeste")};
} // namespace

class tst_UntPesqEmpresas : public QObject {
    Q_OBJECT

private slots:
    void windowLayout();
    void showingListsEveryClientOfTheStation_data();
    void showingListsEveryClientOfTheStation();
    void typingFiltersTheList_data();
    void typingFiltersTheList();
    void clientLinkedTwiceIsListedTwice_data();
    void clientLinkedTwiceIsListedTwice();
    void closingHandsOverTheRowTheUserWasOn_data();
    void closingHandsOverTheRowTheUserWasOn();
    void databaseErrorLeavesTheListEmpty_data();
    void databaseErrorLeavesTheListEmpty();
    void bracketReachesSqlServerAsALetter();
};

void tst_UntPesqEmpresas::windowLayout() {
    SearchWindow search(QStringLiteral("QSQLITE"));
    QCOMPARE(search.window->windowTitle(), QStringLiteral("Pesquisar Clientes"));
    QCOMPARE(search.window->size(), QSize(624, 455));
    QCOMPARE(search.window->findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("Nome"));
    QCOMPARE(search.btSair()->text(), QStringLiteral("Sair"));
    QVERIFY(!search.btSair()->icon().isNull());
    QCOMPARE(search.grid()->toolTip(), QStringLiteral("Duplo clique para selecionar"));
    QCOMPARE(titles(*search.grid()),
             QStringList({QStringLiteral("Código"), QStringLiteral("Razão"), QStringLiteral("CNPJ")}));
    QCOMPARE(search.grid()->columnWidth(0), 48);
    QCOMPARE(search.grid()->columnWidth(1), 338);
    QCOMPARE(search.grid()->columnWidth(2), 134);
}

void tst_UntPesqEmpresas::showingListsEveryClientOfTheStation_data() {
    TestDatabase::addDriverRows();
}

void tst_UntPesqEmpresas::showingListsEveryClientOfTheStation() {
    QFETCH(QString, driver);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    SearchWindow search(driver);
    search.fiNome()->setText(QStringLiteral("left from last time"));
    search.show();

    QCOMPARE(search.fiNome()->text(), QString());
    QCOMPARE(QApplication::focusWidget(), search.fiNome());
    QCOMPARE(search.razoes(), everyClient);
    // The client's own code and CNPJ, not the station row's of the same names.
    QCOMPARE(columnTexts(*search.grid(), 0), QStringList({"10", "11", "12", "13"}));
    QCOMPARE(columnTexts(*search.grid(), 2).first(), QStringLiteral("12345678000190"));
    QCOMPARE(search.messages.count(), 0);
}

void tst_UntPesqEmpresas::typingFiltersTheList_data() {
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("backspaces");
    QTest::addColumn<QStringList>("listed");
    for (const QString& driver : TestDatabase::drivers()) {
        const QByteArray name = driver.toUtf8();
        const char* d = name.constData();
        QTest::addRow("%s: part inside a name", d)
            << driver << "logis" << 0 << QStringList{everyClient.at(1)};
        QTest::addRow("%s: other letter case", d) << driver << "ALFA" << 0 << QStringList{everyClient.at(0)};
        QTest::addRow("%s: percent alone lists every client", d) << driver << "%" << 0 << everyClient;
        QTest::addRow("%s: underscore stands for any one letter", d)
            << driver << "B_ta" << 0 << QStringList{everyClient.at(1)};
        QTest::addRow("%s: underscore also matches itself", d)
            << driver << "Gama_" << 0 << QStringList{everyClient.at(2)};
        QTest::addRow("%s: a quote is searched as typed", d)
            << driver << "D'O" << 0 << QStringList{everyClient.at(3)};
        QTest::addRow("%s: a pasted statement is only text", d)
            << driver << "x' OR '1'='1" << 0 << QStringList();
        QTest::addRow("%s: nothing matches", d) << driver << "zzz" << 0 << QStringList();
        QTest::addRow("%s: deleting it all brings the whole list back", d)
            << driver << "alfa" << 4 << everyClient;
        QTest::addRow("%s: another station's client is never listed", d)
            << driver << "Delta" << 0 << QStringList();
    }
}

void tst_UntPesqEmpresas::typingFiltersTheList() {
    QFETCH(QString, driver);
    QFETCH(QString, typed);
    QFETCH(int, backspaces);
    QFETCH(QStringList, listed);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    SearchWindow search(driver);
    search.show();

    QTest::keyClicks(search.fiNome(), typed);
    for (int i = 0; i < backspaces; ++i)
        QTest::keyClick(search.fiNome(), Qt::Key_Backspace);

    QCOMPARE(search.razoes(), listed);
    QCOMPARE(search.messages.count(), 0);
    QCOMPARE(search.db.scalar(QStringLiteral("SELECT COUNT(*) FROM Empresas")).toInt(), 5);
}

void tst_UntPesqEmpresas::clientLinkedTwiceIsListedTwice_data() {
    TestDatabase::addDriverRows();
}

void tst_UntPesqEmpresas::clientLinkedTwiceIsListedTwice() {
    QFETCH(QString, driver);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    SearchWindow search(driver);
    search.db.exec(QStringLiteral("INSERT INTO ZeltoPostos (id, id_empresa, Cnpj, Senha, nome) VALUES "
                                  "(7, 10, '11222333000181', 'senha', 'Posto Korva Centro')"));
    search.show();
    QTest::keyClicks(search.fiNome(), QStringLiteral("Alfa"));
    QCOMPARE(search.razoes(), QStringList({everyClient.at(0), everyClient.at(0)}));
}

void tst_UntPesqEmpresas::closingHandsOverTheRowTheUserWasOn_data() {
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("clickedRow");
    QTest::addColumn<QString>("closing");
    QTest::addColumn<QString>("chosenRazao");
    for (const QString& driver : TestDatabase::drivers()) {
        const QByteArray name = driver.toUtf8();
        const char* d = name.constData();
        QTest::addRow("%s: double-click on a row", d)
            << driver << "" << 2 << "double-click row" << everyClient.at(2);
        QTest::addRow("%s: double-click below the rows takes the current one", d)
            << driver << "" << 1 << "double-click below" << everyClient.at(1);
        QTest::addRow("%s: close box takes the current row", d)
            << driver << "" << 3 << "close box" << everyClient.at(3);
        QTest::addRow("%s: untouched list, close box takes the first row", d)
            << driver << "" << -1 << "close box" << everyClient.at(0);
        QTest::addRow("%s: Sair gives no choice even on a row", d)
            << driver << "" << 1 << "Sair" << QString();
        QTest::addRow("%s: nothing found, close box", d) << driver << "zzz" << -1 << "close box" << QString();
        QTest::addRow("%s: nothing found, double-click", d)
            << driver << "zzz" << -1 << "double-click below" << QString();
    }
}

void tst_UntPesqEmpresas::closingHandsOverTheRowTheUserWasOn() {
    QFETCH(QString, driver);
    QFETCH(QString, typed);
    QFETCH(int, clickedRow);
    QFETCH(QString, closing);
    QFETCH(QString, chosenRazao);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    SearchWindow search(driver);
    search.show();
    QTest::keyClicks(search.fiNome(), typed);
    if (clickedRow >= 0)
        search.clickRow(clickedRow);

    QTableView* grid = search.grid();
    if (closing == QLatin1String("double-click row")) {
        const QRect cell = grid->visualRect(grid->model()->index(clickedRow, 1));
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    } else if (closing == QLatin1String("double-click below")) {
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, QPoint(60, grid->viewport()->height() - 5));
    } else if (closing == QLatin1String("close box")) {
        search.window->close();
    } else {
        QTest::mouseClick(search.btSair(), Qt::LeftButton);
    }

    QVERIFY(!search.window->isVisible());
    const auto choice = search.window->takeChoice();
    QCOMPARE(choice.has_value(), !chosenRazao.isEmpty());
    if (choice) {
        QCOMPARE(choice->razao, chosenRazao);
        QCOMPARE(choice->id, QString::number(10 + everyClient.indexOf(chosenRazao)));
        // Taking the choice closes the result: nothing is handed over twice.
        QVERIFY(!search.window->takeChoice());
    }
}

void tst_UntPesqEmpresas::databaseErrorLeavesTheListEmpty_data() {
    TestDatabase::addDriverRows();
}

void tst_UntPesqEmpresas::databaseErrorLeavesTheListEmpty() {
    QFETCH(QString, driver);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    SearchWindow search(driver);
    search.show();
    QCOMPARE(search.razoes(), everyClient);
    search.db.exec(QStringLiteral("ALTER TABLE Empresas RENAME TO EmpresasGuardadas"));

    QTest::keyClicks(search.fiNome(), QStringLiteral("a"));

    QCOMPARE(search.messages.count(), 1);
    QCOMPARE(search.messages.last().caption, QStringLiteral("KORVAPosto"));
    QCOMPARE(search.messages.last().icon, Messages::Icon::Error);
    QVERIFY(search.messages.last().text.contains(QLatin1String("Empresas")));
    QCOMPARE(search.razoes(), QStringList());
    QVERIFY(!search.window->takeChoice());

    search.db.exec(QStringLiteral("ALTER TABLE EmpresasGuardadas RENAME TO Empresas"));
    QTest::keyClick(search.fiNome(), Qt::Key_Backspace);
    QCOMPARE(search.razoes(), everyClient);
}

// T-SQL's LIKE reads "[" as the start of a character class ("[CENTRO]" would match one letter): the typed
// name reaches SQL Server with it written as the letter itself, on the wire of the TDS stand-in.
void tst_UntPesqEmpresas::bracketReachesSqlServerAsALetter() {
    if (const QString why = TdsStandIn::unavailableReason(); !why.isEmpty())
        QSKIP(qPrintable(why));
    TdsStandIn server(QByteArray(R"js([{"match": "razao", "columns": [{"name": "id", "type": "int"},
        {"name": "razao", "type": "varchar(60)"}, {"name": "cnpj", "type": "varchar(14)"}], "rows": []}])js"));
    TdmConexao connection(ConnectionSettings::sqlServer(server.login()));
    ScriptedMessages messages;
    FixedClock clock{QDateTime(today, QTime(10, 0))};
    RecordingShell shell;
    TfrmPesqEmpresas window(connection, station, Services{messages, clock, shell});
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClicks(window.findChild<QLineEdit*>(QStringLiteral("fiNome")), QStringLiteral("[CENTRO] 5%"));

    QStringList sent;
    for (const QJsonObject& request : server.requests())
        for (const QJsonValue& parameter : request.value("parameters").toArray())
            sent << parameter.toObject().value("value").toString();
    QVERIFY2(sent.contains(QStringLiteral("%[[]CENTRO] 5%%")), qPrintable(sent.join(" | ")));
}

QTEST_MAIN(tst_UntPesqEmpresas)
#include "tst_UntPesqEmpresas.moc"
