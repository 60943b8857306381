#include "db/MarkerParser.h"

#include <QtTest>

#include <vector>

using Markers = std::vector<int>;
Q_DECLARE_METATYPE(Markers)

class TestMarkerParser final : public QObject {
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void qtPlaceholders_data();
    void qtPlaceholders();
};

void TestMarkerParser::parse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<Markers>("markers");
    QTest::newRow("no markers") << "SELECT 1\r\n"
                                << "SELECT 1\r\n"
                                << QStringList() << Markers{};
    QTest::newRow("name ends at a blank, a comma and a parenthesis")
        << "IN (:pA,:pB) AND :pC = 1"
        << "IN (?,?) AND ? = 1" << QStringList{"pA", "pB", "pC"} << Markers{0, 1, 2};
    QTest::newRow("name ends at a semicolon and a line break") << "= :pA;\r\n= :pB\r\n"
                                                               << "= ?;\r\n= ?\r\n"
                                                               << QStringList{"pA", "pB"} << Markers{0, 1};
    QTest::newRow("a name again in other case keeps its first spelling")
        << ":pRazao OR :PRAZAO"
        << "? OR ?" << QStringList{"pRazao"} << Markers{0, 0};
    QTest::newRow("quoted colons mark nothing")
        << "':pNada' AS \"r:x\", :pId"
        << "':pNada' AS \"r:x\", ?" << QStringList{"pId"} << Markers{0};
    QTest::newRow("a double colon is a plain colon") << "'10::30', a::b, :p"
                                                     << "'10::30', a:b, ?" << QStringList{"p"} << Markers{0};
    QTest::newRow("a colon without a name stays") << "a : b :"
                                                  << "a : b :" << QStringList() << Markers{};
}

void TestMarkerParser::parse() {
    QFETCH(QString, text);
    QFETCH(QString, sent);
    QFETCH(QStringList, names);
    QFETCH(Markers, markers);
    const ParsedStatement parsed = parseMarkers(text);
    QCOMPARE(parsed.sent, sent);
    QCOMPARE(parsed.names, names);
    QCOMPARE(parsed.markers, markers);
}

void TestMarkerParser::qtPlaceholders_data() {
    QTest::addColumn<QString>("sent");
    QTest::addColumn<bool>("taken");
    QTest::newRow("a colon before a name") << "SELECT ?, :x" << true;
    QTest::newRow("a double colon") << "SELECT a::b" << false;
    QTest::newRow("in single quotes") << "SELECT ':x'" << false;
    QTest::newRow("in brackets") << "SELECT [a:b]" << false;
    QTest::newRow("in back quotes") << "SELECT `a:b`" << false;
    QTest::newRow("before a blank") << "SELECT a : b" << false;
}

void TestMarkerParser::qtPlaceholders() {
    QFETCH(QString, sent);
    QFETCH(bool, taken);
    QCOMPARE(hasQtNamedPlaceholder(sent), taken);
}

QTEST_GUILESS_MAIN(TestMarkerParser)
#include "tst_MarkerParser.moc"
