#include "UntLancamento.h"

#include "ui_UntLancamento.h"

#include "FuelingImages.h"
#include "FuelingRules.h"
#include "FuelingSave.h"
#include "common/Clock.h"
#include "common/FormEvents.h"
#include "common/GuessLimiter.h"
#include "common/MaskedText.h"
#include "common/Messages.h"
#include "common/Placement.h"
#include "common/Station.h"
#include "common/WaitIndicator.h"
#include "db/UntConexao.h"
#include "format/UntProcedimentos.h"

#include <QCoreApplication>
#include <QEvent>
#include <QRegularExpressionValidator>
#include <QScopedValueRollback>

#include <utility>

namespace {
// Digits only, at most `maximum` of them (0: no limit). A longer paste is refused whole rather than cut,
// so a mistyped reading never arrives shortened.
QValidator* digitsOnly(int maximum, QObject* parent) {
    const QString pattern =
        maximum > 0 ? QStringLiteral("[0-9]{0,%1}").arg(maximum) : QStringLiteral("[0-9]*");
    return new QRegularExpressionValidator(QRegularExpression(pattern), parent);
}

// Focus set by a handler lands as the keyboard's would: a line edit selects its text, so the attendant types
// over "0,00" instead of after it.
void focusOn(QWidget* control) {
    control->setFocus(Qt::TabFocusReason);
}
} // namespace

TfrmLancamento::TfrmLancamento(TdmConexao& dmConexao, const Station& station, Services services,
                               WaitIndicator& wait, GuessLimiter& pinGuesses, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::TfrmLancamento>()), dmConexao(dmConexao), station(station), services(services),
      wait(wait), pinGuesses(pinGuesses), events(new FormEvents(this, services.messages)),
      SQLDravix(std::make_unique<Query>(dmConexao)), qrTipos(std::make_unique<Query>(dmConexao)),
      saver(std::make_unique<FuelingSave>(dmConexao, *SQLDravix)) {
    ui->setupUi(this);
    setFixedSize(544, 517);

    ui->fiKM->setValidator(digitsOnly(7, this));
    ui->fiMatricula->setValidator(digitsOnly(4, this));
    ui->fiSenha->setValidator(digitsOnly(0, this));
    // The line edit takes its password character from the style only on a style change, and its style sheet
    // rule matches by name only once the form has set the names.
    ui->fiSenha->ensurePolished();
    QEvent styleChange(QEvent::StyleChange);
    QCoreApplication::sendEvent(ui->fiSenha, &styleChange);
    ui->btPlaca->setIcon(FuelingImages::searchIcon());
    ui->BitBtn1->setIcon(FuelingImages::confirmIcon());
    ui->fiAcertado->hide();

    qrTipos->addLine(QStringLiteral("SELECT TBItem.cd_item, TBItem.descricao "));
    qrTipos->addLine(QStringLiteral("FROM VeiculoComb"));
    qrTipos->addLine(QStringLiteral("INNER JOIN TBItem ON TBItem.cd_item = VeiculoComb.cd_item and"));
    qrTipos->addLine(
        QStringLiteral("                                      TBItem.id_empresa = :pid_empresa"));
    qrTipos->addLine(QStringLiteral("WHERE VeiculoComb.id_veiculo = :pid_veiculo"));
    qrTipos->addLine(QStringLiteral("order by descricao"));
    qrTipos->bindNull(QStringLiteral("pid_empresa"));
    qrTipos->bindNull(QStringLiteral("pid_veiculo"));

    connectHandlers();
}

TfrmLancamento::~TfrmLancamento() = default;

