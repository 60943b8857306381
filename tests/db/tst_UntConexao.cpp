#include "BuildConfig.h"
#include "Doubles.h"
#include "TdsStandIn.h"
#include "TestDatabase.h"
#include "db/UntConexao.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

void setLines(Query& query, const QStringList& lines) {
    query.close();
    query.clearSql();
    for (const QString& line : lines)
        query.addLine(line);
}

QString errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const DatabaseError& error) {
        return QString::fromUtf8(error.what());
    }
    return QStringLiteral("(no error)");
}

const QString station =
    QStringLiteral("INSERT INTO Empresas VALUES (3, 'Transportes Alfa', '11222333000144');"
                   "INSERT INTO ZeltoPostos VALUES (1, 3, '12345678000190', 'abc', 'Posto Um');"
                   "INSERT INTO VeiMarcas VALUES (1, 'Volvo');"
                   "INSERT INTO VeiModelos VALUES (1, 'FH 540');"
                   "INSERT INTO VeiculosNovo VALUES (7, 'ABC1234', 3, 'V-07', 21, 1, 1);"
                   "INSERT INTO AdicionaisVeiculos VALUES (7, 400, 2.2, 3.1);"
                   "INSERT INTO Motoristas VALUES (3, 15, 'Ana Souza', '0123', 'A');");

} // namespace

class TestUntConexao final : public QObject {
    Q_OBJECT

private slots:
    void markers_data();
    void markers();
    void plainColon();
    void valuesKeptAcrossTextChanges_data() { TestDatabase::addDriverRows(); }
    void valuesKeptAcrossTextChanges();
    void unknownNames_data();
    void unknownNames();
    void readings_data();
    void readings();
    void computedColumnsReadAlike_data() { TestDatabase::addDriverRows(); }
    void computedColumnsReadAlike();
    void dateTimeRoundTrip_data() { TestDatabase::addDriverRows(); }
    void dateTimeRoundTrip();
    void periodBounds_data();
    void periodBounds();
    void storedValueKinds_data() { TestDatabase::addDriverRows(); }
    void storedValueKinds();
    void previousOdometer_data() { TestDatabase::addDriverRows(); }
    void previousOdometer();
    void staticCursor_data() { TestDatabase::addDriverRows(); }
    void staticCursor();
    void transactions_data();
    void transactions();
    void closedConnectionReopensOnQuery_data() { TestDatabase::addDriverRows(); }
    void closedConnectionReopensOnQuery();
    void unreachableDatabase_data();
    void unreachableDatabase();
    void statementErrorsCarryProviderMessage_data() { TestDatabase::addDriverRows(); }
    void statementErrorsCarryProviderMessage();
    void whatSqlServerReceives_data();
    void whatSqlServerReceives();
    void lookupsOverTheServersLink_data();
    void lookupsOverTheServersLink();
    void fuelingCompanyTrigger_data();
    void fuelingCompanyTrigger();
    void textComparisonIgnoresCase_data();
    void textComparisonIgnoresCase();
    void lookupsUseIndexes_data();
    void lookupsUseIndexes();
};

void TestUntConexao::markers_data() {
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("bindAs");
    QTest::addColumn<QStringList>("parameters");

    struct Case {
        const char* name;
        QStringList lines;
        const char* bindAs;
        QStringList parameters;
    };
    const QList<Case> cases = {
        {"name ends at a blank",
         {"SELECT razao FROM Empresas WHERE razao = :pRazao AND id = 3"},
         "pRazao",
         {"pRazao"}},
        {"name ends at the line break",
         {"SELECT razao FROM Empresas", "WHERE razao = :pRazao", "AND id = 3"},
         "pRazao",
         {"pRazao"}},
        {"name ends at a comma",
         {"SELECT razao FROM Empresas WHERE razao IN (:pRazao,'x')"},
         "pRazao",
         {"pRazao"}},
        {"name ends at a parenthesis",
         {"SELECT razao FROM Empresas WHERE razao IN ('x',:pRazao)"},
         "pRazao",
         {"pRazao"}},
        {"name ends at a semicolon",
         {"SELECT razao FROM Empresas WHERE razao = :pRazao;"},
         "pRazao",
         {"pRazao"}},
        {"colons in quoted text mark nothing",
         {"SELECT razao, razao AS \"r:azao\", ':pNada' AS t FROM Empresas WHERE razao = :pRazao AND ':x' <> "
          "''"},
         "pRazao",
         {"pRazao"}},
        {"names match without regard to case",
         {"SELECT razao FROM Empresas WHERE razao = :pRazao"},
         "PRAZAO",
         {"pRazao"}},
        {"a name used twice is one parameter",
         {"SELECT razao FROM Empresas WHERE razao = :pRazao OR cnpj = :PRAZAO"},
         "prazao",
         {"pRazao"}},
        {"several parameters in order",
         {"SELECT razao FROM Empresas WHERE id = :pId AND", "razao = :pRazao"},
         "pRazao",
         {"pId", "pRazao"}},
    };
    QStringList names;
    for (const Case& c : cases)
        names.append(QString::fromLatin1(c.name));
    TestDatabase::addDriverRows(names, [&](QTestData& row, int i) {
        row << cases.at(i).lines << QString::fromLatin1(cases.at(i).bindAs) << cases.at(i).parameters;
    });
}

