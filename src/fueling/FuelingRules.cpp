#include "FuelingRules.h"

#include "format/UntProcedimentos.h"

#include <QLocale>

#include <utility>

namespace {
using Kind = FuelingStep::Kind;
using Rule = FuelingStep::Rule;

// The figures of a refusal's detail line are written the Brazilian way whatever the system says.
const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);

// An odometer text with thousands points; a text that is not a whole number is shown as it is.
QString kmText(const QString& text) {
    bool ok = false;
    const qlonglong km = text.toLongLong(&ok);
    return ok ? brazil.toString(km) : text;
}

// The reading meant when one digit too many or too few was typed: the first that lies within the 1.000 km
// after the previous reading, trying changes from the end of the number backwards, since the leading digits
// are the ones read off most surely, and a key not pressed twice before any other missing digit.
std::optional<qint64> likelyReading(const QString& typed, qint64 previous) {
    qint64 value = 0;
    const auto fits = [previous, &value](const QString& candidate) {
        bool ok = false;
        value = candidate.toLongLong(&ok);
        return ok && candidate.size() <= 7 && value > previous && value <= previous + 1000;
    };
    for (qsizetype at = typed.size(); at >= 0; --at) {
        if (at < typed.size() && fits(QString(typed).remove(at, 1)))
            return value;
        QString digits = QStringLiteral("0123456789");
        if (at < typed.size())
            digits.prepend(typed.at(at));
        if (at > 0)
            digits.prepend(typed.at(at - 1));
        for (const QChar digit : std::as_const(digits)) {
            if (fits(QString(typed).insert(at, digit)))
                return value;
        }
    }
    return std::nullopt;
}

QString odometerDetail(const FuelingState& state, bool withHint) {
    QString detail = QStringLiteral("Último km registrado: %1 · informado: %2 · distância: %3 km")
                         .arg(kmText(state.fiKMAnt), kmText(state.fiKM), kmText(state.fiKmTotal));
    bool ok = false;
    const qint64 previous = state.fiKMAnt.toLongLong(&ok);
    if (withHint && ok) {
        if (const std::optional<qint64> meant = likelyReading(state.fiKM, previous))
            detail += QStringLiteral("\nVocê quis dizer %1?").arg(brazil.toString(*meant));
    }
    return detail;
}

FuelingStep refusal(Rule rule, const char* text, FuelingField focus, const QString& detail = QString()) {
    FuelingStep step;
    step.kind = Kind::Refuse;
    step.rule = rule;
    step.text = QString::fromUtf8(text);
    step.focus = focus;
    step.detail = detail;
    return step;
}

FuelingStep step(Kind kind) {
    FuelingStep next;
    next.kind = kind;
    return next;
}

// The odometer, the tank and the consumption; a fuel that goes into its own tank (ARLA) skips them.
std::optional<FuelingStep> odometerStep(const FuelingState& state) {
    if (state.lkTipo.contains(QLatin1String("ARLA")))
        return std::nullopt;
    if (state.fiKM.isEmpty())
        return refusal(Rule::OdometerEmpty, "Obrigatório Informar o KM!", FuelingField::fiKM);
    if (readDecimal(state.fiQtde) > state.rCapacidade)
        return refusal(
            Rule::OverTankCapacity, "Quantidade abastecida não pode ser maior que a capacidade do tanque!",
            FuelingField::fiQtde,
            QStringLiteral("Informado: %1 l · capacidade do tanque: %2 l")
                .arg(state.fiQtde, brazil.toString(state.rCapacidade, 'f', QLocale::FloatingPointShortest)));
    if (readInteger(state.fiKmTotal) < 1 && state.fiKMAnt != QLatin1String("0"))
        return refusal(Rule::OdometerBelowPrevious,
                       "Km Informado não pode ser menor que o ultimo km registrado no sistema!",
                       FuelingField::fiKM, odometerDetail(state, true));
    if (state.fiKM == state.fiKMAnt)
        return refusal(Rule::OdometerEqualsPrevious,
                       "Km atual igual ao Ultimo km registrado! Lançamento já registrado", FuelingField::fiKM,
                       odometerDetail(state, false));
    if (!state.longDistanceAccepted && readInteger(state.fiKmTotal) > 1000) {
        FuelingStep question =
            refusal(Rule::LongDistance, "Km total acima de 1.000 km, deseja continuar assim mesmo?",
                    FuelingField::fiKM, odometerDetail(state, true));
        question.kind = Kind::Ask;
        question.icon = Messages::Icon::Error;
        return question;
    }
    const QString faixa = QStringLiteral("Consumo calculado: %1 km/l · faixa do veículo: %2 a %3 km/l")
                              .arg(state.fiConsumo, state.fiMinimo, state.fiMaximo);
    if (state.fiConsumo != zeroAmount && readDecimal(state.fiConsumo) > readDecimal(state.fiMaximo))
        return refusal(Rule::ConsumptionAboveMaximum,
                       "Rendimento consumo acima do máximo cadastrado para o veículo!", FuelingField::None,
                       faixa);
    if (state.fiConsumo != zeroAmount && readDecimal(state.fiConsumo) < readDecimal(state.fiMinimo))
        return refusal(Rule::ConsumptionBelowMinimum,
                       "Rendimento consumo abaixo do mínimo estabelecido para este veículo!",
                       FuelingField::None, faixa);
    return std::nullopt;
}

