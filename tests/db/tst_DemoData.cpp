#include "TestDatabase.h"
#include "db/UntConexao.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

// The demo database must let a person try every path of the program: logins, plates, prices, drivers,
// reports.
class TestDemoData final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { db.reset(); }
    void stationServesTwoClients();
    void plateLookup_data();
    void plateLookup();
    void fuelingsAreConsistent();
    void everyStatusForEachClient_data();
    void everyStatusForEachClient();
    void demoFileIsOwnerOnly();

private:
    std::unique_ptr<TestDatabase> db;
};

void TestDemoData::init() {
    QFile demo(QStringLiteral(KORVA_SOURCE_DIR "/tools/demo-data.sql"));
    QVERIFY2(demo.open(QIODevice::ReadOnly), qPrintable(demo.fileName()));
    db = std::make_unique<TestDatabase>();
    db->exec(QString::fromUtf8(demo.readAll()));
}

void TestDemoData::stationServesTwoClients() {
    Query query(db->connection());
    query.addLine(QStringLiteral("SELECT * FROM ZeltoPostos"));
    query.addLine(QStringLiteral("WHERE Cnpj = :pCnpj"));
    query.bindText(QStringLiteral("pCnpj"), QStringLiteral("12345678000195"));
    query.open();
    QCOMPARE(query.rowCount(), 2);
    for (query.first(); !query.eof(); query.next()) {
        QCOMPARE(query.asInteger(QStringLiteral("id")), 1);
        QCOMPARE(query.asString(QStringLiteral("Senha")), QStringLiteral("posto123"));
    }
}

void TestDemoData::plateLookup_data() {
    QTest::addColumn<QString>("plate");
    QTest::addColumn<int>("company");
    QTest::addColumn<QStringList>("fuels");
    QTest::newRow("old-format plate with ARLA") << "ABC1234" << 10 << QStringList{"ARLA 32", "DIESEL S10"};
    QTest::newRow("Mercosul plate") << "BRA2E19" << 10 << QStringList{"DIESEL S10"};
    QTest::newRow("Mercosul plate with two fuels")
        << "RIO4A56" << 20 << QStringList{"ETANOL", "GASOLINA COMUM"};
    QTest::newRow("old-format plate of the second client")
        << "XYZ9876" << 20 << QStringList{"GASOLINA COMUM"};
}

void TestDemoData::plateLookup() {
    QFETCH(QString, plate);
    QFETCH(int, company);
    QFETCH(QStringList, fuels);
    Query vehicle(db->connection());
    for (const char* line :
         {"SELECT VeiculosNovo.*, Empresas.id as IDEmp, AdicionaisVeiculos.CapTanque FROM VeiculosNovo",
          "INNER JOIN VeiMarcas          ON VeiMarcas.ID                 = VeiculosNovo.IDMarca",
          "INNER JOIN VeiModelos         ON VeiModelos.ID                = VeiculosNovo.IDModelo",
          "INNER JOIN Empresas           ON Empresas.id                  = VeiculosNovo.id_empresa",
          "INNER JOIN AdicionaisVeiculos ON AdicionaisVeiculos.idVeiculo = VeiculosNovo.id",
          "WHERE Placa = :pPlaca"})
        vehicle.addLine(QString::fromLatin1(line));
    vehicle.bindText(QStringLiteral("pPlaca"), plate);
    vehicle.open();
    QCOMPARE(vehicle.rowCount(), 1);
    QCOMPARE(vehicle.asInteger(QStringLiteral("IDEmp")), company);

    Query tipos(db->connection());
    for (const char* line : {"SELECT TBItem.cd_item, TBItem.descricao ", "FROM VeiculoComb",
                             "INNER JOIN TBItem ON TBItem.cd_item = VeiculoComb.cd_item and",
                             "                                      TBItem.id_empresa = :pid_empresa",
                             "WHERE VeiculoComb.id_veiculo = :pid_veiculo", "order by descricao"})
        tipos.addLine(QString::fromLatin1(line));
    tipos.bindInteger(QStringLiteral("pid_empresa"), company);
    tipos.bindInteger(QStringLiteral("pid_veiculo"), vehicle.asInteger(QStringLiteral("id")));
    tipos.open();
    QStringList found;
    for (; !tipos.eof(); tipos.next())
        found.append(tipos.asString(QStringLiteral("descricao")));
    QCOMPARE(found, fuels);
}

