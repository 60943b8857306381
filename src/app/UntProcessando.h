#pragma once

#include "common/WaitIndicator.h"

#include <QWidget>

#include <memory>

namespace Ui {
class TfrmProcessando;
}

// The wait window "Aguarde...": nothing in it reacts to the user, and only its caller closes it.
class TfrmProcessando final : public QWidget, public WaitIndicator {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TfrmProcessando)

public:
    // The window opens centred over `owner`, the main window.
    explicit TfrmProcessando(QWidget* owner = nullptr);
    ~TfrmProcessando() override;

    void showWait() override;
    void closeWait() override;

private:
    std::unique_ptr<Ui::TfrmProcessando> ui;
};
