#pragma once

#include <QHash>
#include <QString>

class Clock;
class QWidget;

// Wrong passwords in a row, per whom they were tried for (a driver, a station), for the program's run. After
// the third, each further try waits 2, 4, 8... seconds, at most 60, so a short PIN can't be guessed by
// trying them all. Nothing of it is stored.
class GuessLimiter final {
public:
    // A wrong try for `key` as the window shows it: while the wait runs, `button` is disabled. Gives the
    // refusal's detail line, which tells the wait and nothing else; empty when there is none.
    QString refuse(const QString& key, QWidget& button, Clock& clock);
    // A right try: the count starts again.
    void right(const QString& key);

private:
    // A wrong try for `key`: the seconds its next try has to wait, 0 while fewer than three in a row.
    int wrong(const QString& key);

    QHash<QString, int> wrongInARow;
};
