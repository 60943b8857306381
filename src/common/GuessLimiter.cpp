#include "GuessLimiter.h"

#include "Clock.h"

#include <QWidget>

#include <algorithm>

namespace {
constexpr int freeTries = 3;
constexpr int longestWait = 60;
} // namespace

int GuessLimiter::wrong(const QString& key) {
    const int count = ++wrongInARow[key];
    if (count < freeTries)
        return 0;
    // 2 s after the third, doubling; the shift is bounded before it could overflow.
    const int doublings = std::min(count - freeTries + 1, 6);
    return std::min(1 << doublings, longestWait);
}

void GuessLimiter::right(const QString& key) {
    wrongInARow.remove(key);
}

QString GuessLimiter::refuse(const QString& key, QWidget& button, Clock& clock) {
    const int seconds = wrong(key);
    if (seconds == 0)
        return {};
    button.setEnabled(false);
    clock.after(seconds * 1000, &button, [&button] { button.setEnabled(true); });
    return QStringLiteral("Aguarde %1 s para tentar de novo.").arg(seconds);
}
