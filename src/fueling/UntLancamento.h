#pragma once

#include "FuelingRules.h"
#include "common/Services.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

class FormEvents;
class GuessLimiter;
class Query;
class TdmConexao;
class FuelingSave;
class WaitIndicator;
struct Station;

namespace Ui {
class TfrmLancamento;
}

// The fueling window. It opens centred over its owner, the main window, at every showing.
class TfrmLancamento final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TfrmLancamento)

public:
    // `pinGuesses` counts wrong PINs per driver; it outlives the window's showings.
    TfrmLancamento(TdmConexao& dmConexao, const Station& station, Services services, WaitIndicator& wait,
                   GuessLimiter& pinGuesses, QWidget* parent = nullptr);
    ~TfrmLancamento() override;

    // Handlers. Qt reaches them guarded (FormEvents); called directly, their errors propagate.
    void FormShow();              // window shown: clears the fueling for the next one
    void fiPlacaKeyDown(int key); // key in the plate: Enter goes to the search button
    void btPlacaClick();          // search button: looks the plate's vehicle up, lists its fuels
    void lkTipoClick();           // fuel picked: shows the price agreed for it, if any
    void fiQtdeExit();            // left the quantity: two decimals, unit price, consumption
    void fivlTotalExit();         // left the total: two decimals, unit price
    void pValorUnitario();        // unit price from total and quantity
    void fiKMEnter();             // entered the odometer: fetches the vehicle's previous reading
    void fiKMExit();              // left the odometer: distance and consumption
    void fiMatriculaExit();       // left the registration: looks the driver up, keeps the PIN or the block
    void BitBtn1Click();          // "Confirma": checks the rules and stores the fueling

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

private:
    void connectHandlers();
    void fillFuelList();
    void applyConsumptionRule();
    void forgetLookupOnPlateChange();
    void clearLookup();
    void refuse(const QString& text, QWidget* focus, const QString& detail = QString());
    FuelingState fuelingState() const;
    void focusOnField(FuelingField field);
    void store();

    std::unique_ptr<Ui::TfrmLancamento> ui;
    TdmConexao& dmConexao;
    const Station& station;
    Services services;
    WaitIndicator& wait;
    GuessLimiter& pinGuesses;
    FormEvents* events;
    std::unique_ptr<Query> SQLDravix;
    std::unique_ptr<Query> qrTipos;
    std::unique_ptr<FuelingSave> saver;

    qint32 iUT = 0;
    double idVeiculo = 0;
    double idEmpresa = 0;
    double rCapacidade = 0;
    QString sSenha;

    // What the vehicle data and the driver data on screen were looked up for in this showing; the save
    // refuses a fueling whose plate or registration number no longer matches them.
    std::optional<QString> placaPesquisada;
    std::optional<FoundDriver> motoristaEncontrado;
    // Whether fiKMAnt holds what the last entry into fiKM fetched. After a failed fetch the readers of the
    // previous odometer fetch it again, so the database's error speaks, not the empty text left behind.
    bool kmAnteriorLido = false;
    // The same for the driver: set while a lookup of fiMatricula has not answered.
    bool motoristaPendente = false;

    // A second press arriving while a save runs (events processed under the wait window) must not store
    // the fueling twice.
    bool saving = false;
};
