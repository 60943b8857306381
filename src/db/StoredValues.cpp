#include "StoredValues.h"

#include "format/DisplayPatterns.h"
#include "format/UntProcedimentos.h"

#include <QDate>
#include <QLatin1Char>
#include <QTime>

namespace StoredValues {

namespace {

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

int digitsAt(QStringView text, int from, int count) {
    int value = 0;
    for (int i = from; i < from + count; ++i)
        value = value * 10 + (text.at(i).unicode() - '0');
    return value;
}

// A positional check, before any digit is read.
bool hasDateTimeShape(QStringView text) {
    if (text.size() != 23)
        return false;
    static constexpr char shape[] = "dddd-dd-dd dd:dd:dd.ddd";
    for (int i = 0; i < 23; ++i) {
        const QChar c = text.at(i);
        if (shape[i] == 'd' ? !isDigit(c) : c != QLatin1Char(shape[i]))
            return false;
    }
    return true;
}

} // namespace

QString dateTimeText(const QDateTime& moment) {
    return moment.toString(dateTimeFormat);
}

DateTimeParts dateTimeParts(QStringView text) {
    return DateTimeParts{digitsAt(text, 0, 4),  digitsAt(text, 5, 2),  digitsAt(text, 8, 2),
                         digitsAt(text, 11, 2), digitsAt(text, 14, 2), digitsAt(text, 17, 2),
                         digitsAt(text, 20, 3)};
}

bool isDateTimeText(QStringView text) {
    if (!hasDateTimeShape(text))
        return false;
    const DateTimeParts at = dateTimeParts(text);
    return QDate::isValid(at.year, at.month, at.day) &&
           QTime::isValid(at.hour, at.minute, at.second, at.msec);
}

QDateTime dateTimeOf(QStringView text) {
    if (!hasDateTimeShape(text))
        return {};
    const DateTimeParts at = dateTimeParts(text);
    const QDate date(at.year, at.month, at.day);
    const QTime time(at.hour, at.minute, at.second, at.msec);
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

QString displayedDateTime(QStringView text) {
    QString shown(19, Qt::Uninitialized);
    QChar* out = shown.data();
    const QChar* in = text.data();
    const int from[] = {8, 9, -1, 5, 6, -1, 0, 1, 2, 3, -2, 11, 12, 13, 14, 15, 16, 17, 18};
    for (int i = 0; i < 19; ++i)
        out[i] = from[i] == -1 ? QLatin1Char('/') : from[i] == -2 ? QLatin1Char(' ') : in[from[i]];
    return shown;
}

QString textOf(const QVariant& value) {
    if (!value.isValid())
        return {};
    switch (value.typeId()) {
    case QMetaType::Double:
        return generalText(value.toDouble());
    case QMetaType::QDateTime:
        return value.toDateTime().toString(DisplayPatterns::dateTime);
    case QMetaType::QDate:
        return value.toDate().toString(DisplayPatterns::date);
    case QMetaType::QTime:
        return value.toTime().toString(DisplayPatterns::time);
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::QByteArray:
        return QString::fromUtf8(value.toByteArray());
    default:
        return value.toString();
    }
}

bool isWholeNumberType(int typeId) {
    switch (typeId) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

bool isNumber(const QVariant& value) {
    const int type = value.metaType().id();
    return isWholeNumberType(type) || type == QMetaType::Double || type == QMetaType::Float;
}

bool isWholeNumber(const QVariant& value) {
    return isWholeNumberType(value.metaType().id());
}

QVariant engineNumber(const QString& text) {
    const int n = int(text.size());
    int i = (n > 0 && text.at(0) == QLatin1Char('-')) ? 1 : 0;
    const int digitsFrom = i;
    while (i < n && isDigit(text.at(i)))
        ++i;
    if (i == digitsFrom)
        return text;
    bool integral = true;
    if (i < n && text.at(i) == QLatin1Char('.')) {
        integral = false;
        const int fractionFrom = ++i;
        while (i < n && isDigit(text.at(i)))
            ++i;
        if (i == fractionFrom)
            return text;
    }
    if (i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        integral = false;
        ++i;
        if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
            ++i;
        const int exponentFrom = i;
        while (i < n && isDigit(text.at(i)))
            ++i;
        if (i == exponentFrom)
            return text;
    }
    if (i != n)
        return text;
    bool ok = false;
    if (integral) {
        const qlonglong whole = text.toLongLong(&ok);
        if (ok)
            return whole;
    }
    const double real = text.toDouble(&ok);
    return ok ? QVariant(real) : QVariant(text);
}

std::optional<double> numberOfText(const QString& text) {
    QString written = text.trimmed();
    written.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double number = written.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return number;
}

std::optional<double> numberOf(const QVariant& value) {
    if (isNumber(value))
        return value.toDouble();
    if (value.metaType().id() != QMetaType::QString)
        return std::nullopt;
    return numberOfText(value.toString());
}

} // namespace StoredValues
