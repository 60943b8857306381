#pragma once

#include "common/Messages.h"

#include <QString>

#include <optional>

// What the fueling window shows for a quantity, an amount or a consumption not given.
inline const QString zeroAmount = QStringLiteral("0,00");
// What the driver lookup keeps in place of the PIN of a driver who may not fuel.
inline const QString blockedPin = QStringLiteral("BLOQUEADO");

// The driver a registration number was found for, in the company of the vehicle then looked up.
struct FoundDriver {
    QString matricula;
    double idEmpresa = 0;
};

// What "Confirma" judges: the texts of the window's controls, under the controls' names, its state fields,
// and what the lookups of this showing found.
struct FuelingState {
    QString fiPlaca;                        // as read: no hyphen, no trailing blanks
    std::optional<QString> placaPesquisada; // the plate the vehicle data on screen was looked up for
    QString lkTipo;                         // the fuel's description
    QString fiQtde;
    QString fivlUni;
    QString fivlTotal;
    QString fiKM;
    QString fiKMAnt;
    bool kmAnteriorLido = false; // fiKMAnt holds what the database gave for this vehicle
    QString fiKmTotal;
    QString fiConsumo;
    QString fiMinimo;
    QString fiMaximo;
    QString lbEmpresa;
    QString fiMatricula;
    QString fiSenha;
    QString fiNomeMot;
    bool fiAcertado = false; // shown: an agreed price applies
    QString fiVlPosto;
    QString fiPercen;
    qint32 iUT = 0;
    double idVeiculo = 0;
    double idEmpresa = 0;
    double rCapacidade = 0;
    QString sSenha; // the PIN found, or blockedPin
    std::optional<FoundDriver> motoristaEncontrado;
    bool motoristaPendente = false; // the last lookup of fiMatricula failed: nothing on screen answers it

    // What was settled earlier in this same press.
    bool longDistanceAccepted = false; // Yes to the question about the distance
    bool pinCounted = false;           // the right PIN was counted as a right try
};

// The control the focus goes to after a box.
enum class FuelingField { None, fiPlaca, lkTipo, fiQtde, fivlTotal, fiKM, fiMatricula, fiSenha };

// The next thing "Confirma" does: the first rule that refuses, a question to ask, something to settle before
// the rules can go on, or the store.
struct FuelingStep {
    enum class Kind {
        Refuse,                // show the box, move the focus, stop
        Ask,                   // ask; No moves the focus and stops, Yes goes on with longDistanceAccepted
        FetchPreviousOdometer, // the odometer was typed but the previous reading never fetched
        FetchDriver,           // the registration's lookup failed: look the driver up again
        CountRightPin,         // the PIN is right: count it, then go on with pinCounted
        Store,
    };
    enum class Rule {
        None,
        PlateEmpty,
        PlateNotLookedUp,
        FuelEmpty,
        QuantityEmpty,
        TotalEmpty,
        OdometerEmpty,
        OverTankCapacity,
        OdometerBelowPrevious,
        OdometerEqualsPrevious,
        LongDistance,
        ConsumptionAboveMaximum,
        ConsumptionBelowMinimum,
        RegistrationEmpty,
        DriverNotFound,
        PinEmpty,
        DriverBlocked,
        WrongPin, // the window adds the detail: the wait after wrong tries
        AboveAgreedPrice,
    };

    Kind kind = Kind::Store;
    Rule rule = Rule::None;
    QString text;
    Messages::Icon icon = Messages::Icon::Exclamation;
    QString detail;
    FuelingField focus = FuelingField::None;
    QString caption = attentionCaption;
};

// The rules of "Confirma" in their order, over the fueling as it stands. Readings of texts that are not
// numbers throw, as the window's own readings do.
FuelingStep nextFuelingStep(const FuelingState& state);