void TestUntConexao::markers() {
    QFETCH(QString, driver);
    QFETCH(QStringList, lines);
    QFETCH(QString, bindAs);
    QFETCH(QStringList, parameters);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    TestDatabase db(driver);
    db.exec(station);

    Query query(db.connection());
    setLines(query, lines);
    QCOMPARE(query.parameterNames(), parameters);
    QCOMPARE(query.sqlText(), lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    query.bindText(bindAs, QStringLiteral("Transportes Alfa"));
    if (parameters.contains(QStringLiteral("pId")))
        query.bindInteger(QStringLiteral("pid"), 3);
    query.open();

    QCOMPARE(query.rowCount(), 1);
    QCOMPARE(query.asString(QStringLiteral("razao")), QStringLiteral("Transportes Alfa"));
    if (query.fieldIndex(QStringLiteral("t")) >= 0)
        QCOMPARE(query.asString(QStringLiteral("t")), QStringLiteral(":pNada"));
}

void TestUntConexao::plainColon() {
    TestDatabase db;
    Query query(db.connection());
    setLines(query, {"SELECT a::b FROM t"});
    QVERIFY(query.parameterNames().isEmpty());
    QCOMPARE(query.sentText(), QStringLiteral("SELECT a:b FROM t\r\n"));

    setLines(query, {"SELECT '10::30' AS quoted, :pValor AS v"});
    QCOMPARE(query.parameterNames(), QStringList{"pValor"});
    query.bindInteger(QStringLiteral("pValor"), 5);
    query.open();
    QCOMPARE(query.asString(QStringLiteral("quoted")), QStringLiteral("10::30"));
    QCOMPARE(query.asInteger(QStringLiteral("v")), 5);

    // Qt would take ":x" for one of its own placeholders beside ours: refused rather than bound wrongly.
    setLines(query, {"SELECT :pValor AS v, ::x AS plain"});
    query.bindInteger(QStringLiteral("pValor"), 1);
    QVERIFY(errorOf([&] { query.open(); }).startsWith(QStringLiteral("A plain colon before a name")));
}

void TestUntConexao::valuesKeptAcrossTextChanges() {
    QFETCH(QString, driver);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    TestDatabase db(driver);
    db.exec(station);

    Query query(db.connection());
    setLines(query, {"SELECT razao FROM Empresas"});
    query.open();
    QVERIFY(query.isOpen());

    query.addLine(QStringLiteral("WHERE id = :pId"));
    QVERIFY(!query.isOpen()); // each change of the text closes the query
    query.bindInteger(QStringLiteral("pId"), 3);
    query.addLine(QStringLiteral("AND razao = :pRazao"));
    QCOMPARE(query.boundValue(QStringLiteral("PID")), QVariant(3));
    QVERIFY(query.boundValue(QStringLiteral("pRazao")).isNull());
    query.bindText(QStringLiteral("pRazao"), QStringLiteral("Transportes Alfa"));
    query.open();
    QCOMPARE(query.rowCount(), 1);

    // A name that leaves the text takes its value with it.
    query.clearSql();
    QVERIFY(query.parameterNames().isEmpty());
    query.addLine(QStringLiteral("SELECT razao FROM Empresas WHERE id = :pId"));
    QVERIFY(query.boundValue(QStringLiteral("pId")).isNull());
    query.open();
    QVERIFY(query.isEmpty());
}

void TestUntConexao::unknownNames_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("message");
    QTest::newRow("binding an unknown parameter") << "bind"
                                                  << "Parameter 'pNada' not found";
    QTest::newRow("reading an unknown parameter") << "boundValue"
                                                  << "Parameter 'pNada' not found";
    QTest::newRow("reading an unknown field as text") << "asString"
                                                      << "Field 'Nada' not found";
    QTest::newRow("reading an unknown field as integer") << "asInteger"
                                                         << "Field 'Nada' not found";
    QTest::newRow("reading an unknown field as real") << "asFloat"
                                                      << "Field 'Nada' not found";
    QTest::newRow("asking an unknown field for NULL") << "isNull"
                                                      << "Field 'Nada' not found";
    QTest::newRow("reading a field of a closed query") << "closed"
                                                       << "Field 'razao' not found";
}

void TestUntConexao::unknownNames() {
    QFETCH(QString, operation);
    QFETCH(QString, message);
    TestDatabase db;
    db.exec(station);
    Query query(db.connection());
    setLines(query, {"SELECT razao FROM Empresas WHERE id = :pId"});
    query.bindInteger(QStringLiteral("pId"), 3);
    query.open();

    const QString nada = QStringLiteral("Nada");
    const QHash<QString, std::function<void()>> operations = {
        {"bind", [&] { query.bindText(QStringLiteral("pNada"), QStringLiteral("x")); }},
        {"boundValue", [&] { query.boundValue(QStringLiteral("pNada")); }},
        {"asString", [&] { query.asString(nada); }},
        {"asInteger", [&] { query.asInteger(nada); }},
        {"asFloat", [&] { query.asFloat(nada); }},
        {"isNull", [&] { query.isNull(nada); }},
        {"closed",
         [&] {
             query.close();
             query.asString(QStringLiteral("razao"));
         }},
    };
    QCOMPARE(errorOf(operations.value(operation)), message);
}

void TestUntConexao::readings_data() {
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("real");
    QTest::addColumn<bool>("null");

    struct Case {
        const char* name;
        const char* field;
        const char* text;
        double real;
        bool null;
    };
    const QList<Case> cases = {
        {"NULL text", "NrCupom", "", 0, true},
        {"NULL number", "VrUnitario", "", 0, true},
        {"decimal with comma", "Qtde", "12,5", 12.5, false},
        {"whole real without decimals", "VrTotal", "40", 40, false},
        {"no thousands separator", "Rendimento", "1234567,891", 1234567.891, false},
        {"integer", "KmAtual", "15000", 15000, false},
        {"empty text is no NULL", "NrCartao", "", 0, false},
        {"text", "TpCombustivel", "DIESEL S10", 0, false},
        {"date-time", "DtEmissao", "05/10/2026 14:30:15", 0, false},
        {"field name in other case", "qtde", "12,5", 12.5, false},
        {"date-time at midnight", "ChaveAcesso", "05/10/2026 00:00:00", 0, false},
        {"impossible date stays text", "IntegradoAdd", "2026-02-30 10:00:00.000", 0, false},
        {"text longer than a block of texts", "Faturado", nullptr, 0, false},
    };
    // Longer than the query holds among its other texts.
    const QString longText(4200000, QLatin1Char('0'));
    QStringList names;
    for (const Case& c : cases)
        names.append(QString::fromLatin1(c.name));
    TestDatabase::addDriverRows(names, [&](QTestData& row, int i) {
        const Case& c = cases.at(i);
        row << QString::fromLatin1(c.field) << (c.text ? QString::fromLatin1(c.text) : longText) << c.real
            << c.null;
    });
}

