#pragma once

#include "db/WaitPresenter.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

namespace Ui {
class WaitSign;
}

// The sign of a long wait for the database: the seconds passed and "Cancelar", over the window in use. While
// it shows, only it takes keys and clicks.
class WaitSign final : public QWidget, public WaitPresenter {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WaitSign)

public:
    // Without an active window the sign opens centred over `owner`, the main window.
    explicit WaitSign(QWidget* owner = nullptr);
    ~WaitSign() override;

    void waitGoesOn(int seconds, const std::function<void()>& cancel) override;
    void waitEnds() override;
    bool takesInput(const QObject* target) const override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void appear();
    void cancelWait();

    std::unique_ptr<Ui::WaitSign> ui;
    std::function<void()> cancel;
    // Where the keys went before the sign took them, and go again after it.
    QPointer<QWidget> previouslyActive;
    bool cancelling = false;
};