void TfrmLancamento::connectHandlers() {
    centreOnShow(*this, Centring::EveryShowing);
    events->onShow([this] { FormShow(); });
    events->setTabSequence({ui->fiPlaca, ui->btPlaca, ui->lkTipo, ui->fiQtde, ui->fivlTotal, ui->fiKM,
                            ui->fiMatricula, ui->fiSenha, ui->BitBtn1});
    events->onKeyDown(ui->fiPlaca, [this](int key) { fiPlacaKeyDown(key); });
    events->onExit(ui->fiQtde, [this] { fiQtdeExit(); });
    events->onExit(ui->fivlTotal, [this] { fivlTotalExit(); });
    events->onEnter(ui->fiKM, [this] { fiKMEnter(); });
    events->onExit(ui->fiKM, [this] { fiKMExit(); });
    events->onExit(ui->fiMatricula, [this] { fiMatriculaExit(); });

    events->onSignal(ui->fiPlaca, &QLineEdit::textChanged, [this] { forgetLookupOnPlateChange(); });
    events->onClick(ui->btPlaca, [this] { btPlacaClick(); });
    // Only a pick by the user runs the handler; selecting from code does not.
    events->onSignal(ui->lkTipo, &QComboBox::activated, [this] { lkTipoClick(); });
    events->onClick(ui->BitBtn1, [this] { BitBtn1Click(); });
}

QString TfrmLancamento::placaText() const {
    return maskedValue(*ui->fiPlaca);
}

QString TfrmLancamento::lkTipoKeyValue() const {
    const int index = ui->lkTipo->currentIndex();
    return index < 0 ? QString() : ui->lkTipo->itemData(index).toString();
}

void TfrmLancamento::setLkTipoKeyValue(const QString& key) {
    ui->lkTipo->setCurrentIndex(key.isEmpty() ? -1 : ui->lkTipo->findData(key));
}

TfrmLancamento::StateFields TfrmLancamento::stateFields() const {
    return {iUT, idVeiculo, idEmpresa, rCapacidade, sSenha};
}

void TfrmLancamento::fillFuelList() {
    ui->lkTipo->clear();
    if (qrTipos->isOpen()) {
        const int key = qrTipos->fieldIndex(QStringLiteral("cd_item"));
        const int text = qrTipos->fieldIndex(QStringLiteral("descricao"));
        for (int row = 0; row < qrTipos->rowCount(); ++row)
            ui->lkTipo->addItem(qrTipos->text(row, text), qrTipos->text(row, key));
    }
    // A list takes its first row when filled; here the key decides.
    ui->lkTipo->setCurrentIndex(-1);
}

void TfrmLancamento::refuse(const QString& text, QWidget* focus, const QString& detail) {
    services.messages.show(this, text, attentionCaption, Messages::Icon::Exclamation, Messages::Buttons::Ok,
                           detail);
    if (focus)
        focusOn(focus);
}

void TfrmLancamento::forgetLookupOnPlateChange() {
    if (placaPesquisada && *placaPesquisada != placaText())
        clearLookup();
}

// Nothing of another vehicle stays on screen: what the lookup filled and what was worked out from it goes,
// what the attendant typed stays.
void TfrmLancamento::clearLookup() {
    placaPesquisada.reset();
    kmAnteriorLido = false;
    for (auto* label : {ui->lbEmpresa, ui->lbCNPJ, ui->lbVeiculo})
        label->clear();
    for (auto* zeroed : {ui->fiMinimo, ui->fiMaximo, ui->fiConsumo})
        zeroed->setText(zeroAmount);
    qrTipos->close();
    fillFuelList();
    ui->fiAcertado->hide();
    for (auto* cleared : {ui->fiVlPosto, ui->fiPercen, ui->fiKMAnt, ui->fiKmTotal})
        cleared->clear();
    ui->fivlUni->setText(zeroAmount);
}