void TestUntConexao::readings() {
    QFETCH(QString, driver);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(double, real);
    QFETCH(bool, null);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    TestDatabase db(driver);
    db.exec("INSERT INTO ZeltoMov (IDVeiculo, DtEmissao, NrCartao, KmAtual, Qtde, VrTotal, TpCombustivel, "
            "Rendimento, ChaveAcesso, IntegradoAdd, Faturado)"
            " VALUES (7, '2026-10-05 14:30:15.250', '', 15000, 12.5, 40, 'DIESEL S10', 1234567.891,"
            " '2026-10-05 00:00:00.000', '2026-02-30 10:00:00.000', hex(zeroblob(2100000)))");

    Query query(db.connection());
    setLines(query, {"SELECT * FROM ZeltoMov"});
    query.open();
    QCOMPARE(query.asString(field), text);
    QCOMPARE(query.isNull(field), null);
    if (null || real != 0) { // NULL reads as 0; texts are not read as numbers here
        QCOMPARE(query.asFloat(field), real);
        QCOMPARE(query.asInteger(field), qint32(std::round(real)));
    }
    const int column = query.fieldIndex(field);
    QCOMPARE(query.text(0, column), text);
}

void TestUntConexao::computedColumnsReadAlike() {
    QFETCH(QString, driver);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    TestDatabase db(driver);
    // The first fuel's quantities sum to zero, so its unit value is NULL on the embedded engine.
    db.exec("INSERT INTO ZeltoMov (IDVeiculo, DtEmissao, Qtde, VrTotal, TpCombustivel) VALUES"
            " (7, '2026-10-01 08:00:00.000', 0, 0, 'ARLA 32'),"
            " (7, '2026-10-01 09:00:00.000', 40, 220, 'DIESEL S10'),"
            " (7, '2026-10-02 09:00:00.000', 60, 330, 'DIESEL S10')");
    Query query(db.connection());
    setLines(query,
             {"SELECT TpCombustivel, SUM(Qtde) AS QTDE, SUM(VrTotal) / NULLIF(SUM(Qtde), 0) AS VLUNIT,",
              "COUNT(*) AS N FROM ZeltoMov GROUP BY TpCombustivel ORDER BY TpCombustivel"});
    query.open();
    QCOMPARE(query.rowCount(), 2);
    QVERIFY(query.isNull(QStringLiteral("VLUNIT")));
    query.next();
    QCOMPARE(query.asString(QStringLiteral("QTDE")), QStringLiteral("100"));
    QCOMPARE(query.asString(QStringLiteral("VLUNIT")), QStringLiteral("5,5"));
    QCOMPARE(query.value(1, query.fieldIndex(QStringLiteral("VLUNIT"))), QVariant(5.5));
    QCOMPARE(query.value(1, query.fieldIndex(QStringLiteral("N"))), QVariant(qlonglong(2)));
}

void TestUntConexao::dateTimeRoundTrip() {
    QFETCH(QString, driver);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    TestDatabase db(driver);
    const QDateTime moment(QDate(2026, 11, 3), QTime(7, 5, 9, 42));

    Query query(db.connection());
    setLines(query, {"INSERT INTO ZeltoMov (IDVeiculo, DtEmissao) VALUES (7, :pDtEmissao)"});
    query.bindDateTime(QStringLiteral("pDtEmissao"), moment);
    query.execSQL();
    QCOMPARE(db.scalar("SELECT DtEmissao FROM ZeltoMov"),
             QVariant(QStringLiteral("2026-11-03 07:05:09.042")));

    setLines(query, {"SELECT DtEmissao FROM ZeltoMov"});
    query.open();
    QCOMPARE(query.value(0, 0), QVariant(moment));
    QCOMPARE(query.asString(QStringLiteral("DtEmissao")), QStringLiteral("03/11/2026 07:05:09"));
}

void TestUntConexao::periodBounds_data() {
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("stamp");
    QTest::addColumn<bool>("listed");
    const QStringList stamps = {"2026-10-04 23:59:59.999", "2026-10-05 00:00:00.000",
                                "2026-10-06 12:00:00.000", "2026-10-07 23:59:59.000",
                                "2026-10-07 23:59:59.500", "2026-10-08 00:00:00.000"};
    const QList<bool> listed = {false, true, true, true, true, false};
    TestDatabase::addDriverRows({"last moment of the day before", "first moment of the first day",
                                 "a day inside", "23:59:59 of the last day", "later within the last second",
                                 "the day after"},
                                [&](QTestData& row, int i) { row << stamps.at(i) << listed.at(i); });
}

void TestUntConexao::periodBounds() {
    QFETCH(QString, driver);
    QFETCH(QString, stamp);
    QFETCH(bool, listed);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    TestDatabase db(driver);
    db.exec(QStringLiteral("INSERT INTO ZeltoMov (IDVeiculo, DtEmissao) VALUES (7, '%1')").arg(stamp));

    Query query(db.connection());
    // The period as the report binds it: from the first day's midnight up to, not including, the midnight
    // after the last day.
    setLines(query, {"SELECT * FROM ZeltoMov",
                     "WHERE ZeltoMov.DtEmissao >= :pdtaini and ZeltoMov.DtEmissao < :pdtafim"});
    query.bindDateTime(QStringLiteral("pDtaIni"), QDateTime(QDate(2026, 10, 5), QTime(0, 0, 0)));
    query.bindDateTime(QStringLiteral("pDtaFim"), QDateTime(QDate(2026, 10, 8), QTime(0, 0, 0)));
    query.open();
    QCOMPARE(query.rowCount(), listed ? 1 : 0);
}

