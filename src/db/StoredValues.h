#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <QVariant>

#include <optional>

// The forms values are stored in and handed over by the engines, and how each is read back.
namespace StoredValues {

// The embedded engine stores date-times, and is sent them, as this text (SQL Server gets its own form).
inline constexpr QStringView dateTimeFormat = u"yyyy-MM-dd HH:mm:ss.zzz";

// The fields of a stored date-time text, read without building a QDateTime.
struct DateTimeParts {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;
};

QString dateTimeText(const QDateTime& moment);
// Whether `text` is a stored date-time text that names a real moment. Cheap enough for every cell.
bool isDateTimeText(QStringView text);
// The fields of a text isDateTimeText accepts.
DateTimeParts dateTimeParts(QStringView text);
// The moment a stored date-time text names; an invalid QDateTime for any other text.
QDateTime dateTimeOf(QStringView text);
// The display text of a stored date-time text (DisplayPatterns::dateTime), straight from its characters.
QString displayedDateTime(QStringView text);

// The text the query object gives for a value the engine handed over: NULL empty, numbers in the general
// form with a decimal comma, date-times and dates as shown on screen.
QString textOf(const QVariant& value);

// Whether a value of this type is a whole number.
bool isWholeNumberType(int typeId);
// Whether a value holds a number of one of the numeric types (not a number written as text).
bool isNumber(const QVariant& value);
bool isWholeNumber(const QVariant& value);

// SQLite's own text of a number (an integer, or a real as "%.15g" writes it: "12.5", "40.0", "1e+20") as
// that number; any other text as itself.
QVariant engineNumber(const QString& text);

// A number handed over as text, as SQL Server's decimals may be: a point or a comma before the decimals,
// blanks around it ignored.
std::optional<double> numberOfText(const QString& text);
// The number a value holds, or writes as text in the form above; none for any other value.
std::optional<double> numberOf(const QVariant& value);

} // namespace StoredValues
