#include "ResultColumn.h"

#include "StoredValues.h"

#include <cstring>

void ResultColumn::push(Kind kind, quint64 slot) {
    kinds.append(quint8(kind));
    payload.append(slot);
}

void ResultColumn::pushOther(const QVariant& value) {
    others.push_back(value);
    push(Kind::Other, quint64(others.size() - 1));
}

void ResultColumn::append(const QVariant& value) {
    appendTyped(value, reading.number);
}

void ResultColumn::appendTyped(const QVariant& value, bool textMayBeNumber) {
    if (!value.isValid() || value.isNull())
        return push(Kind::Null, 0);
    const int type = value.typeId();
    if (StoredValues::isWholeNumberType(type))
        return push(Kind::Integer, quint64(value.toLongLong()));
    if (type == QMetaType::Double || type == QMetaType::Float) {
        const double real = value.toDouble();
        quint64 bits = 0;
        std::memcpy(&bits, &real, sizeof bits);
        return push(Kind::Real, bits);
    }
    if (type == QMetaType::QString) {
        const QString& text = *static_cast<const QString*>(value.constData());
        if (reading.dateTime && StoredValues::isDateTimeText(text))
            return push(Kind::DateTimeText, texts.add(text));
        if (textMayBeNumber) {
            const QVariant number = StoredValues::engineNumber(text);
            if (number.typeId() != QMetaType::QString)
                return appendTyped(number, false);
        }
        if (text.size() > TextStore::longest)
            return pushOther(value);
        return push(Kind::Text, texts.add(text));
    }
    pushOther(value);
}

Query::Cell ResultColumn::cell(int row) const {
    Query::Cell cell;
    cell.kind = Kind(kinds.at(row));
    const quint64 slot = payload.at(row);
    switch (cell.kind) {
    case Kind::Integer:
        cell.integer = qint64(slot);
        break;
    case Kind::Real:
        std::memcpy(&cell.real, &slot, sizeof cell.real);
        break;
    case Kind::Text:
    case Kind::DateTimeText:
        cell.text = texts.at(slot);
        break;
    default:
        break;
    }
    return cell;
}

QVariant ResultColumn::value(int row) const {
    const Query::Cell held = cell(row);
    switch (held.kind) {
    case Kind::Null:
        return {};
    case Kind::Integer:
        return qlonglong(held.integer);
    case Kind::Real:
        return held.real;
    case Kind::Text:
        return held.text.toString();
    case Kind::DateTimeText:
        return StoredValues::dateTimeOf(held.text);
    case Kind::Other:
        return others.at(std::size_t(payload.at(row)));
    }
    return {};
}

void ResultColumn::squeeze() {
    kinds.squeeze();
    payload.squeeze();
}
