#include "UntProcedimentos.h"

#include <QLatin1Char>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>

// Brazilian conventions are fixed here on purpose: the conversions below never look at the process locale,
// so a machine set up in another language still reads 1.234,50 the way the station types it.

namespace {

bool isBlankOrControl(QChar c) {
    return c.unicode() <= 0x20;
}

bool isAsciiDigit(QChar c) {
    return c.unicode() >= '0' && c.unicode() <= '9';
}

QString withoutPoints(QString text) {
    text.remove(QLatin1Char('.'));
    return text;
}

QString trimmedLeft(const QString& text) {
    qsizetype first = 0;
    while (first < text.size() && isBlankOrControl(text.at(first)))
        ++first;
    return text.mid(first);
}

QString trimmedBoth(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && isBlankOrControl(text.at(end - 1)))
        --end;
    return trimmedLeft(text.left(end));
}

// Steps over leading blanks and one sign; says whether the sign was a minus.
bool skipBlanksAndSign(const QString& text, qsizetype& i) {
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        return text.at(i++) == QLatin1Char('-');
    return false;
}

// The input as an error message repeats it: cut to a readable length, and with its control characters shown
// as their pictures, so a pasted NUL or line break can neither cut the message nor break it up.
QString echoed(const QString& text) {
    constexpr qsizetype shownLength = 40;
    QString shown = text.left(shownLength);
    if (shown.size() < text.size() && shown.back().isHighSurrogate())
        shown.chop(1);
    for (QChar& c : shown) {
        if (c.unicode() < 0x20)
            c = QChar(0x2400 + c.unicode());
        else if (c.unicode() == 0x7F)
            c = QChar(0x2421);
    }
    if (shown.size() < text.size())
        shown += QChar(0x2026);
    return shown;
}

[[noreturn]] void throwNotFloat(const QString& text) {
    throw ConversionError(QStringLiteral("'%1' is not a valid floating point value").arg(echoed(text)));
}

[[noreturn]] void throwNotInteger(const QString& text) {
    throw ConversionError(QStringLiteral("'%1' is not a valid integer value").arg(echoed(text)));
}

// Decimal exponents are saturated well beyond anything a double can hold, so a typed "1E99999999999"
// neither overflows our arithmetic nor turns into a small number.
constexpr long long exponentCap = 1'000'000'000LL;

// Reads blanks, sign, digits with an optional decimal comma, an optional exponent and trailing blanks;
// nothing else. Values too large for a double do not read; values too small read as zero.
std::optional<double> readNumber(const QString& text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    const bool negative = skipBlanksAndSign(text, i);

    std::string digits;
    long long fractionDigits = 0;
    bool anyDigit = false;
    while (i < n && isAsciiDigit(text.at(i))) {
        anyDigit = true;
        if (!digits.empty() || text.at(i) != QLatin1Char('0'))
            digits.push_back(static_cast<char>(text.at(i).unicode()));
        ++i;
    }
    if (i < n && text.at(i) == QLatin1Char(',')) {
        ++i;
        while (i < n && isAsciiDigit(text.at(i))) {
            anyDigit = true;
            if (!digits.empty() || text.at(i) != QLatin1Char('0'))
                digits.push_back(static_cast<char>(text.at(i).unicode()));
            ++fractionDigits;
            ++i;
        }
    }
    if (!anyDigit)
        return std::nullopt;

    long long exponent = 0;
    if (i < n && (text.at(i) == QLatin1Char('E') || text.at(i) == QLatin1Char('e'))) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
            negativeExponent = text.at(i) == QLatin1Char('-');
            ++i;
        }
        bool anyExponentDigit = false;
        while (i < n && isAsciiDigit(text.at(i))) {
            anyExponentDigit = true;
            exponent = std::min(exponent * 10 + (text.at(i).unicode() - '0'), exponentCap);
            ++i;
        }
        if (!anyExponentDigit)
            return std::nullopt;
        if (negativeExponent)
            exponent = -exponent;
    }

    while (i < n && text.at(i) == QLatin1Char(' '))
        ++i;
    if (i != n)
        return std::nullopt;

    if (digits.empty())
        return 0.0;

    // value = digits * 10^scale; its leading digit stands at 10^magnitude.
    const long long scale = exponent - fractionDigits;
    const long long magnitude = scale + static_cast<long long>(digits.size()) - 1;
    if (magnitude > 400)
        return std::nullopt;
    if (magnitude < -400)
        return 0.0;

    const std::string canonical = digits + 'e' + std::to_string(scale);
    double value = 0.0;
    const auto [end, error] = std::from_chars(canonical.data(), canonical.data() + canonical.size(), value);
    if (error == std::errc::result_out_of_range) {
        if (magnitude > 0)
            return std::nullopt;
        value = 0.0;
    } else if (error != std::errc() || end != canonical.data() + canonical.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

// A finite double as its significant digits (exactly `precision` of them, correctly rounded) and the
// decimal exponent of the first one.
struct Digits {
    bool negative = false;
    std::string digits;
    long long exponent = 0;
};

Digits scientificDigits(double value, int precision) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, precision - 1);
    Digits out;
    const char* p = buffer;
    if (*p == '-') {
        out.negative = true;
        ++p;
    }
    while (p < result.ptr && *p != 'e') {
        if (*p != '.')
            out.digits.push_back(*p);
        ++p;
    }
    ++p; // 'e'
    if (p < result.ptr && *p == '+')
        ++p;
    std::from_chars(p, static_cast<const char*>(result.ptr), out.exponent);
    return out;
}

bool allZero(const std::string& digits) {
    return std::all_of(digits.begin(), digits.end(), [](char c) { return c == '0'; });
}