void TfrmLancamento::FormShow() {
    // A new showing is a new fueling: the plate and the driver must be looked up again in it. Forgotten
    // first, so clearing the plate leaves the earlier vehicle's values where this showing keeps them.
    placaPesquisada.reset();
    motoristaEncontrado.reset();
    motoristaPendente = false;
    kmAnteriorLido = false;
    qrTipos->close();
    fillFuelList();
    setLkTipoKeyValue(QString());
    ui->fiPlaca->clear();
    ui->lbEmpresa->clear();
    ui->lbCNPJ->clear();
    ui->lbVeiculo->clear();
    for (auto* zeroed : {ui->fiQtde, ui->fivlUni, ui->fivlTotal})
        zeroed->setText(zeroAmount);
    for (auto* zeroed : {ui->fiConsumo, ui->fiMinimo, ui->fiMaximo})
        zeroed->setText(zeroAmount);
    for (auto* cleared : {ui->fiKmTotal, ui->fiKMAnt, ui->fiKM, ui->fiMatricula, ui->fiSenha, ui->fiNomeMot})
        cleared->clear();
    focusOn(ui->fiPlaca);
    ui->fiAcertado->hide();
}

void TfrmLancamento::fiPlacaKeyDown(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        focusOn(ui->btPlaca);
}

void TfrmLancamento::btPlacaClick() {
    const QString placa = placaText();
    if (placa.isEmpty()) {
        refuse(QStringLiteral("Informe a Placa!"), ui->fiPlaca);
        return;
    }
    // From here on the vehicle data on screen may no longer be the looked-up plate's.
    placaPesquisada.reset();

    Query& q = *SQLDravix;
    q.close();
    q.clearSql();
    q.addLine(QStringLiteral("SELECT VeiculosNovo.*, VeiMarcas.Marca, VeiModelos.Modelo, Empresas.razao, "
                             "Empresas.cnpj, Empresas.id as IDEmp, AdicionaisVeiculos.CapTanque,"));
    q.addLine(QStringLiteral("       AdicionaisVeiculos.RendMinimo, AdicionaisVeiculos.RendMaximo"));
    q.addLine(QStringLiteral("FROM VeiculosNovo"));
    q.addLine(QStringLiteral(
        "INNER JOIN VeiMarcas          ON VeiMarcas.ID                 = VeiculosNovo.IDMarca"));
    q.addLine(QStringLiteral(
        "INNER JOIN VeiModelos         ON VeiModelos.ID                = VeiculosNovo.IDModelo"));
    q.addLine(QStringLiteral(
        "INNER JOIN Empresas           ON Empresas.id                  = VeiculosNovo.id_empresa"));
    q.addLine(
        QStringLiteral("INNER JOIN AdicionaisVeiculos ON AdicionaisVeiculos.idVeiculo = VeiculosNovo.id"));
    q.addLine(QStringLiteral("WHERE Placa = :pPlaca"));
    q.bindText(QStringLiteral("pPlaca"), placa);
    q.open();

    if (q.isEmpty()) {
        clearLookup();
        refuse(QStringLiteral("Placa não Localizada em nossos Cadastros!"), ui->fiPlaca);
        return;
    }

    const qint32 idEmpresaVeiculo = q.asInteger(QStringLiteral("id_empresa"));
    ui->lbEmpresa->setText(q.asString(QStringLiteral("Razao")));
    ui->lbCNPJ->setText(QStringLiteral("CNPJ ") + fFormacnpj(q.asString(QStringLiteral("cnpj"))));
    ui->lbVeiculo->setText(QStringLiteral("Veículo Cod. ") + q.asString(QStringLiteral("Codigo")) +
                           QStringLiteral(" Marca ") + q.asString(QStringLiteral("Marca")) +
                           QStringLiteral(" Modelo ") + q.asString(QStringLiteral("Modelo")) +
                           QStringLiteral(" Capacidade ") + q.asString(QStringLiteral("CapTanque")) +
                           QStringLiteral(" Litros"));
    idVeiculo = q.asInteger(QStringLiteral("id"));
    idEmpresa = q.asInteger(QStringLiteral("IDEmp"));
    rCapacidade = q.asFloat(QStringLiteral("CapTanque"));
    ui->fiMinimo->setText(fDecimal(q.asString(QStringLiteral("RendMinimo")), 2));
    ui->fiMaximo->setText(fDecimal(q.asString(QStringLiteral("RendMaximo")), 2));

    qrTipos->close();
    qrTipos->bindInteger(QStringLiteral("pid_veiculo"), static_cast<qint32>(idVeiculo));
    qrTipos->bindInteger(QStringLiteral("pid_empresa"), idEmpresaVeiculo);
    qrTipos->open();
    fillFuelList();

    iUT = q.asInteger(QStringLiteral("CodUT"));
    setLkTipoKeyValue(qrTipos->isEmpty() ? QString() : qrTipos->asString(QStringLiteral("cd_item")));
    lkTipoClick();
    focusOn(ui->fiQtde);
    placaPesquisada = placa;
    // What a change of the plate cleared is worked out again, for this vehicle, from what is typed.
    pValorUnitario();
    if (!ui->fiKM->text().isEmpty()) {
        fiKMEnter();
        fiKMExit();
    }
}

