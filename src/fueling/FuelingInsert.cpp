#include "FuelingInsert.h"

#include "db/UntConexao.h"
#include "format/UntProcedimentos.h"

void prepareFuelingInsert(Query& query, const FuelingState& state, qint32 idPosto,
                          const QDateTime& dtEmissao) {
    query.close();
    query.clearSql();
    static const char* const lines[] = {"INSERT INTO ZeltoMov",
                                        "(",
                                        "IDVeiculo, ",
                                        "DtEmissao, ",
                                        "NrCartao, ",
                                        "IDPosto, ",
                                        "IDMotorista, ",
                                        "KmAnterior, ",
                                        "KmAtual, ",
                                        "KmTotal, ",
                                        "Qtde, ",
                                        "VrUnitario, ",
                                        "VrTotal, ",
                                        "cd_ut, ",
                                        "TpCombustivel, ",
                                        "Rendimento, ",
                                        "NrCupom, ",
                                        "ChaveAcesso, ",
                                        "SeqZelto, ",
                                        "Empresa, ",
                                        "IntegradoAdd",
                                        ")",
                                        "VALUES",
                                        "(",
                                        ":pIDVeiculo, ",
                                        ":pDtEmissao, ",
                                        ":pNrCartao, ",
                                        ":pIDPosto, ",
                                        ":pIDMotorista, ",
                                        ":pKmAnterior, ",
                                        ":pKmAtual, ",
                                        ":pKmTotal, ",
                                        ":pQtde, ",
                                        ":pVrUnitario, ",
                                        ":pVrTotal, ",
                                        ":pcd_ut, ",
                                        ":pTpCombustivel, ",
                                        ":pRendimento, ",
                                        ":pNrCupom, ",
                                        ":pChaveAcesso, ",
                                        ":pSeqZelto, ",
                                        ":pEmpresa, ",
                                        ":pIntegradoAdd",
                                        ")"};
    for (const char* line : lines)
        query.addLine(QString::fromUtf8(line));

    query.bindDouble(QStringLiteral("pIDVeiculo"), state.idVeiculo);
    query.bindDateTime(QStringLiteral("pDtEmissao"), dtEmissao);
    query.bindText(QStringLiteral("pNrCartao"), QStringLiteral(""));
    query.bindInteger(QStringLiteral("pIDPosto"), idPosto);
    query.bindInteger(QStringLiteral("pIDMotorista"), readInteger(state.fiMatricula));
    query.bindInteger(QStringLiteral("pKmAnterior"), readInteger(state.fiKMAnt));
    query.bindInteger(QStringLiteral("pKmAtual"), readInteger(state.fiKM));
    query.bindInteger(QStringLiteral("pKmTotal"), readInteger(state.fiKmTotal));
    query.bindDouble(QStringLiteral("pQtde"), readDecimal(state.fiQtde));
    query.bindDouble(QStringLiteral("pVrUnitario"), readDecimal(state.fivlUni));
    query.bindDouble(QStringLiteral("pVrTotal"), readDecimal(state.fivlTotal));
    query.bindInteger(QStringLiteral("pcd_ut"), state.iUT);
    query.bindText(QStringLiteral("pTpCombustivel"), state.lkTipo);
    if (state.fiKmTotal != QLatin1String("0"))
        query.bindDouble(QStringLiteral("pRendimento"),
                         readInteger(state.fiKmTotal) / readDecimal(state.fiQtde));
    else
        query.bindByte(QStringLiteral("pRendimento"), 0);
    query.bindNull(QStringLiteral("pNrCupom"));
    query.bindText(QStringLiteral("pChaveAcesso"), QStringLiteral(""));
    query.bindNull(QStringLiteral("pSeqZelto"));
    query.bindByte(QStringLiteral("pEmpresa"), 4);
    query.bindNull(QStringLiteral("pIntegradoAdd"));
}

SentFueling sentFueling(const FuelingState& state, qint32 idPosto, const QDateTime& dtEmissao) {
    return SentFueling{state.idVeiculo, idPosto, dtEmissao, readInteger(state.fiKM),
                       readDecimal(state.fivlTotal)};
}

void prepareFuelingLookup(Query& query, const SentFueling& sent) {
    query.close();
    query.clearSql();
    query.addLine(QStringLiteral("SELECT COUNT(*) AS Gravados FROM ZeltoMov"));
    query.addLine(QStringLiteral("WHERE IDVeiculo = :pIDVeiculo and IDPosto = :pIDPosto"));
    query.addLine(QStringLiteral(" and DtEmissao >= :pDtDe and DtEmissao <= :pDtAte"));
    query.addLine(QStringLiteral(" and KmAtual = :pKmAtual and VrTotal = :pVrTotal"));
    const int rounding = query.dialect().timeRoundingMs();
    query.bindDouble(QStringLiteral("pIDVeiculo"), sent.idVeiculo);
    query.bindInteger(QStringLiteral("pIDPosto"), sent.idPosto);
    query.bindDateTime(QStringLiteral("pDtDe"), sent.dtEmissao.addMSecs(-rounding));
    query.bindDateTime(QStringLiteral("pDtAte"), sent.dtEmissao.addMSecs(rounding));
    query.bindInteger(QStringLiteral("pKmAtual"), sent.kmAtual);
    query.bindDouble(QStringLiteral("pVrTotal"), sent.vrTotal);
}
