#include "db/ConnectionSettings.h"
#include "db/EngineDialect.h"

#include <QDateTime>
#include <QtTest>

namespace {

// Settings as the connection file makes them; nothing is opened.
ConnectionSettings settingsFor(const QString& engine) {
    if (engine != QLatin1String("SQL Server"))
        return ConnectionSettings::sqliteFile(QStringLiteral("/nonexistent/Dravix.db"));
    SqlServerLogin login;
    login.driver = QStringLiteral("FreeTDS");
    login.host = QStringLiteral("srv");
    return ConnectionSettings::sqlServer(login);
}

} // namespace

class TestEngineDialect final : public QObject {
    Q_OBJECT

private slots:
    void topRewrite_data();
    void topRewrite();
    void wireValues_data();
    void wireValues();
    void likePatterns_data();
    void likePatterns();
};

void TestEngineDialect::topRewrite_data() {
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("adapted");
    QTest::newRow("TOP(1) becomes a trailing LIMIT")
        << "SQLite"
        << "SELECT TOP(1) KmAtual \r\nFROM ZeltoMov\r\nORDER BY DtEmissao DESC\r\n"
        << "SELECT KmAtual \r\nFROM ZeltoMov\r\nORDER BY DtEmissao DESC\r\nLIMIT 1";
    QTest::newRow("TOP n without parentheses") << "SQLite"
                                               << "select top 25 * from ZeltoMov;"
                                               << "select * from ZeltoMov\r\nLIMIT 25";
    QTest::newRow("DISTINCT TOP") << "SQLite"
                                  << "SELECT DISTINCT TOP (3) Placa FROM VeiculosNovo"
                                  << "SELECT DISTINCT Placa FROM VeiculosNovo\r\nLIMIT 3";
    QTest::newRow("a column named like TOP stays") << "SQLite"
                                                   << "SELECT TOPO FROM t"
                                                   << "SELECT TOPO FROM t";
    QTest::newRow("no TOP stays") << "SQLite"
                                  << "SELECT * FROM ZeltoMov"
                                  << "SELECT * FROM ZeltoMov";
    QTest::newRow("the server keeps its TOP") << "SQL Server"
                                              << "SELECT TOP(1) KmAtual FROM ZeltoMov"
                                              << "SELECT TOP(1) KmAtual FROM ZeltoMov";
}

void TestEngineDialect::topRewrite() {
    QFETCH(QString, engine);
    QFETCH(QString, statement);
    QFETCH(QString, adapted);
    QCOMPARE(EngineDialect::make(settingsFor(engine))->adaptStatement(statement), adapted);
}

void TestEngineDialect::wireValues_data() {
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QVariant>("bound");
    QTest::addColumn<QVariant>("sent");
    const QDateTime moment(QDate(2026, 11, 3), QTime(7, 5, 9, 42));
    for (const QString engine : {"SQLite", "SQL Server"}) {
        const QByteArray name = engine.toUtf8();
        // The embedded engine compares the stored text; SQL Server reads ISO 8601 with a T alike under every
        // login language and SET DATEFORMAT.
        QTest::addRow("%s: date-time in the engine's fixed form", name.constData())
            << engine << QVariant(moment)
            << QVariant(engine == QLatin1String("SQLite") ? QStringLiteral("2026-11-03 07:05:09.042")
                                                          : QStringLiteral("2026-11-03T07:05:09.042"));
        QTest::addRow("%s: byte as int", name.constData())
            << engine << QVariant::fromValue(quint8(4)) << QVariant(4);
        QTest::addRow("%s: NULL typed as text", name.constData())
            << engine << QVariant() << QVariant(QMetaType::fromType<QString>());
        QTest::addRow("%s: real kept", name.constData()) << engine << QVariant(40.25) << QVariant(40.25);
    }
}

void TestEngineDialect::wireValues() {
    QFETCH(QString, engine);
    QFETCH(QVariant, bound);
    QFETCH(QVariant, sent);
    const QVariant wire = EngineDialect::make(settingsFor(engine))->wireValue(bound);
    QCOMPARE(wire.metaType(), sent.metaType());
    QCOMPARE(wire, sent);
}

void TestEngineDialect::likePatterns_data() {
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("SQL Server: a bracket is the letter itself") << "SQL Server"
                                                                << "[CENTRO] 50%_"
                                                                << "[[]CENTRO] 50%_";
    QTest::newRow("SQLite: only % and _ are special") << "SQLite"
                                                      << "[CENTRO] 50%_"
                                                      << "[CENTRO] 50%_";
}

void TestEngineDialect::likePatterns() {
    QFETCH(QString, engine);
    QFETCH(QString, typed);
    QFETCH(QString, pattern);
    QCOMPARE(EngineDialect::make(settingsFor(engine))->likePattern(typed), pattern);
}

QTEST_GUILESS_MAIN(TestEngineDialect)
#include "tst_EngineDialect.moc"