void TfrmLancamento::lkTipoClick() {
    Query& q = *SQLDravix;
    q.close();
    q.clearSql();
    q.addLine(QStringLiteral("SELECT * "));
    q.addLine(QStringLiteral("FROM PostoItem"));
    q.addLine(QStringLiteral("WHERE id_posto = :pid_posto and "));
    q.addLine(QStringLiteral("      cd_item  = :pcd_item "));
    q.bindInteger(QStringLiteral("pid_posto"), station.iIDPosto);
    // The item's code is a number; with no fuel chosen, NULL finds no price on any engine (SQL Server would
    // read an empty text as item 0).
    bool isCode = false;
    const qint32 code = lkTipoKeyValue().toInt(&isCode);
    if (isCode)
        q.bindInteger(QStringLiteral("pcd_item"), code);
    else
        q.bindNull(QStringLiteral("pcd_item"));
    q.open();

    if (q.isEmpty()) {
        ui->fiAcertado->hide();
        return;
    }
    ui->fiVlPosto->setText(fDecimal(q.asString(QStringLiteral("valor")), 2));
    ui->fiPercen->setText(q.asString(QStringLiteral("margem")));
    q.close();
    ui->fiAcertado->show();
    focusOn(ui->fiQtde);
}

void TfrmLancamento::fiQtdeExit() {
    ui->fiQtde->setText(fDecimal(ui->fiQtde->text(), 2));
    pValorUnitario();
    applyConsumptionRule();
}

void TfrmLancamento::fivlTotalExit() {
    ui->fivlTotal->setText(fDecimal(ui->fivlTotal->text(), 2));
    pValorUnitario();
}

void TfrmLancamento::pValorUnitario() {
    const double quantidade = readDecimal(ui->fiQtde->text());
    const double total = readDecimal(ui->fivlTotal->text());
    if (quantidade == 0 || total == 0)
        return;
    ui->fivlUni->setText(fDecimal(generalText(total / quantidade), 2));
}

void TfrmLancamento::fiKMEnter() {
    kmAnteriorLido = false;
    Query& q = *SQLDravix;
    q.close();
    q.clearSql();
    q.addLine(QStringLiteral("SELECT TOP(1) KmAtual "));
    q.addLine(QStringLiteral("FROM ZeltoMov"));
    q.addLine(QStringLiteral("INNER JOIN VeiculosNovo ON VeiculosNovo.ID = ZeltoMov.IDVeiculo"));
    q.addLine(QStringLiteral("WHERE VeiculosNovo.Placa = :pPlaca"));
    q.addLine(QStringLiteral("ORDER BY DtEmissao DESC"));
    q.bindText(QStringLiteral("pPlaca"), placaText());
    q.open();
    ui->fiKMAnt->setText(q.isEmpty() ? QStringLiteral("0") : q.asString(QStringLiteral("KmAtual")));
    kmAnteriorLido = true;
}

void TfrmLancamento::fiKMExit() {
    if (!ui->fiKM->text().isEmpty()) {
        if (!kmAnteriorLido)
            fiKMEnter();
        // Worked out wide: a distance beyond the integer range is refused where it is read, not wrapped.
        const qint64 distancia =
            qint64(readInteger(ui->fiKM->text())) - qint64(readInteger(ui->fiKMAnt->text()));
        ui->fiKmTotal->setText(QString::number(distancia));
    }
    applyConsumptionRule();
}

