#pragma once

#include "FuelingRules.h"

#include <QDateTime>

class Query;

// Puts the one statement a fueling stores into `query`, with every value read from the fueling as it
// stands: the row of the fuelings table, for the station `idPosto`, issued at `dtEmissao`. Readings of
// texts that are not numbers throw.
void prepareFuelingInsert(Query& query, const FuelingState& state, qint32 idPosto,
                          const QDateTime& dtEmissao);
