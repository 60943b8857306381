// Arbitrary UTF-8, split into lines and parsed after each line is added, as the query object does. Nothing
// may crash; the text sent must be the text written with each marker as "?" and each "::" outside quotes as
// ":", everything else kept; every marker must name the text where it stands; each name must come once, as
// first spelled; and adding a line must leave what was parsed before it as it was.

#include "db/MarkerParser.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

[[noreturn]] void fail(const char* what, const QString& text, const QString& detail) {
    std::fprintf(stderr, "%s\n  text:   '%s'\n  detail: '%s'\n", what, text.toUtf8().constData(),
                 detail.toUtf8().constData());
    std::abort();
}

bool endsName(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\r') || c == QLatin1Char('\n') ||
           c == QLatin1Char(',') || c == QLatin1Char(';') || c == QLatin1Char(')');
}

struct Marked {
    QString name;
};

// Walks the text written and the text sent side by side: outside quotes a ":" with a name must be a "?",
// a "::" a ":", anything else itself. Gives the markers met, in order.
std::vector<Marked> checkSent(const QString& text, const QString& sent) {
    std::vector<Marked> marked;
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
            if (end == i + 1) {
                expect(QLatin1Char(':'));
                ++i;
                continue;
            }
            expect(QLatin1Char('?'));
            marked.push_back({text.mid(i + 1, end - i - 1)});
            i = end;
        }
    }
    if (j != sent.size())
        fail("sent text goes on past the text written", text, sent.mid(j));
    return marked;
}

void checkNames(const QString& text, const ParsedStatement& parsed) {
    const std::vector<Marked> marked = checkSent(text, parsed.sent);
    if (parsed.markers.size() != marked.size())
        fail("markers reported are not the markers written", text, parsed.names.join(QLatin1Char('|')));
    int firstUnused = 0;
    for (std::size_t k = 0; k < marked.size(); ++k) {
        const int index = parsed.markers[k];
        if (index < 0 || index > firstUnused || index >= int(parsed.names.size()))
            fail("names are not numbered in order of first use", text, marked[k].name);
        if (index == firstUnused) {
            if (parsed.names.at(index) != marked[k].name)
                fail("a name is not kept as first spelled", text, parsed.names.at(index));
            ++firstUnused;
        } else if (parsed.names.at(index).compare(marked[k].name, Qt::CaseInsensitive) != 0) {
            fail("a marker points at another name", text, marked[k].name);
        }
    }
    if (firstUnused != int(parsed.names.size()))
        fail("a name is reported that no marker uses", text, parsed.names.join(QLatin1Char('|')));
    for (qsizetype a = 0; a < parsed.names.size(); ++a)
        for (qsizetype b = a + 1; b < parsed.names.size(); ++b)
            if (parsed.names.at(a).compare(parsed.names.at(b), Qt::CaseInsensitive) == 0)
                fail("a name is reported twice", text, parsed.names.at(a));
}

template <typename List> bool startsWith(const List& whole, const List& part) {
    return whole.size() >= part.size() && std::equal(part.begin(), part.end(), whole.begin());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QStringList lines =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))
            .split(QLatin1Char('\n'));

    QString written;
    ParsedStatement before;
    for (const QString& line : lines) {
        written += line + QStringLiteral("\r\n");
        const ParsedStatement parsed = parseMarkers(written);
        checkNames(written, parsed);

        // Parsing goes front to back and every line ends in CR LF: a new line changes nothing before it.
        if (!startsWith(parsed.names, before.names))
            fail("a new line changed the names before it", written, parsed.names.join(QLatin1Char('|')));
        if (!parsed.sent.startsWith(before.sent))
            fail("a new line changed the text sent before it", written, parsed.sent);
        if (!startsWith(parsed.markers, before.markers))
            fail("a new line changed the markers before it", written, parsed.sent);

        // Qt's scan needs a colon to find a name after.
        if (hasQtNamedPlaceholder(parsed.sent) && !parsed.sent.contains(QLatin1Char(':')))
            fail("a placeholder found without a colon", written, parsed.sent);
        before = parsed;
    }
    return 0;
}
