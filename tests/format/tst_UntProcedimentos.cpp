#include "format/UntProcedimentos.h"

#include <QTest>

#include <limits>

namespace {

QString floatError(const QString& text) {
    return QStringLiteral("'%1' is not a valid floating point value").arg(text);
}

QString integerError(const QString& text) {
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

// The 301-digit display of 1E300: the double's 18 significant digits, then zeros.
QString displayOf1E300() {
    return QStringLiteral("1") + QStringLiteral(".000").repeated(5) + QStringLiteral(".050") +
           QStringLiteral(".000").repeated(94) + QStringLiteral(",00");
}

} // namespace

class tst_UntProcedimentos : public QObject {
    Q_OBJECT

private slots:
    void fDecimalShowsBrazilianText_data();
    void fDecimalShowsBrazilianText();
    void fDecimalRejectsNonNumbers_data();
    void fDecimalRejectsNonNumbers();
    void fDecimalOutputReadsBackUnchanged_data();
    void fDecimalOutputReadsBackUnchanged();

    void fFormacnpjLaysOutTheMask_data();
    void fFormacnpjLaysOutTheMask();

    void readDecimalReadsDisplayedText_data();
    void readDecimalReadsDisplayedText();
    void readDecimalRejectsNonNumbers_data();
    void readDecimalRejectsNonNumbers();

    void readIntegerReadsWholeText_data();
    void readIntegerReadsWholeText();
    void readIntegerRejectsOtherText_data();
    void readIntegerRejectsOtherText();

    void generalTextWritesShortestForm_data();
    void generalTextWritesShortestForm();