std::optional<FuelingStep> driverStep(const FuelingState& state) {
    if (state.fiMatricula.isEmpty())
        return refusal(Rule::RegistrationEmpty, "Obrigatório Informar a Matrículo do Condutor!",
                       FuelingField::fiMatricula);
    // An earlier driver's data must not answer for a registration whose own lookup failed.
    if (state.motoristaPendente)
        return step(Kind::FetchDriver);
    const std::optional<FoundDriver>& found = state.motoristaEncontrado;
    if (!found || found->matricula != state.fiMatricula || found->idEmpresa != state.idEmpresa) {
        FuelingStep notFound = refusal(Rule::DriverNotFound, "Matrículo não cadastrada nesta Empresa!",
                                       FuelingField::fiMatricula);
        notFound.icon = Messages::Icon::Error;
        return notFound;
    }
    if (state.fiSenha.isEmpty())
        return refusal(Rule::PinEmpty, "Obrigatório a Senha!", FuelingField::fiSenha);
    if (state.sSenha == blockedPin)
        return refusal(Rule::DriverBlocked, "Matrícula Bloqueada!", FuelingField::fiMatricula,
                       QStringLiteral("Motorista %1 bloqueado no cadastro da empresa %2.")
                           .arg(state.fiNomeMot, state.lbEmpresa));
    if (state.sSenha != state.fiSenha)
        return refusal(Rule::WrongPin, "Senha Inválida!", FuelingField::fiSenha);
    if (!state.pinCounted)
        return step(Kind::CountRightPin);
    return std::nullopt;
}

std::optional<FuelingStep> agreedPriceStep(const FuelingState& state) {
    if (!state.fiAcertado)
        return std::nullopt;
    const double rvlUni = readDecimal(state.fivlUni);
    double rvlPosto = readDecimal(state.fiVlPosto);
    // An agreement recorded without a tolerance allows none.
    const QString& percentual = state.fiPercen;
    const double rPercen = percentual.trimmed().isEmpty() ? 0.0 : readDecimal(percentual);
    if (rPercen != 0)
        rvlPosto = rvlPosto + rvlPosto * rPercen / 100;
    if (rvlUni <= rvlPosto)
        return std::nullopt;
    // The limit shown is the highest price in cents that passes.
    qint64 cents = qRound64(rvlPosto * 100);
    if (double(cents) / 100 > rvlPosto)
        --cents;
    return refusal(
        Rule::AboveAgreedPrice, "Valor Unitário maior do que o valor acertado com o Posto de Combustível!",
        FuelingField::fivlTotal,
        QStringLiteral("Unitário: R$ %1 · acertado: R$ %2 + %3 % = R$ %4")
            .arg(state.fivlUni, state.fiVlPosto, rPercen == 0 ? QStringLiteral("0") : percentual.trimmed(),
                 brazil.toString(double(cents) / 100, 'f', 2)));
}
} // namespace

FuelingStep nextFuelingStep(const FuelingState& state) {
    if (state.fiPlaca.isEmpty())
        return refusal(Rule::PlateEmpty, "Informe a placa do veículo!", FuelingField::fiPlaca);
    if (!state.placaPesquisada || *state.placaPesquisada != state.fiPlaca)
        return refusal(Rule::PlateNotLookedUp,
                       "Placa não pesquisada! Pesquise a placa do veículo antes de confirmar.",
                       FuelingField::fiPlaca);
    if (state.lkTipo.isEmpty())
        return refusal(Rule::FuelEmpty, "Informe o tipo de combustível!", FuelingField::lkTipo);
    if (state.fiQtde == zeroAmount)
        return refusal(Rule::QuantityEmpty, "Informe a Quantidade!", FuelingField::fiQtde);
    if (state.fivlTotal == zeroAmount)
        return refusal(Rule::TotalEmpty, "Informe o valor total abastecido!", FuelingField::fivlTotal);
    // The distance and consumption the odometer rules read are worked out from the previous reading.
    if (!state.fiKM.isEmpty() && !state.kmAnteriorLido)
        return step(Kind::FetchPreviousOdometer);
    for (const auto& rules : {odometerStep, driverStep, agreedPriceStep}) {
        if (std::optional<FuelingStep> next = rules(state))
            return std::move(*next);
    }
    return step(Kind::Store);
}
