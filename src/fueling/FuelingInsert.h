#pragma once

#include "FuelingRules.h"

#include <QDateTime>

class Query;

// Puts the one statement a fueling stores into `query`, with every value read from the fueling as it
// stands: the row of the fuelings table, for the station `idPosto`, issued at `dtEmissao`. Readings of
// texts that are not numbers throw.
void prepareFuelingInsert(Query& query, const FuelingState& state, qint32 idPosto,
                          const QDateTime& dtEmissao);

// What identifies a stored fueling's row when the save's outcome is unknown: the vehicle, the station, the
// moment, the odometer and the amount.
struct SentFueling {
    double idVeiculo = 0;
    qint32 idPosto = 0;
    QDateTime dtEmissao;
    qint32 kmAtual = 0;
    double vrTotal = 0;

    // The same fueling confirmed again: the vehicle, odometer and amount it had.
    bool sameFueling(const SentFueling& other) const {
        return idVeiculo == other.idVeiculo && idPosto == other.idPosto && kmAtual == other.kmAtual &&
               vrTotal == other.vrTotal;
    }
};
SentFueling sentFueling(const FuelingState& state, qint32 idPosto, const QDateTime& dtEmissao);

// Puts into `query` the count of rows `sent` stored: its moment as the engine may have rounded it.
void prepareFuelingLookup(Query& query, const SentFueling& sent);
