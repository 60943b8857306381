// Arbitrary UTF-8 through the decimal and integer readings. Nothing may crash, and whatever is shown must
// read back: a displayed text is typed again by the next handler that touches the field.

#include "format/UntProcedimentos.h"

#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

[[noreturn]] void fail(const char* what, const QString& input, const QString& detail) {
    std::fprintf(stderr, "%s\n  input:  '%s'\n  detail: '%s'\n", what, input.toUtf8().constData(),
                 detail.toUtf8().constData());
    std::abort();
}

std::optional<QString> shown(const QString& text, int casas) {
    try {
        return fDecimal(text, casas);
    } catch (const ConversionError&) {
        return std::nullopt;
    }
}

std::optional<double> readBack(const QString& text) {
    try {
        return readDecimal(text);
    } catch (const ConversionError&) {
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const std::optional<double> value = readBack(text);
    for (const int casas : {2, 3}) {
        const std::optional<QString> display = shown(text, casas);
        if (!display)
            continue;
        // The empty text is the one fDecimal shows as zero without reading it.
        if (!value && !text.isEmpty())
            fail("fDecimal accepts what readDecimal rejects", text, *display);
        if (!readBack(*display))
            fail("fDecimal output does not read back", text, *display);
        const std::optional<QString> again = shown(*display, casas);
        if (!again || *again != *display)
            fail("fDecimal output changes when shown again", text, again.value_or(QStringLiteral("<error>")));
    }

    if (value && std::fabs(*value) < 1e308) {
        const QString general = generalText(*value);
        if (!shown(general, 2))
            fail("general text of a read value does not show", text, general);
    }

    try {
        const qint32 integer = readInteger(text);
        if (!value || *value != integer)
            fail("readInteger and readDecimal disagree", text, QString::number(integer));
    } catch (const ConversionError&) {
    }
    return 0;
}