    void quotientsShowRoundedToCents_data();
    void quotientsShowRoundedToCents();
};

void tst_UntProcedimentos::fDecimalShowsBrazilianText_data() {
    QTest::addColumn<QString>("sValor");
    QTest::addColumn<int>("casas");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << "" << 2 << "0,00";
    QTest::newRow("empty, 3 places") << "" << 3 << "0,000";
    QTest::newRow("comma decimal") << "1234,5" << 2 << "1.234,50";
    QTest::newRow("comma decimal, 3 places") << "1234,5" << 3 << "1.234,500";
    QTest::newRow("thousands point typed") << "1.234,5" << 2 << "1.234,50";
    QTest::newRow("two thousands points") << "1.234.567,891" << 2 << "1.234.567,89";
    QTest::newRow("two thousands points, 3 places") << "1.234.567,891" << 3 << "1.234.567,891";
    QTest::newRow("point typed as decimal separator") << "12.5" << 2 << "125,00";
    QTest::newRow("negative rounds away from zero") << "-3,456" << 2 << "-3,46";
    QTest::newRow("exact half rounds away from zero") << "0,125" << 2 << "0,13";
    QTest::newRow("double just below the half") << "2,675" << 2 << "2,67";
    QTest::newRow("double below the half, 18 digits on it") << "1016,505" << 2 << "1.016,51";
    QTest::newRow("ten digits") << "1234567890,5" << 2 << "1.234.567.890,50";
    QTest::newRow("leading blank") << " 7" << 2 << "7,00";
    QTest::newRow("tiny exponent") << "1E-5" << 2 << "0,00";

    QTest::newRow("leading tab and blanks") << "\t  7" << 2 << "7,00";
    QTest::newRow("trailing blanks") << "7  " << 2 << "7,00";
    QTest::newRow("plus sign") << "+7" << 2 << "7,00";
    QTest::newRow("comma first") << ",5" << 2 << "0,50";
    QTest::newRow("comma last") << "5," << 2 << "5,00";
    QTest::newRow("negative zero") << "-0" << 2 << "0,00";
    QTest::newRow("negative rounding to zero") << "-0,001" << 2 << "0,00";
    QTest::newRow("negative rounding to zero, 3 places") << "-0,0004" << 3 << "0,000";
    QTest::newRow("half a cent") << "0,005" << 2 << "0,01";
    QTest::newRow("half a tenth of a cent, 3 places") << "0,0005" << 3 << "0,001";
    QTest::newRow("carry across a thousands group") << "999,995" << 2 << "1.000,00";
    QTest::newRow("negative carry") << "-999,999" << 2 << "-1.000,00";
    QTest::newRow("exponent with comma") << "1,5e2" << 2 << "150,00";
    QTest::newRow("exponent with plus") << "2E+3" << 2 << "2.000,00";
    QTest::newRow("general text exponent") << "1,23456789012346E17" << 2 << "123.456.789.012.346.000,00";
    QTest::newRow("huge value written out") << "1E300" << 2 << displayOf1E300();
    QTest::newRow("below the smallest double") << "1E-400" << 2 << "0,00";
    QTest::newRow("leading zeros") << "000012,30" << 2 << "12,30";
    QTest::newRow("only points and a digit") << "..5.." << 2 << "5,00";
}

void tst_UntProcedimentos::fDecimalShowsBrazilianText() {
    QFETCH(QString, sValor);
    QFETCH(int, casas);
    QFETCH(QString, expected);

    QCOMPARE(fDecimal(sValor, casas), expected);
}

void tst_UntProcedimentos::fDecimalRejectsNonNumbers_data() {
    QTest::addColumn<QString>("sValor");
    QTest::addColumn<QString>("message");

    QTest::newRow("letters") << "abc" << floatError("abc");
    QTest::newRow("points removed before the message") << "1.2x" << floatError("12x");
    QTest::newRow("leading blanks removed before the message") << "  abc " << floatError("abc ");
    QTest::newRow("lone comma") << "," << floatError(",");
    QTest::newRow("only points") << "..." << floatError("");
    QTest::newRow("only blanks") << "   " << floatError("");
    QTest::newRow("sign alone") << "-" << floatError("-");
    QTest::newRow("exponent without digits") << "1E" << floatError("1E");
    QTest::newRow("exponent without mantissa") << "E5" << floatError("E5");
    QTest::newRow("blank inside the number") << "1 234" << floatError("1 234");
    QTest::newRow("blank after the sign") << "- 5" << floatError("- 5");
    QTest::newRow("two commas") << "1,2,3" << floatError("1,2,3");
    QTest::newRow("two signs") << "+-5" << floatError("+-5");
    QTest::newRow("currency symbol") << "R$ 5,00" << floatError("R$ 5,00");
    QTest::newRow("trailing tab shown as its picture") << "5\t" << floatError(QStringLiteral("5\u2409"));
    QTest::newRow("pasted NUL shown, not cutting the message")
        << QStringLiteral("12.") + QChar(0) + u'5' << floatError(QStringLiteral("12\u24005"));
    QTest::newRow("10,000 characters pasted")
        << QString(10000, u'x') << floatError(QString(40, u'x') + u'\u2026');
    QTest::newRow("hexadecimal") << "0x10" << floatError("0x10");
    QTest::newRow("infinity word") << "INF" << floatError("INF");
    QTest::newRow("not a number word") << "NAN" << floatError("NAN");
    QTest::newRow("non-ASCII digits") << QStringLiteral("\u0663") << floatError(QStringLiteral("\u0663"));
    QTest::newRow("beyond the largest double") << "1E400" << floatError("1E400");
    QTest::newRow("giant exponent") << "1E99999999999999999999" << floatError("1E99999999999999999999");
}

void tst_UntProcedimentos::fDecimalRejectsNonNumbers() {
    QFETCH(QString, sValor);
    QFETCH(QString, message);

    for (const int casas : {2, 3}) {
        try {
            fDecimal(sValor, casas);
            QFAIL("no conversion error");
        } catch (const ConversionError& e) {
            QCOMPARE(QString::fromUtf8(e.what()), message);
        }
    }
}

void tst_UntProcedimentos::fDecimalOutputReadsBackUnchanged_data() {
    QTest::addColumn<QString>("sValor");

    QTest::newRow("cents") << "1234,56";
    QTest::newRow("half cent below") << "2,675";
    QTest::newRow("large amount") << "98765432109,87";
    QTest::newRow("largest double") << "1,7976931348623157E308";
    QTest::newRow("negative") << "-0,999";
}

void tst_UntProcedimentos::fDecimalOutputReadsBackUnchanged() {
    QFETCH(QString, sValor);

    for (const int casas : {2, 3}) {
        const QString shown = fDecimal(sValor, casas);
        QCOMPARE(fDecimal(shown, casas), shown);
        QCOMPARE(fDecimal(QString::number(readDecimal(shown), 'f', casas).replace('.', ','), casas), shown);
    }
}

void tst_UntProcedimentos::fFormacnpjLaysOutTheMask_data() {
    QTest::addColumn<QString>("numtexto");
    QTest::addColumn<QString>("expected");

    QTest::newRow("bare digits") << "12345678901234"
                                 << "12.345.678/9012-34";
    QTest::newRow("already punctuated") << "12.345.678/9012-34"
                                        << "12.345.678/9012-34";
    QTest::newRow("separators elsewhere") << "12-345678/901234"
                                          << "12.345.678/9012-34";
    QTest::newRow("13 digits") << "1234567890123"
                               << "12.345.678/9012-3 ";
    QTest::newRow("empty") << ""
                           << "  .   .   /    -  ";
    QTest::newRow("15 digits") << "123456789012345"
                               << "12.345.678/9012-345";
    QTest::newRow("three points") << "12.345.678.9012-34"
                                  << "12.345.678/.901-234";

    QTest::newRow("letters are not checked") << "AB345678901234"
                                             << "AB.345.678/9012-34";
    QTest::newRow("second hyphen kept") << "12-34-5678901234"
                                        << "12.34-.567/8901-234";
    QTest::newRow("blanks kept in place") << "12 345678901234"
                                          << "12. 34.567/8901-234";
}

void tst_UntProcedimentos::fFormacnpjLaysOutTheMask() {
    QFETCH(QString, numtexto);
    QFETCH(QString, expected);

    QCOMPARE(fFormacnpj(numtexto), expected);
}

void tst_UntProcedimentos::readDecimalReadsDisplayedText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("display text") << "1.234,50" << 1234.5;
    QTest::newRow("zero") << "0,00" << 0.0;
    QTest::newRow("negative") << "-2,00" << -2.0;
    QTest::newRow("typed point is a thousands point") << "45.3" << 453.0;
    QTest::newRow("blanks at both ends") << "  45,3  " << 45.3;
    QTest::newRow("tab and newline at the ends") << "\t7,5\n" << 7.5;
    QTest::newRow("general text exponent") << "1E-5" << 1e-5;
    QTest::newRow("comma first") << ",25" << 0.25;
}

