// Arbitrary file bytes as Config.ini, with a key name and a value taken from the front of the input. Nothing
// may crash; a value without a line break must read back exactly once written, the other keys must read as
// before, and writing the same value again must leave the file as it was. A value with a line break must be
// refused and leave the file untouched.

#include "app/IniFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

std::unique_ptr<QTemporaryDir> folder;

const QString section = QStringLiteral("Login");
// No value can hold a line break, so no reading can give this.
const QString missing = QStringLiteral("\n");

[[noreturn]] void fail(const char* what, const QByteArray& file, const QString& key, const QString& detail) {
    std::fprintf(stderr, "%s\n  file:   '%s'\n  key:    '%s'\n  detail: '%s'\n", what,
                 file.toPercentEncoding(" =[]").constData(), key.toUtf8().constData(),
                 detail.toUtf8().constData());
    std::abort();
}

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') ||
           c == QLatin1Char('\n') || c == QLatin1Char('\v') || c == QLatin1Char('\f');
}

// A key the file can hold as one entry line: no blank at an end (names are trimmed), no "=" (it would end the
// name), no line break, and no "[" in front (the line would read as a section).
bool storableKey(const QString& key) {
    return !key.contains(QLatin1Char('=')) && !key.contains(QLatin1Char('\n')) &&
           !key.contains(QLatin1Char('\r')) && !key.startsWith(QLatin1Char('[')) &&
           (key.isEmpty() || (!isBlank(key.front()) && !isBlank(key.back())));
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    folder = std::make_unique<QTemporaryDir>();
    if (!folder->isValid()) {
        std::fprintf(stderr, "no temporary folder: %s\n", folder->errorString().toUtf8().constData());
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const QString name = QString::fromStdString(input.ConsumeRandomLengthString(64));
    const QString value = QString::fromStdString(input.ConsumeRandomLengthString(256));
    const QByteArray original = QByteArray::fromStdString(input.ConsumeRemainingBytesAsString());

    const QString path = folder->filePath(QStringLiteral("Config.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(original) != original.size())
            fail("cannot prepare the file", original, name, file.errorString());
    }

    const IniFile ini(path);
    const QString key = name.isEmpty()      ? QStringLiteral("CNPJ")
                        : storableKey(name) ? name
                                            : QStringLiteral("Senha");
    QStringList others;
    for (const QString& other : {QStringLiteral("CNPJ"), QStringLiteral("Senha"), name})
        if (other.compare(key, Qt::CaseInsensitive) != 0 && !others.contains(other))
            others.append(other);
    QStringList before;
    for (const QString& other : std::as_const(others))
        before.append(ini.readString(section, other, missing));

    if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'))) {
        try {
            ini.writeString(section, key, value);
            fail("a value with a line break was written", original, key, value);
        } catch (const IniWriteError&) {
        }
        if (fileBytes(path) != original)
            fail("a refused write changed the file", original, key, QString::fromLatin1(fileBytes(path)));
        return 0;
    }

    try {
        ini.writeString(section, key, value);
    } catch (const IniWriteError& error) {
        fail("the write failed", original, key, QString::fromUtf8(error.what()));
    }
    const QString read = ini.readString(section, key, missing);
    if (read != value)
        fail("the value written does not read back", original, key, value + QStringLiteral(" -> ") + read);
    for (qsizetype k = 0; k < others.size(); ++k) {
        const QString after = ini.readString(section, others.at(k), missing);
        if (after != before.at(k))
            fail("the write changed another key", original, others.at(k),
                 before.at(k) + QStringLiteral(" -> ") + after);
    }

    const QByteArray written = fileBytes(path);
    ini.writeString(section, key, value);
    if (fileBytes(path) != written)
        fail("writing the same value again changed the file", original, key,
             QString::fromLatin1(fileBytes(path)));
    return 0;
}