void TestUntConexao::storedValueKinds() {
    QFETCH(QString, driver);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    TestDatabase db(driver);
    db.exec(station);

    Query query(db.connection());
    setLines(
        query,
        {"INSERT INTO ZeltoMov (IDVeiculo, DtEmissao, NrCartao, IDPosto, Qtde, Rendimento, NrCupom, Empresa)",
         "VALUES (:pIDVeiculo, :pDtEmissao, :pNrCartao, :pIDPosto, :pQtde, :pRendimento, :pNrCupom, "
         ":pEmpresa)"});
    query.bindDouble(QStringLiteral("pIDVeiculo"), 7);
    query.bindDateTime(QStringLiteral("pDtEmissao"), QDateTime(QDate(2026, 10, 5), QTime(8, 0)));
    query.bindText(QStringLiteral("pNrCartao"), QString());
    query.bindInteger(QStringLiteral("pIDPosto"), 1);
    query.bindDouble(QStringLiteral("pQtde"), 40.25);
    query.bindByte(QStringLiteral("pRendimento"), 0);
    query.bindNull(QStringLiteral("pNrCupom"));
    query.bindByte(QStringLiteral("pEmpresa"), 4);
    query.execSQL();

    const QVariantMap row =
        db.rows("SELECT typeof(IDVeiculo) AS v, IDVeiculo, NrCartao, typeof(NrCartao) AS c,"
                " Qtde, Rendimento, typeof(NrCupom) AS n, Empresa, typeof(Empresa) AS e"
                " FROM ZeltoMov")
            .value(0);
    QCOMPARE(row.value("v"), QVariant("integer"));
    QCOMPARE(row.value("IDVeiculo"), QVariant(qlonglong(7)));
    QCOMPARE(row.value("c"), QVariant("text"));
    QCOMPARE(row.value("NrCartao"), QVariant(""));
    QCOMPARE(row.value("Qtde"), QVariant(40.25));
    QCOMPARE(row.value("Rendimento"), QVariant(0.0));
    QCOMPARE(row.value("n"), QVariant("null"));
    QCOMPARE(row.value("e"), QVariant("integer"));
    QCOMPARE(row.value("Empresa"), QVariant(qlonglong(4)));
}

void TestUntConexao::previousOdometer() {
    QFETCH(QString, driver);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    TestDatabase db(driver);
    db.exec(station);
    db.exec("INSERT INTO ZeltoMov (IDVeiculo, DtEmissao, KmAtual) VALUES"
            " (7, '2026-10-01 08:00:00.000', 10000), (7, '2026-10-20 08:00:00.000', 12000),"
            " (7, '2026-10-10 08:00:00.000', 11000)");
    Query query(db.connection());
    setLines(query, {"SELECT TOP(1) KmAtual ", "FROM ZeltoMov",
                     "INNER JOIN VeiculosNovo ON VeiculosNovo.ID = ZeltoMov.IDVeiculo",
                     "WHERE VeiculosNovo.Placa = :pPlaca", "ORDER BY DtEmissao DESC"});
    query.bindText(QStringLiteral("pPlaca"), QStringLiteral("ABC1234"));
    query.open();
    QCOMPARE(query.rowCount(), 1);
    QCOMPARE(query.asString(QStringLiteral("KmAtual")), QStringLiteral("12000"));
}

void TestUntConexao::staticCursor() {
    QFETCH(QString, driver);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    TestDatabase db(driver);
    db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000)"
            " INSERT INTO Empresas (id, razao, cnpj) SELECT i, 'Cliente ' || i, NULL FROM n;"
            "INSERT INTO ZeltoPostos VALUES (1, 1, '12345678000190', 'abc', 'Posto Um');");
    Query query(db.connection());
    setLines(query, {"SELECT * ", "FROM Empresas",
                     "INNER JOIN ZeltoPostos ON ZeltoPostos.id_empresa = Empresas.id"});
    query.open();
    // Both tables have id: the name means the first of them, the company's.
    QCOMPARE(query.fieldNames().count(QStringLiteral("id")), 2);
    QCOMPARE(query.asString(QStringLiteral("ID")), QStringLiteral("1"));
    QCOMPARE(query.asString(QStringLiteral("nome")), QStringLiteral("Posto Um"));

    setLines(query, {"SELECT id, razao FROM Empresas ORDER BY id"});
    query.open();
    QCOMPARE(query.rowCount(), 2000);
    QCOMPARE(query.fieldCount(), 2);
    int walked = 0;
    qlonglong sum = 0;
    for (query.first(); !query.eof(); query.next()) {
        ++walked;
        sum += query.asInteger(QStringLiteral("id"));
    }
    QCOMPARE(walked, 2000);
    QCOMPARE(sum, 2000LL * 2001 / 2);
    QVERIFY(query.isNull(QStringLiteral("razao"))); // past the last row every field reads as NULL
    query.first();
    QCOMPARE(query.asString(QStringLiteral("razao")), QStringLiteral("Cliente 1"));
    QCOMPARE(query.text(1999, 1), QStringLiteral("Cliente 2000"));
    QCOMPARE(query.value(1999, 0), QVariant(qlonglong(2000)));
    query.setCurrentRow(41);
    QCOMPARE(query.asString(QStringLiteral("razao")), QStringLiteral("Cliente 42"));

    setLines(query, {"SELECT id FROM Empresas WHERE id < 0"});
    query.open();
    QVERIFY(query.isEmpty());
    QVERIFY(query.eof());
    QCOMPARE(query.asString(QStringLiteral("id")), QString()); // an empty result reads as NULL
    QCOMPARE(query.asInteger(QStringLiteral("id")), 0);
}

