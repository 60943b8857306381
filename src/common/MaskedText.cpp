#include "MaskedText.h"

#include <QLineEdit>

namespace {
const QString inputPositions = QStringLiteral("AaNnXx90Dd#HhBb");

// For each displayed position of the mask, whether the user types there.
QList<bool> inputMap(const QString& inputMask) {
    QString mask = inputMask;
    const int blankSpec = mask.lastIndexOf(QLatin1Char(';'));
    if (blankSpec >= 0 && blankSpec == mask.size() - 2)
        mask.truncate(blankSpec);
    QList<bool> map;
    for (int i = 0; i < mask.size(); ++i) {
        const QChar c = mask.at(i);
        if (c == QLatin1Char('\\') && i + 1 < mask.size()) {
            map.append(false);
            ++i;
        } else if (c == QLatin1Char('>') || c == QLatin1Char('<') || c == QLatin1Char('!')) {
            continue;
        } else {
            map.append(inputPositions.contains(c));
        }
    }
    return map;
}
} // namespace

QString maskedValue(const QLineEdit& edit) {
    const QString shown = edit.displayText();
    if (edit.inputMask().isEmpty())
        return shown.trimmed();
    const QList<bool> map = inputMap(edit.inputMask());
    QString value;
    for (int i = 0; i < shown.size() && i < map.size(); ++i) {
        if (map.at(i))
            value.append(shown.at(i));
    }
    while (!value.isEmpty() && value.back() == QLatin1Char(' '))
        value.chop(1);
    return value;
}

void setMaskedValue(QLineEdit& edit, const QString& value) {
    if (edit.inputMask().isEmpty()) {
        edit.setText(value);
        return;
    }
    const QList<bool> map = inputMap(edit.inputMask());
    QString laid;
    int next = 0;
    for (bool isInput : map) {
        if (!isInput) {
            laid.append(QLatin1Char(' '));
            continue;
        }
        laid.append(next < value.size() ? value.at(next) : QLatin1Char(' '));
        ++next;
    }
    // With the literals' places given, the mask keeps every character in its own position.
    QString withLiterals;
    const QString blankShown = edit.displayText();
    for (int i = 0; i < map.size(); ++i)
        withLiterals.append(map.at(i) ? laid.at(i)
                                      : (i < blankShown.size() ? blankShown.at(i) : QLatin1Char(' ')));
    edit.setText(withLiterals);
}
