#pragma once

#include <functional>

class QObject;

// What the person sees while the program waits for the database, drawn by the windows' layer: nothing for a
// short wait, then a sign with the seconds passed and a way to cancel.
class WaitPresenter {
public:
    virtual ~WaitPresenter() = default;
    // The wait has lasted `seconds`: called once it lasts long enough to show, then each second. `cancel`
    // asks the driver to stop what runs.
    virtual void waitGoesOn(int seconds, const std::function<void()>& cancel) = 0;
    virtual void waitEnds() = 0;
    // Whether a key or click aimed at `target` may reach it during the wait: only the sign's own.
    virtual bool takesInput(const QObject* target) const = 0;
};
