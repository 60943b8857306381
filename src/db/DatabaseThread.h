#pragma once
// Private to src/db: the thread that owns the connection.

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class WaitPresenter;

// The thread the connection lives on: Qt SQL wants a connection used only by the thread that made it. The
// calling thread waits for each call while its event loop turns without user input, so windows repaint and
// a handler keeps its order of steps; a long wait shows the presenter's sign and can be cancelled.
class DatabaseThread final {
    Q_DISABLE_COPY_MOVE(DatabaseThread)

public:
    struct Wait {
        int cancelAfterMs = 0;                    // past this, what runs is cancelled (0: never)
        std::function<QString()> timedOutMessage; // what the person reads then, worded only if needed
        WaitPresenter* presenter = nullptr;
    };

    DatabaseThread();
    ~DatabaseThread();

    // Runs `work` on the thread and returns once it has, throwing what it threw; DatabaseError Cancelled
    // ("Operação cancelada.") after the person's "Cancelar", TimedOut (wait.timedOutMessage) when the wait's
    // clock stopped it.
    void run(const std::function<void()>& work, const Wait& wait);

    // From inside a call's work: how to stop what runs now (empty: nothing can be stopped).
    void setCanceller(std::function<void()> canceller);
    // Asks the running call to stop, from any thread.
    void cancel();

    // The caller's wait, kept in short steps: the longest stretch without an event-loop turn stays well under
    // a tenth of a second.
    static constexpr int turnIntervalMs = 50;
    // A wait shorter than this shows nothing.
    static constexpr int signDelayMs = 3000;

private:
    struct Call;
    void serve();

    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::shared_ptr<Call>> calls;
    std::function<void()> canceller;
    bool stopping = false;
    std::thread worker;
};
