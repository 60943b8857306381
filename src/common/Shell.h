#pragma once

#include <QUrl>

// Opens a web address or a file with the desktop's default program.
class Shell {
public:
    virtual ~Shell() = default;
    virtual bool open(const QUrl& url) = 0;
};

class DesktopShell final : public Shell {
public:
    bool open(const QUrl& url) override;
};
