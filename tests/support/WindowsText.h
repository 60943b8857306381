#pragma once

#include <QByteArray>
#include <QString>

// Text as a Windows editor saves it in "Unicode": UTF-16 little-endian behind its byte-order mark.
inline QByteArray utf16le(const QString& text) {
    QByteArray bytes("\xFF\xFE");
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}
