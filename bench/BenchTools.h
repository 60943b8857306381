#pragma once
// What the benchmark's sections share: timing, the window's liveliness and the attendant's typing.

#include <QString>
#include <QWidget>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/WaitIndicator.h"

class ScriptedMessages;
class TfrmLancamento;

double median(std::vector<double> values);
double elapsedMs(const std::function<void()>& work);
// The longest time the event loop went without a turn while `work` ran, as a 1 ms timer sees it.
double longestStretch(const std::function<void()>& work);

template <typename T> T* child(QWidget& window, const char* name) {
    auto* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        throw std::runtime_error(std::string("no control ") + name);
    return found;
}

// The wait window, left out: the benchmark times the handlers.
class NoWait final : public WaitIndicator {
public:
    void showWait() override {}
    void closeWait() override {}
};

// The attendant at the fueling window, calling the handlers the keys and the focus changes call.
class Attendant final {
    Q_DISABLE_COPY_MOVE(Attendant)

public:
    Attendant(TfrmLancamento& window, ScriptedMessages& messages, const QString& plate,
              const QString& registration);

    // The window shown anew with the plate typed.
    void showFresh();
    // The plate looked up, the first fuel chosen and its agreed price asked.
    void lookUp();
    // A whole fueling at the agreed price, 360 km after the previous reading, the PIN typed: ready for
    // Confirma, with no box shown so far.
    void typeFueling();

private:
    TfrmLancamento& window;
    ScriptedMessages& messages;
    QString plate;
    QString registration;
};
