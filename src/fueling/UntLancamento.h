#pragma once

#include "common/Services.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

class FormEvents;
class Query;
class TdmConexao;
class WaitIndicator;
struct Station;

namespace Ui {
class TfrmLancamento;
}

// The fueling window.
class TfrmLancamento final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TfrmLancamento)

public:
    TfrmLancamento(TdmConexao& dmConexao, const Station& station, Services services, WaitIndicator& wait,
                   QWidget* parent = nullptr);
    ~TfrmLancamento() override;

    // Handlers. Qt reaches them guarded (FormEvents); called directly, their errors propagate.
    void FormShow();
    void fiPlacaKeyDown(int key);
    void btPlacaClick();
    void lkTipoClick();
    void fiQtdeExit();
    void fivlTotalExit();
    void pValorUnitario();
    void fiKMEnter();
    void fiKMExit();
    void fiMatriculaExit();
    void BitBtn1Click();

    // The fuel list's key: the cd_item of the selected row, or empty when none is selected. Setting it
    // selects the matching row and runs nothing.
    QString lkTipoKeyValue() const;
    void setLkTipoKeyValue(const QString& key);

    // The typed plate: characters without the hyphen, trailing blanks dropped.
    QString placaText() const;

    // The state the handlers share, for tests and diagnostics.
    struct StateFields {
        qint32 iUT = 0;
        double idVeiculo = 0;
        double idEmpresa = 0;
        double rCapacidade = 0;
        QString sSenha;
    };
    StateFields stateFields() const;

    // The window's two query objects, so the statements it sends can be looked at.
    const Query& generalQuery() const { return *SQLDravix; }
    const Query& fuelQuery() const { return *qrTipos; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void connectHandlers();
    void fillFuelList();
    void applyConsumptionRule();
    void refuse(const QString& text, QWidget* focus);
    void store();

    std::unique_ptr<Ui::TfrmLancamento> ui;
    TdmConexao& dmConexao;
    const Station& station;
    Services services;
    WaitIndicator& wait;
    FormEvents* events;
    std::unique_ptr<Query> SQLDravix;
    std::unique_ptr<Query> qrTipos;

    qint32 iUT = 0;
    double idVeiculo = 0;
    double idEmpresa = 0;
    double rCapacidade = 0;
    QString sSenha;

    // What the vehicle data and the driver data on screen were looked up for in this showing; the save
    // refuses a fueling whose plate or registration number no longer matches them.
    std::optional<QString> placaPesquisada;
    struct DriverFound {
        QString matricula;
        double idEmpresa = 0;
    };
    std::optional<DriverFound> motoristaEncontrado;
    // Whether fiKMAnt holds what the last entry into fiKM fetched. After a failed fetch the readers of the
    // previous odometer fetch it again, so the database's error speaks, not the empty text left behind.
    bool kmAnteriorLido = false;

    // A second press arriving while a save runs (events processed under the wait window) must not store
    // the fueling twice.
    bool saving = false;
};