void TfrmLancamento::applyConsumptionRule() {
    const QString distancia = ui->fiKmTotal->text();
    if (ui->fiQtde->text() == zeroAmount || distancia.isEmpty() || distancia == QLatin1String("0")) {
        ui->fiConsumo->setText(zeroAmount);
        return;
    }
    // The distance is the whole number fiKMExit wrote; it has no thousands points to remove.
    const double km = readInteger(distancia);
    ui->fiConsumo->setText(fDecimal(generalText(km / readDecimal(ui->fiQtde->text())), 2));
}

void TfrmLancamento::fiMatriculaExit() {
    const QString matricula = ui->fiMatricula->text();
    if (matricula.isEmpty())
        return;

    motoristaPendente = true;
    Query& q = *SQLDravix;
    q.close();
    q.clearSql();
    q.addLine(QStringLiteral("SELECT * FROM Motoristas WHERE id_empresa = :Pid_empresa"));
    q.addLine(QStringLiteral(" and Codigo = :PCodigo"));
    q.bindDouble(QStringLiteral("Pid_empresa"), idEmpresa);
    q.bindInteger(QStringLiteral("PCodigo"), readInteger(matricula));
    q.open();
    motoristaPendente = false;

    if (!q.isEmpty()) {
        ui->fiNomeMot->setText(q.asString(QStringLiteral("nome")));
        sSenha = q.asString(QStringLiteral("senha"));
        if (q.asString(QStringLiteral("Situacao")) != QLatin1String("A"))
            sSenha = blockedPin;
        motoristaEncontrado = FoundDriver{matricula, idEmpresa};
        return;
    }
    // A driver not found leaves nothing of an earlier driver to be saved under this number.
    ui->fiNomeMot->clear();
    sSenha.clear();
    motoristaEncontrado.reset();
    services.messages.show(this, QStringLiteral("Matrículo não cadastrada nesta Empresa!"), attentionCaption,
                           Messages::Icon::Error);
    focusOn(ui->fiMatricula);
}

FuelingState TfrmLancamento::fuelingState() const {
    FuelingState state;
    state.fiPlaca = placaText();
    state.placaPesquisada = placaPesquisada;
    state.lkTipo = ui->lkTipo->currentText();
    state.fiQtde = ui->fiQtde->text();
    state.fivlUni = ui->fivlUni->text();
    state.fivlTotal = ui->fivlTotal->text();
    state.fiKM = ui->fiKM->text();
    state.fiKMAnt = ui->fiKMAnt->text();
    state.kmAnteriorLido = kmAnteriorLido;
    state.fiKmTotal = ui->fiKmTotal->text();
    state.fiConsumo = ui->fiConsumo->text();
    state.fiMinimo = ui->fiMinimo->text();
    state.fiMaximo = ui->fiMaximo->text();
    state.lbEmpresa = ui->lbEmpresa->text();
    state.fiMatricula = ui->fiMatricula->text();
    state.fiSenha = ui->fiSenha->text();
    state.fiNomeMot = ui->fiNomeMot->text();
    state.fiAcertado = !ui->fiAcertado->isHidden();
    state.fiVlPosto = ui->fiVlPosto->text();
    state.fiPercen = ui->fiPercen->text();
    state.iUT = iUT;
    state.idVeiculo = idVeiculo;
    state.idEmpresa = idEmpresa;
    state.rCapacidade = rCapacidade;
    state.sSenha = sSenha;
    state.motoristaEncontrado = motoristaEncontrado;
    state.motoristaPendente = motoristaPendente && !ui->fiMatricula->text().isEmpty();
    return state;
}

