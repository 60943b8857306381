#pragma once

#include "common/WaitIndicator.h"

#include <QPointer>
#include <QWidget>

namespace Ui {
class TfrmProcessando;
}

// The wait window "Aguarde...": nothing in it reacts to the user, and only its caller closes it.
class TfrmProcessando final : public QWidget, public WaitIndicator {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TfrmProcessando)

public:
    // The window opens centred over `mainWindow`.
    explicit TfrmProcessando(QWidget* mainWindow = nullptr, QWidget* parent = nullptr);
    ~TfrmProcessando() override;

    void showWait() override;
    void closeWait() override;

private:
    Ui::TfrmProcessando* ui;
    QPointer<QWidget> mainWindow;
};
