#include "IniFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringList>

#include <array>
#include <optional>

namespace {

enum class Encoding { Ansi, Utf8, Utf8Bom, Utf16Le };

struct Text {
    QStringList lines;
    Encoding encoding = Encoding::Ansi;
};

// Windows-1252 from 0x80 to 0x9F; the five unassigned bytes map to the control characters of the same value,
// as Windows does.
constexpr std::array<char16_t, 32> cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromCp1252(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        text.append(b >= 0x80 && b < 0xA0 ? QChar(cp1252High.at(b - 0x80)) : QChar(b));
    }
    return text;
}

std::optional<QByteArray> toCp1252(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            bytes.append(static_cast<char>(u));
            continue;
        }
        int found = -1;
        for (int i = 0; i < int(cp1252High.size()); ++i) {
            if (cp1252High.at(i) == u)
                found = i;
        }
        if (found < 0)
            return std::nullopt;
        bytes.append(static_cast<char>(0x80 + found));
    }
    return bytes;
}

bool isAscii(const QByteArray& bytes) {
    for (const char byte : bytes) {
        if (static_cast<unsigned char>(byte) >= 0x80)
            return false;
    }
    return true;
}

std::optional<QString> fromStrictUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QStringList splitLines(const QString& content) {
    QStringList lines = content.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    return lines;
}

Text decode(const QByteArray& bytes) {
    Text text;
    QString content;
    if (bytes.startsWith("\xFF\xFE")) {
        text.encoding = Encoding::Utf16Le;
        content = QStringDecoder(QStringConverter::Utf16LE).decode(bytes.mid(2));
    } else if (bytes.startsWith("\xFE\xFF")) {
        text.encoding = Encoding::Utf16Le;
        content = QStringDecoder(QStringConverter::Utf16BE).decode(bytes.mid(2));
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        text.encoding = Encoding::Utf8Bom;
        content = QStringDecoder(QStringConverter::Utf8).decode(bytes.mid(3));
    } else if (const auto utf8 = isAscii(bytes) ? std::optional<QString>() : fromStrictUtf8(bytes)) {
        text.encoding = Encoding::Utf8;
        content = *utf8;
    } else {
        content = fromCp1252(bytes);
    }
    text.lines = splitLines(content);
    return text;
}

QByteArray encode(const Text& text) {
    const QString content = text.lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    switch (text.encoding) {
    case Encoding::Utf8Bom:
        return QByteArray("\xEF\xBB\xBF") + content.toUtf8();
    case Encoding::Utf8:
        return content.toUtf8();
    case Encoding::Ansi:
        // An ANSI text that happens to be valid UTF-8 would be read back as UTF-8: write it as UTF-16.
        if (const auto ansi = toCp1252(content); ansi && (isAscii(*ansi) || !fromStrictUtf8(*ansi)))
            return *ansi;
        [[fallthrough]];
    case Encoding::Utf16Le:
        break;
    }
    QByteArray bytes("\xFF\xFE");
    for (const QChar c : content) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

// The blanks the Windows functions trim around names and values.
bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') ||
           c == QLatin1Char('\n') || c == QLatin1Char('\v') || c == QLatin1Char('\f');
}

QString trimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

QString valueAsRead(const QString& stored) {
    const QString value = trimBlanks(stored);
    const bool quoted = value.size() >= 2 &&
                        (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')) &&
                        value.back() == value.front();
    return quoted ? value.mid(1, value.size() - 2) : value;
}

// A value that the reading rules would change (blanks at an end, surrounding quotes) is stored in quotes,
// which those rules take off again.
QString valueAsStored(const QString& value) {
    if (valueAsRead(value) == value)
        return value;
    return QLatin1Char('"') + value + QLatin1Char('"');
}

std::optional<QString> sectionName(const QString& line) {
    const QString trimmed = trimBlanks(line);
    const qsizetype close = trimmed.lastIndexOf(QLatin1Char(']'));
    if (!trimmed.startsWith(QLatin1Char('[')) || close < 0)
        return std::nullopt;
    return trimBlanks(trimmed.mid(1, close - 1));
}

QString keyName(const QString& line) {
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    return trimBlanks(equals < 0 ? line : line.left(equals));
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Lines [begin, end) of the first section of that name; begin is the section line.
struct SectionRange {
    qsizetype begin = -1;
    qsizetype end = -1;
};

SectionRange findSection(const QStringList& lines, const QString& section) {
    SectionRange range;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto name = sectionName(lines.at(i));
        if (!name)
            continue;
        if (range.begin >= 0) {
            range.end = i;
            return range;
        }
        if (sameName(*name, section))
            range.begin = i;
    }
    if (range.begin >= 0)
        range.end = lines.size();
    return range;
}

qsizetype findKey(const QStringList& lines, const SectionRange& range, const QString& key) {
    for (qsizetype i = range.begin + 1; i < range.end; ++i) {
        if (!trimBlanks(lines.at(i)).isEmpty() && sameName(keyName(lines.at(i)), key))
            return i;
    }
    return -1;
}

} // namespace

IniFile::IniFile(QString path) : filePath(std::move(path)) {}

QString IniFile::readString(const QString& section, const QString& key, const QString& defaultValue) const {
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return defaultValue;
    const Text text = decode(file.readAll());
    const SectionRange range = findSection(text.lines, section);
    if (range.begin < 0)
        return defaultValue;
    const qsizetype line = findKey(text.lines, range, key);
    if (line < 0)
        return defaultValue;
    const QString& entry = text.lines.at(line);
    const qsizetype equals = entry.indexOf(QLatin1Char('='));
    return equals < 0 ? QString() : valueAsRead(entry.mid(equals + 1));
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) const {
    const IniWriteError failure("Unable to write to " + filePath.toStdString());
    // A line break would split the entry and leave a stray line in the file.
    if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')))
        throw failure;

    Text text;
    if (QFile::exists(filePath)) {
        // The other lines must survive the rewrite, so a file that cannot be read cannot be written either.
        QFile file(filePath);
        if (!file.open(QIODevice::ReadOnly))
            throw failure;
        text = decode(file.readAll());
    }

    const QString entry = key + QLatin1Char('=') + valueAsStored(value);
    const SectionRange range = findSection(text.lines, section);
    if (range.begin < 0) {
        if (!text.lines.isEmpty() && !trimBlanks(text.lines.constLast()).isEmpty())
            text.lines.append(QString());
        text.lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        text.lines.append(entry);
    } else if (const qsizetype line = findKey(text.lines, range, key); line >= 0) {
        text.lines[line] = keyName(text.lines.at(line)) + QLatin1Char('=') + valueAsStored(value);
    } else {
        qsizetype insertAt = range.end;
        while (insertAt > range.begin + 1 && trimBlanks(text.lines.at(insertAt - 1)).isEmpty())
            --insertAt;
        text.lines.insert(insertAt, entry);
    }

    // The saved password is in plain text: only the owner may read the file.
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                             QFileDevice::WriteUser))
        throw failure;
    const QByteArray bytes = encode(text);
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw failure;
}
