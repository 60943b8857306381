#include "FuelingSave.h"

#include "FuelingRules.h"
#include "db/UntConexao.h"

FuelingSave::Outcome FuelingSave::store(const FuelingState& state, qint32 idPosto,
                                        const QDateTime& dtEmissao) {
    using Kind = Outcome::Kind;
    SentFueling sent;
    try {
        // The readings of the texts come first: one that fails stores nothing.
        prepareFuelingInsert(query, state, idPosto, dtEmissao);
        sent = sentFueling(state, idPosto, dtEmissao);
        if (unsettled && unsettled->sameFueling(sent)) {
            const Outcome earlier = settle(*unsettled, QString());
            if (earlier.kind != Kind::NotStored)
                return earlier;
            prepareFuelingInsert(query, state, idPosto, dtEmissao);
        }
    } catch (const std::exception& error) {
        return Outcome{Kind::NotStored, QString::fromUtf8(error.what()), {}};
    }

    bool mayHaveRun = false;
    try {
        connection.beginTransaction();
        try {
            query.execSQL();
        } catch (const DatabaseError& failure) {
            mayHaveRun = failure.outcomeUnknown();
            throw;
        }
        // From here on a failure may come after the server stored the row: a COMMIT can fail on the way back.
        mayHaveRun = true;
        connection.commit();
        return Outcome{};
    } catch (const std::exception& error) {
        Outcome outcome{Kind::NotStored, QString::fromUtf8(error.what()), {}};
        // Rolls back only a transaction actually begun.
        try {
            connection.rollback();
        } catch (const std::exception& failure) {
            outcome.rollbackError = QString::fromUtf8(failure.what());
        }
        if (!mayHaveRun)
            return outcome;
        Outcome settled = settle(sent, outcome.error);
        settled.rollbackError = outcome.rollbackError;
        return settled;
    }
}

FuelingSave::Outcome FuelingSave::settle(const SentFueling& sent, const QString& error) {
    try {
        prepareFuelingLookup(query, sent);
        query.open();
        const bool found = query.asInteger(QStringLiteral("Gravados")) > 0;
        query.close();
        unsettled.reset();
        return found ? Outcome{} : Outcome{Outcome::Kind::NotStored, error, {}};
    } catch (const std::exception& failure) {
        unsettled = sent;
        const QString why = QString::fromUtf8(failure.what());
        return Outcome{
            Outcome::Kind::Unknown, error.isEmpty() ? why : error + QStringLiteral(" / ") + why, {}};
    }
}
