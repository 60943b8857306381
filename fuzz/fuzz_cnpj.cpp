// Arbitrary UTF-8 through the CNPJ layout: it must never fail, always write the four separators in their
// places, and keep every character of the input except the two points, the hyphen and the slash it drops.

#include "format/UntProcedimentos.h"

#include <QHash>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace {

[[noreturn]] void fail(const char* what, const QString& input, const QString& output) {
    std::fprintf(stderr, "%s\n  input:  '%s'\n  output: '%s'\n", what, input.toUtf8().constData(),
                 output.toUtf8().constData());
    std::abort();
}

QHash<QChar, qsizetype> countChars(const QString& text) {
    QHash<QChar, qsizetype> counts;
    for (const QChar c : text)
        ++counts[c];
    return counts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString input =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString output = fFormacnpj(input);

    QHash<QChar, qsizetype> dropped;
    dropped[QLatin1Char('.')] = std::min<qsizetype>(2, input.count(QLatin1Char('.')));
    dropped[QLatin1Char('-')] = std::min<qsizetype>(1, input.count(QLatin1Char('-')));
    dropped[QLatin1Char('/')] = std::min<qsizetype>(1, input.count(QLatin1Char('/')));
    const qsizetype kept =
        input.size() - dropped[QLatin1Char('.')] - dropped[QLatin1Char('-')] - dropped[QLatin1Char('/')];

    if (output.size() != std::max<qsizetype>(18, kept + 4))
        fail("wrong length", input, output);
    if (output.at(2) != QLatin1Char('.') || output.at(6) != QLatin1Char('.') ||
        output.at(10) != QLatin1Char('/') || output.at(15) != QLatin1Char('-'))
        fail("separator out of place", input, output);

    QString laidOut = output;
    for (const qsizetype at : {15, 10, 6, 2})
        laidOut.remove(at, 1);
    QHash<QChar, qsizetype> expected = countChars(input);
    for (auto it = dropped.cbegin(); it != dropped.cend(); ++it)
        expected[it.key()] -= it.value();
    expected[QLatin1Char(' ')] += std::max<qsizetype>(0, 14 - kept);
    for (auto it = expected.begin(); it != expected.end();)
        it = it.value() == 0 ? expected.erase(it) : std::next(it);
    if (countChars(laidOut) != expected)
        fail("characters lost or invented", input, output);
    return 0;
}
