#pragma once

#include <QHash>
#include <QString>

// Wrong passwords in a row, per whom they were tried for (a driver, a station), for the program's run. After
// the third, each further try waits 2, 4, 8... seconds, at most 60, so a short PIN can't be guessed by
// trying them all. Nothing of it is stored.
class GuessLimiter final {
public:
    // A wrong try for `key`: the seconds its next try has to wait, 0 while fewer than three in a row.
    int wrong(const QString& key);
    // A right try: the count starts again.
    void right(const QString& key);

private:
    QHash<QString, int> wrongInARow;
};