void tst_UntProcedimentos::readDecimalReadsDisplayedText() {
    QFETCH(QString, text);
    QFETCH(double, expected);

    QCOMPARE(readDecimal(text), expected);
}

void tst_UntProcedimentos::readDecimalRejectsNonNumbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty") << "" << floatError("");
    QTest::newRow("letters, trimmed in the message") << " abc " << floatError("abc");
    QTest::newRow("points removed in the message") << "1.2x" << floatError("12x");
    QTest::newRow("blank inside") << " 1 2 " << floatError("1 2");
    QTest::newRow("lone comma") << "," << floatError(",");
    QTest::newRow("beyond the largest double") << "1E400" << floatError("1E400");
}

void tst_UntProcedimentos::readDecimalRejectsNonNumbers() {
    QFETCH(QString, text);
    QFETCH(QString, message);

    try {
        readDecimal(text);
        QFAIL("no conversion error");
    } catch (const ConversionError& e) {
        QCOMPARE(QString::fromUtf8(e.what()), message);
    }
}

void tst_UntProcedimentos::readIntegerReadsWholeText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint32>("expected");

    QTest::newRow("odometer") << "1500" << 1500;
    QTest::newRow("negative distance") << "-100" << -100;
    QTest::newRow("plus sign") << "+7" << 7;
    QTest::newRow("leading blanks") << "  42" << 42;
    QTest::newRow("leading zeros") << "0000000000000000007" << 7;
    QTest::newRow("negative zero") << "-0" << 0;
    QTest::newRow("largest") << "2147483647" << std::numeric_limits<qint32>::max();
    QTest::newRow("smallest") << "-2147483648" << std::numeric_limits<qint32>::min();
}

void tst_UntProcedimentos::readIntegerReadsWholeText() {
    QFETCH(QString, text);
    QFETCH(qint32, expected);

    QCOMPARE(readInteger(text), expected);
}

