#pragma once

#include "common/Services.h"

#include <QWidget>

#include <memory>

class FormEvents;
class QLabel;
namespace Ui {
class TfrmVersao;
}

// The About window: product, version and the maker's contacts. Closing it only hides it. It opens centred
// over its owner, the main window.
class TfrmVersao final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TfrmVersao)

public:
    explicit TfrmVersao(Services services, QWidget* parent = nullptr);
    ~TfrmVersao() override;

    // The caption of lbVersao, which the main window shows as well.
    QString versionText() const;

    void Label2Click();
    void SpeedButton1Click();

private:
    std::unique_ptr<Ui::TfrmVersao> ui;
    Services services;
    FormEvents* events;
};
