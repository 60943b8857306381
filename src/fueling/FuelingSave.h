#pragma once

#include "FuelingInsert.h"

#include <QDateTime>
#include <QString>

#include <optional>

class Query;
class TdmConexao;
struct FuelingState;

// Stores a fueling as one row, once: inside a transaction, and, when the link failed so that whether the row
// went in is unknown, by looking for it on a fresh session. An outcome that stays unknown is remembered: the
// same fueling confirmed again is looked for before it is sent again.
class FuelingSave final {
    Q_DISABLE_COPY_MOVE(FuelingSave)

public:
    struct Outcome {
        enum class Kind { Stored, NotStored, Unknown };
        Kind kind = Kind::Stored;
        QString error;         // why it was not stored, or why that can't be told
        QString rollbackError; // a roll-back that failed on the way, for the general error report
    };

    FuelingSave(TdmConexao& connection, Query& query) : connection(connection), query(query) {}

    Outcome store(const FuelingState& state, qint32 idPosto, const QDateTime& dtEmissao);

private:
    // Looks for the row of `sent`; `error` is what made its outcome unknown.
    Outcome settle(const SentFueling& sent, const QString& error);

    TdmConexao& connection;
    Query& query;
    std::optional<SentFueling> unsettled;
};