void TestUntConexao::transactions_data() {
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<qlonglong>("stored");
    TestDatabase::addDriverRows(
        {"commit keeps the row", "rollback discards the row", "rollback after a failed statement"},
        [](QTestData& row, int i) {
            const QStringList endings = {"commit", "rollback", "failure"};
            row << endings.at(i) << qlonglong(i == 0 ? 1 : 0);
        });
}

void TestUntConexao::transactions() {
    QFETCH(QString, driver);
    QFETCH(QString, ending);
    QFETCH(qlonglong, stored);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    TestDatabase db(driver);
    db.exec(station);
    TdmConexao& connection = db.connection();
    Query query(connection);

    connection.beginTransaction();
    QVERIFY(connection.inTransaction());
    setLines(
        query,
        {"INSERT INTO ZeltoMov (IDVeiculo, DtEmissao, Empresa) VALUES (7, '2026-10-05 08:00:00.000', 4)"});
    query.execSQL();
    setLines(query, {"SELECT COUNT(*) AS n FROM ZeltoMov"});
    query.open();
    QCOMPARE(query.asInteger(QStringLiteral("n")), 1); // the connection sees its own row

    if (ending == QLatin1String("commit")) {
        connection.commit();
    } else if (ending == QLatin1String("rollback")) {
        connection.rollback();
    } else {
        setLines(query, {"INSERT INTO Empresas (id) VALUES (3)"});
        QVERIFY(errorOf([&] { query.execSQL(); }).contains(QStringLiteral("UNIQUE constraint failed")));
        connection.rollback();
    }
    QVERIFY(!connection.inTransaction());
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM ZeltoMov"), QVariant(stored));

    // An error handler rolls back even when nothing was begun: nothing happens, nothing is thrown.
    connection.rollback();
    QVERIFY(!connection.inTransaction());
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM ZeltoMov"), QVariant(stored));
}

void TestUntConexao::closedConnectionReopensOnQuery() {
    QFETCH(QString, driver);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    TestDatabase db(driver);
    db.exec(station);
    db.connection().close();
    QVERIFY(!db.connection().isOpen());

    Query query(db.connection());
    setLines(query, {"SELECT nome FROM ZeltoPostos WHERE Cnpj = :pCnpj"});
    query.bindText(QStringLiteral("pCnpj"), QStringLiteral("12345678000190"));
    query.open();
    QVERIFY(db.connection().isOpen());
    QCOMPARE(query.asString(QStringLiteral("nome")), QStringLiteral("Posto Um"));

    db.connection().close();
    setLines(query, {"INSERT INTO Empresas (id, razao) VALUES (9, 'Nova')"});
    query.execSQL();
    QCOMPARE(db.scalar("SELECT razao FROM Empresas WHERE id = 9"), QVariant("Nova"));
}

void TestUntConexao::unreachableDatabase_data() {
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing SQLite file") << "QSQLITE"
                                         << "does not exist";
    QTest::newRow("missing SQLite file through ODBC") << "QODBC"
                                                      << "does not exist";
    QTest::newRow("SQL Server that does not answer") << "FreeTDS"
                                                     << "Unable to connect";
}

void TestUntConexao::unreachableDatabase() {
    QFETCH(QString, where);
    QFETCH(QString, message);
    QTemporaryDir folder;
    const QString missing = folder.filePath(QStringLiteral("Dravix.db"));
    ConnectionSettings settings;
    if (where == QLatin1String("QSQLITE")) {
        settings = ConnectionSettings::sqliteFile(missing);
    } else if (where == QLatin1String("QODBC")) {
        KORVA_SKIP_UNAVAILABLE_DRIVER(where);
        settings = ConnectionSettings::sqliteThroughOdbc(missing);
    } else {
        QFile odbcinst(QStringLiteral("/etc/odbcinst.ini"));
        if (!odbcinst.open(QIODevice::ReadOnly) || !odbcinst.readAll().contains("[FreeTDS]"))
            QSKIP("FreeTDS is not registered in /etc/odbcinst.ini");
        settings.engine = ConnectionSettings::Engine::SqlServer;
        settings.driver = QStringLiteral("QODBC");
        // Port 1 on this machine: nothing listens there, so the connection is refused at once.
        settings.databaseName =
            QStringLiteral("DRIVER={FreeTDS};Server=127.0.0.1;Port=1;Database=Dravix;UID=tarvone;"
                           "PWD=kesi;TDS_Version=7.4;ClientCharset=UTF-8");
    }
    TdmConexao connection(settings);
    const QString error = errorOf([&] { connection.open(); });
    QVERIFY2(error.contains(message), qPrintable(error));
    QVERIFY(!connection.isOpen());

    // A query on the closed connection tries to open it and fails the same way.
    Query query(connection);
    setLines(query, {"SELECT 1"});
    QVERIFY2(errorOf([&] { query.open(); }).contains(message), qPrintable(error));
    QVERIFY2(!QFileInfo::exists(missing), "no empty database may be made in place of the missing one");
}

void TestUntConexao::statementErrorsCarryProviderMessage() {
    QFETCH(QString, driver);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    TestDatabase db(driver);
    Query query(db.connection());
    setLines(query, {"SELECT * FROM TabelaInexistente"});
    QVERIFY(errorOf([&] { query.open(); }).contains(QStringLiteral("no such table: TabelaInexistente")));
    QVERIFY(!query.isOpen());
}