void TfrmLancamento::focusOnField(FuelingField field) {
    const std::pair<FuelingField, QWidget*> controls[] = {
        {FuelingField::fiPlaca, ui->fiPlaca}, {FuelingField::lkTipo, ui->lkTipo},
        {FuelingField::fiQtde, ui->fiQtde},   {FuelingField::fivlTotal, ui->fivlTotal},
        {FuelingField::fiKM, ui->fiKM},       {FuelingField::fiMatricula, ui->fiMatricula},
        {FuelingField::fiSenha, ui->fiSenha}};
    for (const auto& [name, control] : controls) {
        if (name == field)
            focusOn(control);
    }
}

void TfrmLancamento::BitBtn1Click() {
    // A press still queued when the window has closed after a save stores nothing, nor one during a wait
    // after wrong PINs.
    if (saving || !isVisible() || !ui->BitBtn1->isEnabled())
        return;
    const QScopedValueRollback<bool> guard(saving, true);

    // Wrong PINs are counted per driver of the vehicle's company, however the registration was typed.
    const auto driver = [this] {
        return QStringLiteral("%1/%2").arg(idEmpresa).arg(readInteger(ui->fiMatricula->text()));
    };
    FuelingState state = fuelingState();
    for (;;) {
        const FuelingStep next = nextFuelingStep(state);
        switch (next.kind) {
        case FuelingStep::Kind::FetchPreviousOdometer:
            // Asked before any question or PIN, so nothing settled in this press is lost.
            fiKMExit();
            state = fuelingState();
            break;
        case FuelingStep::Kind::FetchDriver:
            fiMatriculaExit();
            if (!motoristaEncontrado)
                return; // the lookup has said so in its box
            state = fuelingState();
            break;
        case FuelingStep::Kind::Ask:
            if (services.messages.show(this, next.text, next.caption, next.icon, Messages::Buttons::YesNo,
                                       next.detail) == Messages::Answer::No) {
                focusOnField(next.focus);
                return;
            }
            state.longDistanceAccepted = true;
            break;
        case FuelingStep::Kind::CountRightPin:
            pinGuesses.right(driver());
            state.pinCounted = true;
            break;
        case FuelingStep::Kind::Refuse: {
            // The detail of a wrong PIN tells the wait only: nothing about the PIN itself.
            const QString detail = next.rule == FuelingStep::Rule::WrongPin
                                       ? pinGuesses.refuse(driver(), *ui->BitBtn1, services.clock)
                                       : next.detail;
            services.messages.show(this, next.text, next.caption, next.icon, Messages::Buttons::Ok, detail);
            focusOnField(next.focus);
            return;
        }
        case FuelingStep::Kind::Store:
            store();
            return;
        }
    }
}

void TfrmLancamento::store() {
    wait.showWait();
    const FuelingSave::Outcome outcome = saver->store(fuelingState(), station.iIDPosto, services.clock.now());
    wait.closeWait(); // before any box; a failing roll-back is reported after them
    switch (outcome.kind) {
    case FuelingSave::Outcome::Kind::Stored:
        services.messages.show(this, QStringLiteral("Dados Gravados Com Sucesso!"),
                               QStringLiteral("Gravando Dados!"), Messages::Icon::Exclamation);
        close();
        break;
    case FuelingSave::Outcome::Kind::NotStored:
        services.messages.show(
            this, QStringLiteral("Erro gravando dados! Erro ->") + outcome.error + QStringLiteral("<-"),
            QStringLiteral("Erro!"), Messages::Icon::Error);
        break;
    case FuelingSave::Outcome::Kind::Unknown:
        services.messages.show(
            this,
            QStringLiteral(
                "Não foi possível saber se o abastecimento foi gravado: o banco de dados não "
                "confirmou a gravação e não pôde ser consultado depois. Confira no Relatório de "
                "Abastecimentos se ele aparece antes de lançá-lo de novo; confirmado de novo aqui, ele é "
                "procurado antes de ser gravado."),
            QStringLiteral("Erro!"), Messages::Icon::Error, Messages::Buttons::Ok, outcome.error);
        break;
    }
    if (!outcome.rollbackError.isEmpty())
        throw DatabaseError(outcome.rollbackError);
}
