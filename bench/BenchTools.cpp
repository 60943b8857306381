#include "BenchTools.h"

#include "ScriptedMessages.h"

#include "common/MaskedText.h"
#include "fueling/UntLancamento.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double elapsedMs(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

double longestStretch(const std::function<void()>& work) {
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    tick.start(1);
    clock.start();
    work();
    longest = std::max(longest, clock.nsecsElapsed() - last);
    tick.stop();
    return double(longest) / 1e6;
}

Attendant::Attendant(TfrmLancamento& window, ScriptedMessages& messages, const QString& plate,
                     const QString& registration)
    : window(window), messages(messages), plate(plate), registration(registration) {}

void Attendant::showFresh() {
    window.hide();
    window.show();
    setMaskedValue(*child<QLineEdit>(window, "fiPlaca"), plate);
}

void Attendant::lookUp() {
    window.btPlacaClick();
    child<QComboBox>(window, "lkTipo")->setCurrentIndex(0);
    window.lkTipoClick();
}

void Attendant::typeFueling() {
    showFresh();
    lookUp();
    const double price = child<QLineEdit>(window, "fiVlPosto")
                             ->text()
                             .remove(QLatin1Char('.'))
                             .replace(QLatin1Char(','), QLatin1Char('.'))
                             .toDouble();
    child<QLineEdit>(window, "fiQtde")->setText(QStringLiteral("40"));
    window.fiQtdeExit();
    child<QLineEdit>(window, "fivlTotal")
        ->setText(QString::number(price * 40, 'f', 2).replace(QLatin1Char('.'), QLatin1Char(',')));
    window.fivlTotalExit();
    window.fiKMEnter();
    const qint64 previous = child<QLineEdit>(window, "fiKMAnt")->text().toLongLong();
    child<QLineEdit>(window, "fiKM")->setText(QString::number(previous + 360));
    window.fiKMExit();
    child<QLineEdit>(window, "fiMatricula")->setText(registration);
    window.fiMatriculaExit();
    child<QLineEdit>(window, "fiSenha")->setText(QStringLiteral("1234"));
    messages.clear();
}
