#pragma once

// The wait window as its callers see it: shown before a long step, closed after it.
class WaitIndicator {
public:
    virtual ~WaitIndicator() = default;
    // Shows the window and lets the interface process its pending events once (no user input).
    virtual void showWait() = 0;
    virtual void closeWait() = 0;
};