void TestDemoData::fuelingsAreConsistent() {
    // Every fueling got its company from the trigger, and each odometer runs on from the vehicle's previous
    // one.
    QCOMPARE(db->scalar("SELECT COUNT(*) FROM ZeltoMov WHERE ID_EMPRESA IS NULL"), QVariant(0LL));
    QCOMPARE(
        db->scalar("SELECT COUNT(*) FROM ZeltoMov m WHERE m.KmAnterior <> (SELECT p.KmAtual FROM ZeltoMov p"
                   " WHERE p.IDVeiculo = m.IDVeiculo AND p.DtEmissao < m.DtEmissao"
                   " ORDER BY p.DtEmissao DESC LIMIT 1) OR m.KmTotal <> m.KmAtual - m.KmAnterior"),
        QVariant(0LL));
    QCOMPARE(db->scalar("SELECT COUNT(*) FROM ZeltoMov WHERE DtEmissao NOT LIKE '2026-__-__ __:__:__.___'"),
             QVariant(0LL));
}

void TestDemoData::everyStatusForEachClient_data() {
    QTest::addColumn<int>("company");
    QTest::addColumn<QString>("status");
    for (const int company : {10, 20}) {
        QTest::addRow("client %d registered", company) << company << "and ZeltoMov.ChaveAcesso = '' ";
        QTest::addRow("client %d validated", company)
            << company << "and ZeltoMov.ChaveAcesso <> '' and ZeltoMov.Faturado <> 'S' ";
        QTest::addRow("client %d invoiced", company) << company << "and ZeltoMov.Faturado = 'S' ";
    }
}

void TestDemoData::everyStatusForEachClient() {
    QFETCH(int, company);
    QFETCH(QString, status);
    Query query(db->connection());
    for (const char* line :
         {"SELECT ZeltoMov.* FROM ZeltoMov", "INNER JOIN ZeltoPostos ON ZeltoPostos.Cnpj = :pCNPJ AND",
          "  ZeltoPostos.id_empresa = ZeltoMov.ID_EMPRESA AND ZeltoPostos.ID = ZeltoMov.IDPosto",
          "WHERE ZeltoMov.ID_EMPRESA = :pid_empresa AND",
          "      ZeltoMov.DtEmissao  between :pdtaini and :pdtafim AND ZeltoMov.empresa = 4"})
        query.addLine(QString::fromLatin1(line));
    query.addLine(status);
    query.bindText(QStringLiteral("pcnpj"), QStringLiteral("12345678000195"));
    query.bindInteger(QStringLiteral("pid_empresa"), company);
    query.bindDateTime(QStringLiteral("pDtaIni"), QDateTime(QDate(2026, 9, 1), QTime(0, 0)));
    query.bindDateTime(QStringLiteral("pDtaFim"), QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)));
    query.open();
    QVERIFY(query.rowCount() >= 2);
}

// It holds the station's password and the drivers' PINs.
void TestDemoData::demoFileIsOwnerOnly() {
#ifdef Q_OS_WIN
    QSKIP("The demo database is made by a Linux build script; the Windows package is made on Linux");
#endif
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("Dravix.db"));
    QCOMPARE(QProcess::execute("bash", {KORVA_SOURCE_DIR "/tools/make-demo-db.sh", file}), 0);
    QCOMPARE(QFile::permissions(file) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
}

QTEST_GUILESS_MAIN(TestDemoData)
#include "tst_DemoData.moc"
