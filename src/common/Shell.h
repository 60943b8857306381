#pragma once

#include <QUrl>

// Opens a web address or a file with the desktop's default program.
class Shell {
public:
    virtual ~Shell() = default;
    virtual bool open(const QUrl& url) = 0;
};

// On Linux a file is opened only when the desktop names a program for its kind, so that "nothing opens
// it" is told rather than silently ignored.
class DesktopShell final : public Shell {
public:
    bool open(const QUrl& url) override;
};