// What reaches SQL Server through FreeTDS, checked on the wire of the TDS stand-in: the server's answers
// follow its documentation, the client's requests are FreeTDS's own.
void TestUntConexao::whatSqlServerReceives_data() {
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("password"); // null: the stand-in's own
    QTest::addColumn<QString>("instance"); // reached by name, without a port
    QTest::addColumn<int>("encryption");   // SqlServerLogin::Encryption
    QTest::addColumn<QString>("request");  // the kind of the first request checked
    QTest::addColumn<QString>("key");      // its field; "value": the last bound value
    QTest::addColumn<QString>("expected"); // a regular expression over it
    QTest::addColumn<QString>("failure");  // part of the connection's error; empty: none
    const int byDriver = int(SqlServerLogin::Encryption::DriverDefault);
    // Every login language reads this form alike; "2026-03-05 14:30:15.250" is 3 May under a day-first one.
    QTest::newRow("a date-time in the one form every login language reads alike")
        << QByteArray("[]") << QString() << QString() << byDriver << "rpc"
        << "value"
        << R"(^2026-03-05T14:30:15\.250$)"
        << "";
    QTest::newRow("password with ; } = blanks and accents reaches the login as typed")
        << QByteArray("[]") << " a;b}c = ção }}x" << QString() << byDriver << "login"
        << "password"
        << R"(^ a;b\}c = ção \}\}x$)"
        << "";
    QTest::newRow("named instance without a port, found through the browser service")
        << QByteArray("[]") << QString() << "FROTA" << byDriver << "browser"
        << "instance"
        << "^FROTA$"
        << "";
    QTest::newRow("encryption required, refused by a server without it")
        << QByteArray("[]") << QString() << QString() << int(SqlServerLogin::Encryption::Required)
        << "prelogin"
        << "encryption"
        << "^1$"
        << "Unable to connect";
    QTest::newRow("encryption when the server offers it")
        << QByteArray("[]") << QString() << QString() << int(SqlServerLogin::Encryption::Optional)
        << "prelogin"
        << "encryption"
        << "^0$"
        << "";
    QTest::newRow("no encryption") << QByteArray("[]") << QString() << QString()
                                   << int(SqlServerLogin::Encryption::Off) << "prelogin"
                                   << "encryption"
                                   << "^2$"
                                   << "";
    const QByteArray collation =
        R"js([{"match": "DATABASEPROPERTYEX", "columns": [{"name": "db", "type": "nvarchar(128)"},
               {"name": "c", "type": "nvarchar(128)"}], "rows": [["KORVA", "%1"]]}])js";
    QTest::newRow("case-sensitive catalog refused at once, in Portuguese")
        << QByteArray(collation).replace("%1", "Latin1_General_CS_AS") << QString() << QString() << byDriver
        << "batch"
        << "statement"
        << "DATABASEPROPERTYEX"
        << "O catálogo KORVA compara nomes e textos levando em conta maiúsculas e minúsculas "
           "(agrupamento Latin1_General_CS_AS)";
    QTest::newRow("binary catalog refused") << QByteArray(collation).replace("%1", "Latin1_General_BIN2")
                                            << QString() << QString() << byDriver << "batch"
                                            << "statement"
                                            << "DATABASEPROPERTYEX"
                                            << "(agrupamento Latin1_General_BIN2)";
    QTest::newRow("case-insensitive catalog opens")
        << QByteArray(collation).replace("%1", "SQL_Latin1_General_CP1_CI_AS") << QString() << QString()
        << byDriver << "batch"
        << "statement"
        << "DATABASEPROPERTYEX"
        << "";
}

void TestUntConexao::whatSqlServerReceives() {
    QFETCH(QByteArray, script);
    QFETCH(QString, password);
    QFETCH(QString, instance);
    QFETCH(int, encryption);
    QFETCH(QString, request);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QFETCH(QString, failure);
    const QString why = TdsStandIn::unavailableReason();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    TdsStandIn server(script, 60, instance);
    SqlServerLogin login = server.login();
    if (!password.isNull())
        login.password = password;
    if (!instance.isEmpty()) {
        login.host += QLatin1Char('\\') + instance;
        login.port = 0;
    }
    login.encryption = SqlServerLogin::Encryption(encryption);
    TdmConexao connection(ConnectionSettings::sqlServer(login));

    const QString error = errorOf([&] {
        Query query(connection);
        setLines(query, {"SELECT ID FROM ZeltoMov WHERE DtEmissao >= :pDtaIni"});
        query.bindDateTime(QStringLiteral("pDtaIni"), QDateTime(QDate(2026, 3, 5), QTime(14, 30, 15, 250)));
        query.open();
    });
    if (failure.isEmpty())
        QCOMPARE(error, QStringLiteral("(no error)"));
    else
        QVERIFY2(error.contains(failure), qPrintable(error));

    const QList<QJsonObject> received = server.requests();
    const auto first = std::find_if(received.begin(), received.end(), [&](const QJsonObject& r) {
        return r.value("kind").toString() == request &&
               (key != "statement" || r.value(key).toString().contains(expected)) &&
               (key != "value" || !r.value("parameters").toArray().isEmpty());
    });
    QVERIFY2(first != received.end(), qPrintable(QStringLiteral("no %1 request").arg(request)));
    const QJsonValue field = key == "value"
                                 ? first->value("parameters").toArray().last().toObject().value("value")
                                 : first->value(key);
    const QString text = field.isDouble() ? QString::number(field.toInt()) : field.toString();
    QVERIFY2(QRegularExpression(expected).match(text).hasMatch(), qPrintable(text));
}

