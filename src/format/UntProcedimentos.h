#pragma once

#include <QString>

#include <stdexcept>

// A text that does not read as a number; what() is the message the user reads.
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    explicit ConversionError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// Brazilian display form with `casas` decimals (2 or 3) and thousands points: "1234,5" -> "1.234,50".
// Every "." of the input is dropped first. Throws ConversionError.
QString fDecimal(const QString& sValor, int casas);

// "12345678901234" -> "12.345.678/9012-34".
QString fFormacnpj(const QString& numtexto);

// The decimal reading: every "." deleted, blanks trimmed, "," the decimal separator. Throws ConversionError.
double readDecimal(const QString& text);

// The integer reading: the whole text as a 32-bit signed decimal integer. Throws ConversionError.
qint32 readInteger(const QString& text);

// The general text form of a number: up to 15 significant digits, decimal comma, no thousands separator
// (12.5 -> "12,5", 40 -> "40").
QString generalText(double value);
