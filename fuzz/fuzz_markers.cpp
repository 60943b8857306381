// Arbitrary UTF-8, split into lines, added one by one to a query. Nothing may crash, and the text sent must
// be the text written with each marker as "?" and each "::" outside quotes as ":", everything else kept;
// every name reported must bind and read back, and adding a line must leave what came before as it was.

#include "db/UntConexao.h"

#include <QCoreApplication>
#include <QDir>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

std::unique_ptr<QCoreApplication> application;
std::unique_ptr<TdmConexao> plainConnection;    // statements go out as parsed
std::unique_ptr<TdmConexao> embeddedConnection; // statements adapted to the embedded engine

[[noreturn]] void fail(const char* what, const QString& text, const QString& detail) {
    std::fprintf(stderr, "%s\n  text:   '%s'\n  detail: '%s'\n", what, text.toUtf8().constData(),
                 detail.toUtf8().constData());
    std::abort();
}

bool endsName(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\r') || c == QLatin1Char('\n') ||
           c == QLatin1Char(',') || c == QLatin1Char(';') || c == QLatin1Char(')');
}

// Another spelling of the same name: ASCII letters in the other case, which no case rule can disagree on.
QString otherCase(const QString& name) {
    QString spelled = name;
    for (QChar& c : spelled) {
        const char16_t u = c.unicode();
        if (u >= 'a' && u <= 'z')
            c = QChar(char16_t(u - 'a' + 'A'));
        else if (u >= 'A' && u <= 'Z')
            c = QChar(char16_t(u - 'A' + 'a'));
    }
    return spelled;
}

// Walks the text written and the text sent side by side: outside quotes a ":" with a name must be a "?",
// a "::" a ":", anything else itself. Gives the names met, first spelling of each, in order.
QStringList checkSent(const QString& text, const QString& sent) {
    QStringList names;
    QChar quote;
    qsizetype j = 0;
    const auto expect = [&](QChar c) {
        if (j >= sent.size() || sent.at(j) != c)
            fail("sent text differs from the text written", text, sent.left(j) + QStringLiteral("<here>"));
        ++j;
    };
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text.at(i);
        if (!quote.isNull() || c != QLatin1Char(':')) {
            if (!quote.isNull() && c == quote)
                quote = QChar();
            else if (quote.isNull() && (c == QLatin1Char('\'') || c == QLatin1Char('"')))
                quote = c;
            expect(c);
            ++i;
        } else if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char(':')) {
            expect(QLatin1Char(':'));
            i += 2;
        } else {
            qsizetype end = i + 1;
            while (end < text.size() && !endsName(text.at(end)))
                ++end;
            const QString name = text.mid(i + 1, end - i - 1);
            if (name.isEmpty()) {
                expect(QLatin1Char(':'));
                ++i;
                continue;
            }
            expect(QLatin1Char('?'));
            if (!names.contains(name, Qt::CaseInsensitive))
                names.append(name);
            i = end;
        }
    }
    if (j != sent.size())
        fail("sent text goes on past the text written", text, sent.mid(j));
    return names;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    application = std::make_unique<QCoreApplication>(*argc, *argv);
    // Neither connection is opened: the file need not exist.
    const QString file = QDir::temp().filePath(QStringLiteral("korva-fuzz-markers.db"));
    ConnectionSettings plain = ConnectionSettings::sqliteFile(file);
    plain.engine = ConnectionSettings::Engine::SqlServer;
    plainConnection = std::make_unique<TdmConexao>(plain);
    embeddedConnection = std::make_unique<TdmConexao>(ConnectionSettings::sqliteFile(file));
    // Qt's list of connections is a global made on the first connection and gone before our globals: the
    // connections must go first.
    std::atexit([] {
        embeddedConnection.reset();
        plainConnection.reset();
        application.reset();
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QStringList lines =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))
            .split(QLatin1Char('\n'));

    Query query(*plainConnection);
    Query embedded(*embeddedConnection);
    QString written;
    QStringList namesBefore;
    QString sentBefore;
    for (const QString& line : lines) {
        query.addLine(line);
        embedded.addLine(line);
        written += line + QStringLiteral("\r\n");
        if (query.sqlText() != written)
            fail("lines not joined with CR LF", written, query.sqlText());

        // Parsing goes front to back and every line ends in CR LF: a new line changes nothing before it.
        const QStringList names = query.parameterNames();
        const QString sent = query.sentText();
        if (names.mid(0, namesBefore.size()) != namesBefore)
            fail("a new line changed the names before it", written, names.join(QLatin1Char('|')));
        if (!sent.startsWith(sentBefore))
            fail("a new line changed the text sent before it", written, sent);
        for (qsizetype k = 0; k < namesBefore.size(); ++k)
            if (query.boundValue(namesBefore.at(k)) != QVariant(qint32(k)))
                fail("a new line lost a bound value", written, namesBefore.at(k));
        for (qsizetype k = namesBefore.size(); k < names.size(); ++k) {
            if (!query.boundValue(names.at(k)).isNull())
                fail("a new name came with a value", written, names.at(k));
            query.bindInteger(otherCase(names.at(k)), qint32(k));
        }
        namesBefore = names;
        sentBefore = sent;
    }

    const QString sent = query.sentText();
    const QStringList names = query.parameterNames();
    if (checkSent(written, sent) != names)
        fail("names reported are not the names marked", written, names.join(QLatin1Char('|')));
    for (qsizetype k = 0; k < names.size(); ++k)
        if (query.boundValue(names.at(k)) != QVariant(qint32(k)))
            fail("a name does not read back what was bound to it", written, names.at(k));

    // A blank ends every name, so a text with one is never a parameter.
    try {
        query.bindText(QStringLiteral("p Nada"), QStringLiteral("x"));
        fail("a name that cannot be marked was bound", written, names.join(QLatin1Char('|')));
    } catch (const DatabaseError& error) {
        if (QString::fromUtf8(error.what()) != QStringLiteral("Parameter 'p Nada' not found"))
            fail("wrong message for an unknown name", written, QString::fromUtf8(error.what()));
    }

    // The embedded engine's rewrite moves a row limit; it may not lose or invent a placeholder.
    if (embedded.parameterNames() != names)
        fail("the engine changes the names", written, embedded.parameterNames().join(QLatin1Char('|')));
    if (embedded.sentText().count(QLatin1Char('?')) != sent.count(QLatin1Char('?')))
        fail("the engine's rewrite changes the placeholders", written, embedded.sentText());
    return 0;
}