void TestUntConexao::lookupsOverTheServersLink_data() {
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("cancel");   // "Cancelar" pressed once the wait sign shows
    QTest::addColumn<QString>("error"); // the start of the second lookup's error; empty: it answers
    QTest::addColumn<int>("logins");
    const QByteArray answer =
        R"({"match": "FROM Frota", "columns": [{"name": "n", "type": "int"}], "rows": [[1]]})";
    QTest::newRow("link lost between two lookups: the second reconnects and answers")
        << R"([{"match": "FROM Frota", "nth": 2, "close": true}, )" + answer + "]" << false << QString() << 2;
    QTest::newRow("server silent at a lookup: its time-out, the window alive")
        << R"([{"match": "FROM Frota", "nth": 2, "delay": 20}, )" + answer + "]" << false
        << QStringLiteral("O banco de dados não respondeu à consulta em 2 segundos.") << 1;
    QTest::newRow("Cancelar during a slow lookup")
        << R"([{"match": "FROM Frota", "nth": 2, "delay": 20}, )" + answer + "]" << true
        << QStringLiteral("Operação cancelada.") << 1;
    // SQL Server's lock time-out, error 1222, set for the session by SET LOCK_TIMEOUT:
    // https://learn.microsoft.com/en-us/sql/t-sql/statements/set-lock-timeout-transact-sql
    QTest::newRow("data held by another session past the lock time-out")
        << R"([{"match": "FROM Frota", "nth": 2, "error": {"number": 1222, "class": 16,
               "message": "Lock request time out period exceeded."}}, )" +
               answer + "]"
        << false << QStringLiteral("Os dados pedidos estão em uso por outra operação") << 1;
    QTest::newRow("server silent at the login: the login's time-out")
        << QByteArray(R"([{"kind": "login", "delay": 20}])") << false
        << QStringLiteral("O banco de dados não respondeu à conexão em 2 segundos.") << 1;
}

// Through FreeTDS to the TDS stand-in: a failed link is mended before the next statement, a silent server
// is waited for as long as the time-outs say, and the window's event loop turns all the while.
void TestUntConexao::lookupsOverTheServersLink() {
    QFETCH(QByteArray, script);
    QFETCH(bool, cancel);
    QFETCH(QString, error);
    QFETCH(int, logins);
    const QString why = TdsStandIn::unavailableReason();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    TdsStandIn server(script);
    DatabaseTimeouts timeouts;
    timeouts.loginSeconds = 2;
    timeouts.statementSeconds = cancel ? 30 : 2;
    TdmConexao connection(ConnectionSettings::sqlServer(server.login(), timeouts));
    CancellingWait sign(cancel);
    connection.setWaitPresenter(&sign);
    const bool silentLogin = script.contains("login");
    Query query(connection);
    setLines(query, {"SELECT n FROM Frota WHERE n = :pN"});
    query.bindInteger(QStringLiteral("pN"), 1);
    if (!silentLogin)
        query.open();

    int turns = 0;
    QTimer ticks;
    connect(&ticks, &QTimer::timeout, [&] { ++turns; });
    ticks.start(50);
    QElapsedTimer clock;
    clock.start();
    const QString failure = errorOf([&] { query.open(); });
    const qint64 waited = clock.elapsed();
    if (error.isEmpty()) {
        QCOMPARE(failure, QStringLiteral("(no error)"));
        QCOMPARE(query.asInteger(QStringLiteral("n")), 1);
    } else {
        QVERIFY2(failure.startsWith(error), qPrintable(failure));
    }
    // A wait of seconds let the event loop turn about every 50 ms.
    if (waited > 1000)
        QVERIFY2(turns >= waited / 200,
                 qPrintable(QStringLiteral("%1 turns in %2 ms").arg(turns).arg(waited)));
    const QList<QJsonObject> received = server.requests();
    QCOMPARE(std::count_if(received.begin(), received.end(),
                           [](const QJsonObject& r) { return r.value("kind").toString() == "login"; }),
             qsizetype(logins));
    QCOMPARE(sign.shown.isEmpty(), !cancel);
}

void TestUntConexao::fuelingCompanyTrigger_data() {
    QTest::addColumn<QString>("driver");
    QTest::addColumn<bool>("given");
    QTest::addColumn<QVariant>("company");
    TestDatabase::addDriverRows(
        {"left empty takes the vehicle's company", "given stays"},
        [](QTestData& row, int i) { row << (i == 1) << QVariant(qlonglong(i == 1 ? 99 : 3)); });
}

void TestUntConexao::fuelingCompanyTrigger() {
    QFETCH(QString, driver);
    QFETCH(bool, given);
    QFETCH(QVariant, company);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    TestDatabase db(driver);
    db.exec(station);
    Query query(db.connection());
    setLines(query,
             {given ? "INSERT INTO ZeltoMov (IDVeiculo, DtEmissao, ID_EMPRESA) VALUES (:pIDVeiculo, :pDt, 99)"
                    : "INSERT INTO ZeltoMov (IDVeiculo, DtEmissao) VALUES (:pIDVeiculo, :pDt)"});
    query.bindDouble(QStringLiteral("pIDVeiculo"), 7);
    query.bindDateTime(QStringLiteral("pDt"), QDateTime(QDate(2026, 10, 5), QTime(9, 0)));
    query.execSQL();
    QCOMPARE(db.scalar("SELECT ID_EMPRESA FROM ZeltoMov"), company);
}

void TestUntConexao::textComparisonIgnoresCase_data() {
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("rows");
    const QList<QStringList> statements = {
        {"SELECT * FROM VeiculosNovo WHERE Placa = :p"},
        {"SELECT * FROM Empresas WHERE razao like :p"},
        {"SELECT TpCombustivel FROM ZeltoMov GROUP BY TpCombustivel"},
    };
    const QStringList values = {"abc1234", "%alfa%", ""};
    const QList<int> rows = {1, 1, 1};
    TestDatabase::addDriverRows(
        {"plate typed in lower case", "like on part of a name", "fuel names grouped"},
        [&](QTestData& row, int i) { row << statements.at(i) << values.at(i) << rows.at(i); });
}

void TestUntConexao::textComparisonIgnoresCase() {
    QFETCH(QString, driver);
    QFETCH(QStringList, lines);
    QFETCH(QString, value);
    QFETCH(int, rows);
    KORVA_SKIP_UNAVAILABLE_DRIVER(driver);
    TestDatabase db(driver);
    db.exec(station);
    db.exec("INSERT INTO ZeltoMov (IDVeiculo, DtEmissao, TpCombustivel) VALUES"
            " (7, '2026-10-01 08:00:00.000', 'Diesel S10'), (7, '2026-10-02 08:00:00.000', 'DIESEL S10')");
    Query query(db.connection());
    setLines(query, lines);
    if (!value.isEmpty())
        query.bindText(QStringLiteral("p"), value);
    query.open();
    QCOMPARE(query.rowCount(), rows);
}

