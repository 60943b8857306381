#include "DatabaseThread.h"

#include "DatabaseError.h"
#include "WaitPresenter.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <exception>

struct DatabaseThread::Call {
    const std::function<void()>* work = nullptr;
    std::exception_ptr failure;
    std::atomic<bool> done{false};
    std::condition_variable finished;            // with the thread's mutex
    QAbstractEventDispatcher* waiting = nullptr; // guarded by the mutex: woken when the call is done
};

namespace {

// Keeps keys, clicks and a window's close button away from every window while the database is waited for,
// but for the sign's own button: a second handler must not start inside a running one.
class InputGate final : public QObject {
public:
    explicit InputGate(const WaitPresenter* presenter) : presenter(presenter) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~InputGate() override { QCoreApplication::instance()->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* target, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Close:
            if (!event->spontaneous())
                return false;
            event->ignore();
            return true;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return !presenter || !presenter->takesInput(target);
        default:
            return false;
        }
    }

private:
    const WaitPresenter* presenter;
};

// Most calls on the embedded engine end within this; waiting for them without a turn of the event loop
// keeps them as fast as on the caller's own thread.
constexpr std::chrono::milliseconds briefWait{2};

} // namespace

DatabaseThread::DatabaseThread() : worker([this] { serve(); }) {}

DatabaseThread::~DatabaseThread() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_one();
    worker.join();
}

void DatabaseThread::serve() {
    for (;;) {
        std::shared_ptr<Call> call;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [this] { return stopping || !calls.empty(); });
            if (calls.empty())
                return;
            call = std::move(calls.front());
            calls.pop_front();
        }
        try {
            (*call->work)();
        } catch (...) {
            call->failure = std::current_exception();
        }
        QAbstractEventDispatcher* waiting = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex);
            canceller = nullptr;
            call->done.store(true, std::memory_order_release);
            waiting = call->waiting;
        }
        call->finished.notify_one();
        if (waiting)
            waiting->wakeUp();
    }
}

void DatabaseThread::run(const std::function<void()>& work, const Wait& wait) {
    if (std::this_thread::get_id() == worker.get_id()) {
        work();
        return;
    }
    auto call = std::make_shared<Call>();
    call->work = &work;
    {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back(call);
    }
    wake.notify_one();

    QElapsedTimer clock;
    clock.start();
    {
        // Asleep, not spinning: a spinning caller on a busy machine gives its core away and gets it back only
        // at the scheduler's next tick.
        std::unique_lock<std::mutex> lock(mutex);
        call->finished.wait_for(lock, briefWait, [&] { return call->done.load(std::memory_order_acquire); });
    }
    bool cancelledByPerson = false;
    bool cancelledByClock = false;
    if (!call->done.load(std::memory_order_acquire)) {
        if (QCoreApplication::instance() && QAbstractEventDispatcher::instance()) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                call->waiting = QAbstractEventDispatcher::instance();
            }
            InputGate gate(wait.presenter);
            QTimer tick;
            tick.start(turnIntervalMs);
            QEventLoop::ProcessEventsFlags flags =
                QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents;
            int secondsShown = -1;
            const std::function<void()> cancelNow = [this, &cancelledByPerson] {
                cancelledByPerson = true;
                cancel();
            };
            while (!call->done.load(std::memory_order_acquire)) {
                QCoreApplication::processEvents(flags);
                const qint64 elapsed = clock.elapsed();
                if (wait.presenter && elapsed >= signDelayMs && int(elapsed / 1000) != secondsShown) {
                    // From now on the sign's button must be reachable; the gate keeps every other input out.
                    flags = QEventLoop::WaitForMoreEvents;
                    secondsShown = int(elapsed / 1000);
                    wait.presenter->waitGoesOn(secondsShown, cancelNow);
                }
                if (wait.cancelAfterMs > 0 && elapsed >= wait.cancelAfterMs && !cancelledByClock) {
                    cancelledByClock = true;
                    cancel();
                }
            }
            if (secondsShown >= 0)
                wait.presenter->waitEnds();
        } else {
            while (!call->done.load(std::memory_order_acquire))
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    // The person's "Cancelar" stops the handler even when the call could not be stopped (a login) and ended
    // by itself: a write that went through anyway is found again by whoever settles it.
    if (cancelledByPerson)
        throw DatabaseError(QStringLiteral("Operação cancelada."), DatabaseError::Kind::Cancelled);
    if (!call->failure)
        return;
    if (cancelledByClock)
        throw DatabaseError(wait.timedOutMessage ? wait.timedOutMessage() : QString(),
                            DatabaseError::Kind::TimedOut);
    std::rethrow_exception(call->failure);
}

void DatabaseThread::setCanceller(std::function<void()> stop) {
    std::lock_guard<std::mutex> lock(mutex);
    canceller = std::move(stop);
}

void DatabaseThread::cancel() {
    std::lock_guard<std::mutex> lock(mutex);
    if (canceller)
        canceller();
}