QString groupedThousands(const std::string& integerDigits) {
    QString out;
    const auto n = static_cast<qsizetype>(integerDigits.size());
    out.reserve(n + n / 3);
    for (qsizetype k = 0; k < n; ++k) {
        if (k > 0 && (n - k) % 3 == 0)
            out += QLatin1Char('.');
        out += QLatin1Char(integerDigits[static_cast<std::size_t>(k)]);
    }
    return out;
}

// The pattern "###,###,##0.00" (as many zeros after the comma as `casas`) applied to a double that has
// first been written out to 18 significant digits; that text is rounded half away from zero.
QString displayText(double value, int casas) {
    Digits d = scientificDigits(value, 18);

    const long long kept = d.exponent + 1 + casas;
    if (kept < 0) {
        d.digits.clear();
    } else if (kept < static_cast<long long>(d.digits.size())) {
        const bool roundUp = d.digits[static_cast<std::size_t>(kept)] >= '5';
        d.digits.resize(static_cast<std::size_t>(kept));
        if (roundUp) {
            auto k = d.digits.size();
            while (k > 0 && d.digits[k - 1] == '9') {
                d.digits[k - 1] = '0';
                --k;
            }
            if (k > 0) {
                ++d.digits[k - 1];
            } else {
                d.digits.insert(d.digits.begin(), '1');
                ++d.exponent;
            }
        }
    }

    // A value that rounds to zero is shown without its sign: "-0,00" would not compare equal to the
    // "0,00" that the screens use for "not given".
    if (allZero(d.digits))
        return casas > 0 ? QStringLiteral("0,") + QString(casas, QLatin1Char('0')) : QStringLiteral("0");

    const auto digitAt = [&d](long long weight) {
        const long long k = d.exponent - weight;
        return k >= 0 && k < static_cast<long long>(d.digits.size()) ? d.digits[static_cast<std::size_t>(k)]
                                                                     : '0';
    };
    std::string integerDigits;
    for (long long weight = std::max(d.exponent, 0LL); weight >= 0; --weight)
        integerDigits.push_back(digitAt(weight));

    QString out = d.negative ? QStringLiteral("-") : QString();
    out += groupedThousands(integerDigits);
    if (casas > 0) {
        out += QLatin1Char(',');
        for (long long weight = -1; weight >= -casas; --weight)
            out += QLatin1Char(digitAt(weight));
    }
    return out;
}

} // namespace

QString fDecimal(const QString& sValor, int casas) {
    if (casas < 0 || casas > 18)
        throw std::invalid_argument("fDecimal: casas must be between 0 and 18");

    const QString text = trimmedLeft(withoutPoints(sValor.isEmpty() ? QStringLiteral("0,00") : sValor));
    const std::optional<double> valor = readNumber(text);
    if (!valor)
        throwNotFloat(text);
    return trimmedLeft(displayText(*valor, casas));
}

QString fFormacnpj(const QString& numtexto) {
    QString text = numtexto;
    for (const char separator : {'.', '.', '-', '/'}) {
        const qsizetype at = text.indexOf(QLatin1Char(separator));
        if (at >= 0)
            text.remove(at, 1);
    }

    QString out;
    out.reserve(std::max<qsizetype>(18, text.size() + 4));
    for (qsizetype k = 0; k < 14; ++k) {
        out += k < text.size() ? text.at(k) : QLatin1Char(' ');
        if (k == 1 || k == 4)
            out += QLatin1Char('.');
        else if (k == 7)
            out += QLatin1Char('/');
        else if (k == 11)
            out += QLatin1Char('-');
    }
    if (text.size() > 14)
        out += text.mid(14);
    return out;
}

double readDecimal(const QString& text) {
    const QString cleaned = trimmedBoth(withoutPoints(text));
    const std::optional<double> value = readNumber(cleaned);
    if (!value)
        throwNotFloat(cleaned);
    return *value;
}

qint32 readInteger(const QString& text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    const bool negative = skipBlanksAndSign(text, i);
    if (i == n)
        throwNotInteger(text);

    // One past the largest magnitude is enough to tell "too large" apart; saturating keeps long inputs safe.
    constexpr long long limit = static_cast<long long>(std::numeric_limits<qint32>::max()) + 1;
    long long magnitude = 0;
    for (; i < n; ++i) {
        if (!isAsciiDigit(text.at(i)))
            throwNotInteger(text);
        magnitude = std::min(magnitude * 10 + (text.at(i).unicode() - '0'), limit + 1);
    }
    const long long value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<qint32>::max() || value < std::numeric_limits<qint32>::min())
        throwNotInteger(text);
    return static_cast<qint32>(value);
}

QString generalText(double value) {
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");

    Digits d = scientificDigits(value, 15);
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    if (d.digits.empty())
        return QStringLiteral("0");

    QString out = d.negative ? QStringLiteral("-") : QString();
    const QString digits = QString::fromLatin1(d.digits.data(), static_cast<qsizetype>(d.digits.size()));
    if (d.exponent < -4 || d.exponent >= 15) {
        out += digits.at(0);
        if (digits.size() > 1)
            out += QLatin1Char(',') + digits.mid(1);
        out += QLatin1Char('E') + QString::number(d.exponent);
    } else if (d.exponent < 0) {
        out += QStringLiteral("0,") + QString(static_cast<qsizetype>(-d.exponent - 1), QLatin1Char('0')) +
               digits;
    } else {
        const auto integerLength = static_cast<qsizetype>(d.exponent + 1);
        out += digits.left(integerLength);
        if (digits.size() < integerLength)
            out += QString(integerLength - digits.size(), QLatin1Char('0'));
        else if (digits.size() > integerLength)
            out += QLatin1Char(',') + digits.mid(integerLength);
    }
    return out;
}