void TestUntConexao::lookupsUseIndexes_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("station login") << QStringList{"SELECT * FROM ZeltoPostos", "WHERE Cnpj = :pCnpj"};
    QTest::newRow("plate lookup") << QStringList{
        "SELECT VeiculosNovo.*, VeiMarcas.Marca, VeiModelos.Modelo, Empresas.razao, Empresas.cnpj, "
        "Empresas.id as IDEmp, AdicionaisVeiculos.CapTanque,",
        "       AdicionaisVeiculos.RendMinimo, AdicionaisVeiculos.RendMaximo",
        "FROM VeiculosNovo",
        "INNER JOIN VeiMarcas          ON VeiMarcas.ID                 = VeiculosNovo.IDMarca",
        "INNER JOIN VeiModelos         ON VeiModelos.ID                = VeiculosNovo.IDModelo",
        "INNER JOIN Empresas           ON Empresas.id                  = VeiculosNovo.id_empresa",
        "INNER JOIN AdicionaisVeiculos ON AdicionaisVeiculos.idVeiculo = VeiculosNovo.id",
        "WHERE Placa = :pPlaca"};
    QTest::newRow("fuel list") << QStringList{
        "SELECT TBItem.cd_item, TBItem.descricao ",
        "FROM VeiculoComb",
        "INNER JOIN TBItem ON TBItem.cd_item = VeiculoComb.cd_item and",
        "                                      TBItem.id_empresa = :pid_empresa",
        "WHERE VeiculoComb.id_veiculo = :pid_veiculo",
        "order by descricao"};
    QTest::newRow("agreed price") << QStringList{
        "SELECT * ", "FROM PostoItem", "WHERE id_posto = :pid_posto and ", "      cd_item  = :pcd_item "};
    QTest::newRow("previous odometer")
        << QStringList{"SELECT TOP(1) KmAtual ", "FROM ZeltoMov",
                       "INNER JOIN VeiculosNovo ON VeiculosNovo.ID = ZeltoMov.IDVeiculo",
                       "WHERE VeiculosNovo.Placa = :pPlaca", "ORDER BY DtEmissao DESC"};
    QTest::newRow("driver check") << QStringList{"SELECT * FROM Motoristas WHERE id_empresa = :Pid_empresa",
                                                 " and Codigo = :PCodigo"};
    QTest::newRow("client code check") << QStringList{
        "SELECT Empresas.id, Empresas.razao, Empresas.cnpj ", "FROM Empresas",
        "INNER JOIN ZeltoPostos ON ZeltoPostos.id_empresa = Empresas.id",
        "WHERE ZeltoPostos.ID         = :pid_posto", "AND   ZeltoPostos.id_empresa = :pid_empresa"};
    QTest::newRow("client search by name") << QStringList{
        "SELECT * ", "FROM Empresas", "INNER JOIN ZeltoPostos ON ZeltoPostos.id_empresa = Empresas.id",
        "WHERE ZeltoPostos.Cnpj = :pCNPJ", "and razao like :prazao"};
    QTest::newRow("report") << QStringList{
        "SELECT ZeltoMov.*, VeiculosNovo.Placa, VeiculosNovo.Codigo, Motoristas.Nome",
        "FROM ZeltoMov",
        "INNER JOIN VeiculosNovo ON VeiculosNovo.ID = ZeltoMov.IDVeiculo",
        "LEFT OUTER JOIN Motoristas ON Motoristas.id_empresa = ZeltoMov.ID_EMPRESA AND",
        "                              Motoristas.Codigo     = ZeltoMov.IDMotorista",
        "INNER JOIN ZeltoPostos ON ZeltoPostos.Cnpj       = :pCNPJ AND",
        "                          ZeltoPostos.id_empresa = ZeltoMov.ID_EMPRESA  AND",
        "                          ZeltoPostos.ID         = ZeltoMov.IDPosto",
        "WHERE ZeltoMov.ID_EMPRESA = :pid_empresa AND",
        "      ZeltoMov.DtEmissao  between :pdtaini and :pdtafim AND",
        "      ZeltoMov.empresa    = 4",
        "and ZeltoMov.ChaveAcesso <> '' and ZeltoMov.Faturado <> 'S' ",
        "ORDER BY ZeltoMov.DtEmissao"};
    QTest::newRow("report summary") << QStringList{
        "SELECT TpCombustivel, SUM(Qtde) AS QTDE, SUM(VrTotal) / SUM(Qtde) AS VLUNIT , SUM(VrTotal) AS "
        "TOTAL ",
        "FROM ZeltoMov",
        "INNER JOIN ZeltoPostos ON ZeltoPostos.Cnpj       = :PCNPJ              AND",
        "                          ZeltoPostos.id_empresa = ZeltoMov.id_empresa AND",
        "                          ZeltoPostos.ID         = ZeltoMov.IDPosto",
        "WHERE ZeltoMov.ID_EMPRESA = :pid_empresa AND",
        "      ZeltoMov.DtEmissao  between :pdtaini and :pdtafim AND",
        "      ZeltoMov.empresa    = 4",
        "GROUP BY TpCombustivel"};
}

void TestUntConexao::lookupsUseIndexes() {
    QFETCH(QStringList, lines);
    TestDatabase db;
    const QStringList plan = db.queryPlan(lines);
    QVERIFY(!plan.isEmpty());
    for (const QString& step : plan)
        QVERIFY2(!step.startsWith(QStringLiteral("SCAN")), qPrintable(plan.join(QStringLiteral(" | "))));
}

QTEST_GUILESS_MAIN(TestUntConexao)
#include "tst_UntConexao.moc"
