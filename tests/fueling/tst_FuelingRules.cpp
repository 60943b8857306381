#include "fueling/FuelingRules.h"

#include <QTest>

#include <functional>

namespace {
using Change = std::function<void(FuelingState&)>;

// A fueling every rule lets through.
FuelingState passing() {
    FuelingState state;
    state.fiPlaca = state.placaPesquisada.emplace(QStringLiteral("ABC1D23"));
    state.lkTipo = QStringLiteral("DIESEL S10");
    state.fiQtde = QStringLiteral("40,00");
    state.fivlUni = QStringLiteral("5,00");
    state.fivlTotal = QStringLiteral("200,00");
    state.fiKM = QStringLiteral("1500");
    state.fiKMAnt = QStringLiteral("1000");
    state.kmAnteriorLido = true;
    state.fiKmTotal = QStringLiteral("500");
    state.fiConsumo = QStringLiteral("12,50");
    state.fiMinimo = QStringLiteral("8,00");
    state.fiMaximo = QStringLiteral("14,00");
    state.rCapacidade = 100;
    state.idEmpresa = 10;
    state.fiMatricula = QStringLiteral("17");
    state.fiSenha = state.sSenha = QStringLiteral("1234");
    state.motoristaEncontrado = FoundDriver{QStringLiteral("17"), 10};
    return state;
}
} // namespace

Q_DECLARE_METATYPE(Change)

// The steps of "Confirma" when every question is answered Yes and every lookup asked for is made.
class tst_FuelingRules final : public QObject {
    Q_OBJECT

private slots:
    void steps_data() {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QStringList>("steps");
        const QString question = QStringLiteral("Km total acima de 1.000 km, deseja continuar assim mesmo?");
        QTest::newRow("all given") << Change([](FuelingState&) {}) << QStringList{"count the PIN", "store"};
        QTest::newRow("previous odometer not fetched yet")
            << Change([](FuelingState& s) { s.kmAnteriorLido = false; })
            << QStringList{"fetch the previous odometer", "count the PIN", "store"};
        QTest::newRow("long distance asked once") << Change([](FuelingState& s) {
            s.fiKmTotal = QStringLiteral("1001");
            s.fiConsumo = "12,51";
        }) << QStringList{"ask " + question, "count the PIN", "store"};
        QTest::newRow("ARLA needs no odometer") << Change([](FuelingState& s) {
            s.lkTipo = "ARLA 32";
            s.fiKM = s.fiKMAnt = s.fiKmTotal = "";
        }) << QStringList{"count the PIN", "store"};
        QTest::newRow("wrong PIN counts nothing as right")
            << Change([](FuelingState& s) { s.fiSenha = QStringLiteral("01234"); })
            << QStringList{QString::fromUtf8("refuse Senha Inválida!")};
        QTest::newRow("price above the agreement, after the PIN")
            << Change([](FuelingState& s) {
                   s.fiAcertado = true;
                   s.fiVlPosto = QStringLiteral("4,50");
               })
            << QStringList{"count the PIN", QString::fromUtf8("refuse Valor Unitário maior do que o valor "
                                                              "acertado com o Posto de Combustível!")};
    }

    void steps() {
        QFETCH(Change, change);
        QFETCH(QStringList, steps);
        FuelingState state = passing();
        change(state);
        QStringList walked;
        for (int guard = 0; guard < 10; ++guard) {
            const FuelingStep next = nextFuelingStep(state);
            if (next.kind == FuelingStep::Kind::Refuse) {
                walked << "refuse " + next.text;
                QCOMPARE(next.caption, QString::fromUtf8("Atenção!"));
                break;
            }
            if (next.kind == FuelingStep::Kind::Store) {
                walked << "store";
                break;
            }
            if (next.kind == FuelingStep::Kind::FetchPreviousOdometer) {
                walked << "fetch the previous odometer";
                state.kmAnteriorLido = true;
            } else if (next.kind == FuelingStep::Kind::Ask) {
                walked << "ask " + next.text;
                state.longDistanceAccepted = true;
            } else {
                walked << "count the PIN";
                state.pinCounted = true;
            }
        }
        QCOMPARE(walked, steps);
    }
};

QTEST_MAIN(tst_FuelingRules)
#include "tst_FuelingRules.moc"
