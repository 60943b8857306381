#include "MarkerParser.h"

#include <QLatin1Char>

namespace {

bool endsName(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\r') || c == QLatin1Char('\n') ||
           c == QLatin1Char(',') || c == QLatin1Char(';') || c == QLatin1Char(')');
}

int nameIndex(const QStringList& names, const QString& name) {
    for (int i = 0; i < int(names.size()); ++i)
        if (names.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

} // namespace

ParsedStatement parseMarkers(const QString& text) {
    ParsedStatement parsed;
    parsed.sent.reserve(text.size());
    QChar quote;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            parsed.sent += c;
            ++i;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            parsed.sent += c;
            ++i;
        } else if (c == QLatin1Char(':') && i + 1 < n && text.at(i + 1) == QLatin1Char(':')) {
            parsed.sent += c;
            i += 2;
        } else if (c == QLatin1Char(':')) {
            qsizetype end = i + 1;
            while (end < n && !endsName(text.at(end)))
                ++end;
            if (end == i + 1) {
                parsed.sent += c;
                ++i;
                continue;
            }
            const QString name = text.mid(i + 1, end - i - 1);
            int index = nameIndex(parsed.names, name);
            if (index < 0) {
                parsed.names.append(name);
                index = int(parsed.names.size()) - 1;
            }
            parsed.markers.push_back(index);
            parsed.sent += QLatin1Char('?');
            i = end;
        } else {
            parsed.sent += c;
            ++i;
        }
    }
    return parsed;
}

bool hasQtNamedPlaceholder(const QString& sent) {
    const auto isNameChar = [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_';
    };
    QChar closing;
    const qsizetype n = sent.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = sent.at(i);
        if (!closing.isNull()) {
            if (c == closing)
                closing = QChar();
            continue;
        }
        if (c == QLatin1Char(':') && (i == 0 || sent.at(i - 1) != QLatin1Char(':')) && i + 1 < n &&
            isNameChar(sent.at(i + 1)))
            return true;
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`'))
            closing = c;
        else if (c == QLatin1Char('['))
            closing = QLatin1Char(']');
    }
    return false;
}