void tst_UntProcedimentos::readIntegerRejectsOtherText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const auto rejected = [](const char* name, const QString& text, const QString& message = {}) {
        QTest::newRow(name) << text << (message.isNull() ? integerError(text) : message);
    };

    rejected("empty", "");
    rejected("only blanks", "   ");
    rejected("sign alone", "-");
    rejected("trailing blank", "42 ");
    rejected("leading tab", "\t42", integerError(QStringLiteral("\u240942")));
    rejected("thousands point", "1.500");
    rejected("decimal comma", "1,5");
    rejected("letters", "abc");
    rejected("blank after the sign", "- 5");
    rejected("hexadecimal", "0x1A");
    rejected("exponent", "1E3");
    rejected("one above the largest", "2147483648");
    rejected("one below the smallest", "-2147483649");
    rejected("twenty digits", "99999999999999999999");
    rejected("non-ASCII digits", QStringLiteral("\u0661\u0662"));
    rejected("10,000 digits pasted", QString(10000, u'9'), integerError(QString(40, u'9') + u'\u2026'));
}

void tst_UntProcedimentos::readIntegerRejectsOtherText() {
    QFETCH(QString, text);
    QFETCH(QString, message);

    try {
        readInteger(text);
        QFAIL("no conversion error");
    } catch (const ConversionError& e) {
        QCOMPARE(QString::fromUtf8(e.what()), message);
    }
}

void tst_UntProcedimentos::generalTextWritesShortestForm_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("one decimal") << 12.5 << "12,5";
    QTest::newRow("whole number") << 40.0 << "40";
    QTest::newRow("fifteen significant digits") << 10.0 / 3.0 << "3,33333333333333";
    QTest::newRow("negative") << -2.0 << "-2";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("smallest plain decimal") << 0.0001 << "0,0001";
    QTest::newRow("small value in exponent form") << 1e-5 << "1E-5";
    QTest::newRow("small value with decimals") << -1.5e-7 << "-1,5E-7";
    QTest::newRow("fifteen integer digits") << 999999999999999.0 << "999999999999999";
    QTest::newRow("sixteen integer digits") << 1e15 << "1E15";
    QTest::newRow("large value") << 1e20 << "1E20";
    QTest::newRow("large value rounded") << 123456789012345678.0 << "1,23456789012346E17";
    QTest::newRow("binary fraction") << 0.1 + 0.2 << "0,3";
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "INF";
    QTest::newRow("negative infinity") << -std::numeric_limits<double>::infinity() << "-INF";
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << "NAN";
}

void tst_UntProcedimentos::generalTextWritesShortestForm() {
    QFETCH(double, value);
    QFETCH(QString, expected);

    QCOMPARE(generalText(value), expected);
}

void tst_UntProcedimentos::quotientsShowRoundedToCents_data() {
    QTest::addColumn<QString>("dividend");
    QTest::addColumn<QString>("divisor");
    QTest::addColumn<QString>("expected");

    QTest::newRow("total 58,90 over 10,00 litres") << "58,90"
                                                   << "10,00"
                                                   << "5,89";
    QTest::newRow("total 10,00 over 3,00 litres") << "10,00"
                                                  << "3,00"
                                                  << "3,33";
    QTest::newRow("500 km over 50,00 litres") << "500"
                                              << "50,00"
                                              << "10,00";
    QTest::newRow("500 km over 40,00 litres") << "500"
                                              << "40,00"
                                              << "12,50";
    QTest::newRow("-100 km over 50,00 litres") << "-100"
                                               << "50,00"
                                               << "-2,00";
    QTest::newRow("total 1.234,56 over 45,30 litres") << "1.234,56"
                                                      << "45,30"
                                                      << "27,25";
}

void tst_UntProcedimentos::quotientsShowRoundedToCents() {
    QFETCH(QString, dividend);
    QFETCH(QString, divisor);
    QFETCH(QString, expected);

    QCOMPARE(fDecimal(generalText(readDecimal(dividend) / readDecimal(divisor)), 2), expected);
}

QTEST_APPLESS_MAIN(tst_UntProcedimentos)
#include "tst_UntProcedimentos.moc"
