#include "GuessLimiter.h"

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
