#pragma once

class Clock;
class Messages;
class Shell;

// What the windows are handed instead of reaching for globals.
struct Services {
    Messages& messages;
    Clock& clock;
    Shell& shell;
};
