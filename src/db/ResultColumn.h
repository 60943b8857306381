#pragma once
// Private to src/db: how the query object holds the rows it has read.

#include "EngineDialect.h"
#include "TextStore.h"
#include "UntConexao.h"

#include <QList>
#include <QVariant>

#include <vector>

// One column of a result, held by type: a kind and an 8-byte slot per row, the texts in large blocks.
// Reading a large result makes no object per cell, and closing it frees a handful of blocks.
class ResultColumn final {
public:
    explicit ResultColumn(EngineDialect::TextReading reading) : reading(reading) {}

    // Hands a value over from the driver, typing its text as the column's reading says.
    void append(const QVariant& value);
    Query::Cell cell(int row) const;
    QVariant value(int row) const;
    // Gives back what the lists reserved beyond the rows read.
    void squeeze();

private:
    using Kind = Query::Cell::Kind;

    void push(Kind kind, quint64 slot);
    void pushOther(const QVariant& value);
    void appendTyped(const QVariant& value, bool textMayBeNumber);

    EngineDialect::TextReading reading;
    QList<quint8> kinds;
    QList<quint64> payload; // the integer, the real's bits, where a text is held, or an index in others
    TextStore texts;
    std::vector<QVariant> others; // what no kind above holds (a server's date-time, bytes, a huge text)
};
