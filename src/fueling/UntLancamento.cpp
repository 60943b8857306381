#include "UntLancamento.h"

#include "ui_UntLancamento.h"

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
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpressionValidator>
#include <QScopedValueRollback>

#include <utility>

namespace {
const QString zero = QStringLiteral("0,00");
const QString blocked = QStringLiteral("BLOQUEADO");
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

QIcon searchGlyph() {
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 0, 128), 2.5));
    painter.setBrush(QColor(200, 225, 255));
    painter.drawEllipse(QRectF(2, 2, 11, 11));
    painter.setPen(QPen(QColor(0, 0, 128), 3.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(12, 12), QPointF(18, 18));
    return QIcon(pixmap);
}

QIcon confirmGlyph() {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath tick;
    tick.moveTo(3, 13);
    tick.lineTo(9, 19);
    tick.lineTo(21, 5);
    painter.setPen(QPen(QColor(0, 128, 0), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(tick);
    return QIcon(pixmap);
}
} // namespace

TfrmLancamento::TfrmLancamento(TdmConexao& dmConexao, const Station& station, Services services,
                               WaitIndicator& wait, GuessLimiter& pinGuesses, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::TfrmLancamento>()), dmConexao(dmConexao), station(station), services(services),
      wait(wait), pinGuesses(pinGuesses), events(new FormEvents(this, services.messages)),
      SQLDravix(std::make_unique<Query>(dmConexao)), qrTipos(std::make_unique<Query>(dmConexao)) {
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
    ui->btPlaca->setIcon(searchGlyph());
    ui->BitBtn1->setIcon(confirmGlyph());
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
        zeroed->setText(zero);
    qrTipos->close();
    fillFuelList();
    ui->fiAcertado->hide();
    for (auto* cleared : {ui->fiVlPosto, ui->fiPercen, ui->fiKMAnt, ui->fiKmTotal})
        cleared->clear();
    ui->fivlUni->setText(zero);
}

void TfrmLancamento::FormShow() {
    // A new showing is a new fueling: the plate and the driver must be looked up again in it. Forgotten
    // first, so clearing the plate leaves the earlier vehicle's values where this showing keeps them.
    placaPesquisada.reset();
    motoristaEncontrado.reset();
    kmAnteriorLido = false;
    qrTipos->close();
    fillFuelList();
    setLkTipoKeyValue(QString());
    ui->fiPlaca->clear();
    ui->lbEmpresa->clear();
    ui->lbCNPJ->clear();
    ui->lbVeiculo->clear();
    for (auto* zeroed : {ui->fiQtde, ui->fivlUni, ui->fivlTotal})
        zeroed->setText(zero);
    for (auto* zeroed : {ui->fiConsumo, ui->fiMinimo, ui->fiMaximo})
        zeroed->setText(zero);
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
    const QString key = lkTipoKeyValue();
    q.bindText(QStringLiteral("pcd_item"), key.isNull() ? QStringLiteral("") : key);
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
    if (ui->fiQtde->text() == zero || distancia.isEmpty() || distancia == QLatin1String("0")) {
        ui->fiConsumo->setText(zero);
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

    Query& q = *SQLDravix;
    q.close();
    q.clearSql();
    q.addLine(QStringLiteral("SELECT * FROM Motoristas WHERE id_empresa = :Pid_empresa"));
    q.addLine(QStringLiteral(" and Codigo = :PCodigo"));
    q.bindDouble(QStringLiteral("Pid_empresa"), idEmpresa);
    q.bindInteger(QStringLiteral("PCodigo"), readInteger(matricula));
    q.open();

    if (!q.isEmpty()) {
        ui->fiNomeMot->setText(q.asString(QStringLiteral("nome")));
        sSenha = q.asString(QStringLiteral("senha"));
        if (q.asString(QStringLiteral("Situacao")) != QLatin1String("A"))
            sSenha = blocked;
        motoristaEncontrado = DriverFound{matricula, idEmpresa};
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

QString TfrmLancamento::odometerDetail(bool withHint) const {
    QString detail =
        QStringLiteral("Último km registrado: %1 · informado: %2 · distância: %3 km")
            .arg(kmText(ui->fiKMAnt->text()), kmText(ui->fiKM->text()), kmText(ui->fiKmTotal->text()));
    bool ok = false;
    const qint64 previous = ui->fiKMAnt->text().toLongLong(&ok);
    if (withHint && ok) {
        if (const std::optional<qint64> meant = likelyReading(ui->fiKM->text(), previous))
            detail += QStringLiteral("\nVocê quis dizer %1?").arg(brazil.toString(*meant));
    }
    return detail;
}

bool TfrmLancamento::pinRight() {
    // Counted per driver of the vehicle's company, however the registration was typed.
    const QString driver = QStringLiteral("%1/%2").arg(idEmpresa).arg(readInteger(ui->fiMatricula->text()));
    if (sSenha == ui->fiSenha->text()) {
        pinGuesses.right(driver);
        return true;
    }
    // The detail tells the wait only: nothing about the PIN itself.
    refuse(QStringLiteral("Senha Inválida!"), ui->fiSenha,
           pinGuesses.refuse(driver, *ui->BitBtn1, services.clock));
    return false;
}

void TfrmLancamento::BitBtn1Click() {
    // A press still queued when the window has closed after a save stores nothing, nor one during a wait
    // after wrong PINs.
    if (saving || !isVisible() || !ui->BitBtn1->isEnabled())
        return;
    const QScopedValueRollback<bool> guard(saving, true);

    const QString placa = placaText();
    if (placa.isEmpty())
        return refuse(QStringLiteral("Informe a placa do veículo!"), ui->fiPlaca);
    if (!placaPesquisada || *placaPesquisada != placa)
        return refuse(QStringLiteral("Placa não pesquisada! Pesquise a placa do veículo antes de confirmar."),
                      ui->fiPlaca);
    const QString combustivel = ui->lkTipo->currentText();
    if (combustivel.isEmpty())
        return refuse(QStringLiteral("Informe o tipo de combustível!"), ui->lkTipo);
    if (ui->fiQtde->text() == zero)
        return refuse(QStringLiteral("Informe a Quantidade!"), ui->fiQtde);
    if (ui->fivlTotal->text() == zero)
        return refuse(QStringLiteral("Informe o valor total abastecido!"), ui->fivlTotal);

    if (!ui->fiKM->text().isEmpty() && !kmAnteriorLido)
        fiKMExit();
    // ARLA goes into its own tank: no odometer, capacity or consumption to check.
    if (!combustivel.contains(QLatin1String("ARLA"))) {
        if (ui->fiKM->text().isEmpty())
            return refuse(QStringLiteral("Obrigatório Informar o KM!"), ui->fiKM);
        if (readDecimal(ui->fiQtde->text()) > rCapacidade)
            return refuse(
                QStringLiteral("Quantidade abastecida não pode ser maior que a capacidade do tanque!"),
                ui->fiQtde,
                QStringLiteral("Informado: %1 l · capacidade do tanque: %2 l")
                    .arg(ui->fiQtde->text(),
                         brazil.toString(rCapacidade, 'f', QLocale::FloatingPointShortest)));
        if (readInteger(ui->fiKmTotal->text()) < 1 && ui->fiKMAnt->text() != QLatin1String("0"))
            return refuse(
                QStringLiteral("Km Informado não pode ser menor que o ultimo km registrado no sistema!"),
                ui->fiKM, odometerDetail(true));
        if (ui->fiKM->text() == ui->fiKMAnt->text())
            return refuse(QStringLiteral("Km atual igual ao Ultimo km registrado! Lançamento já registrado"),
                          ui->fiKM, odometerDetail(false));
        if (readInteger(ui->fiKmTotal->text()) > 1000 &&
            services.messages.show(
                this, QStringLiteral("Km total acima de 1.000 km, deseja continuar assim mesmo?"),
                attentionCaption, Messages::Icon::Error, Messages::Buttons::YesNo,
                odometerDetail(true)) == Messages::Answer::No) {
            focusOn(ui->fiKM);
            return;
        }
        const QString consumo = ui->fiConsumo->text();
        const QString faixa = QStringLiteral("Consumo calculado: %1 km/l · faixa do veículo: %2 a %3 km/l")
                                  .arg(consumo, ui->fiMinimo->text(), ui->fiMaximo->text());
        if (consumo != zero && readDecimal(consumo) > readDecimal(ui->fiMaximo->text()))
            return refuse(QStringLiteral("Rendimento consumo acima do máximo cadastrado para o veículo!"),
                          nullptr, faixa);
        if (consumo != zero && readDecimal(consumo) < readDecimal(ui->fiMinimo->text()))
            return refuse(
                QStringLiteral("Rendimento consumo abaixo do mínimo estabelecido para este veículo!"),
                nullptr, faixa);
    }

    const QString matricula = ui->fiMatricula->text();
    if (matricula.isEmpty())
        return refuse(QStringLiteral("Obrigatório Informar a Matrículo do Condutor!"), ui->fiMatricula);
    if (!motoristaEncontrado || motoristaEncontrado->matricula != matricula ||
        motoristaEncontrado->idEmpresa != idEmpresa) {
        services.messages.show(this, QStringLiteral("Matrículo não cadastrada nesta Empresa!"),
                               attentionCaption, Messages::Icon::Error);
        focusOn(ui->fiMatricula);
        return;
    }
    if (ui->fiSenha->text().isEmpty())
        return refuse(QStringLiteral("Obrigatório a Senha!"), ui->fiSenha);
    if (sSenha == blocked)
        return refuse(QStringLiteral("Matrícula Bloqueada!"), ui->fiMatricula,
                      QStringLiteral("Motorista %1 bloqueado no cadastro da empresa %2.")
                          .arg(ui->fiNomeMot->text(), ui->lbEmpresa->text()));
    if (!pinRight())
        return;

    if (!ui->fiAcertado->isHidden()) {
        const double rvlUni = readDecimal(ui->fivlUni->text());
        double rvlPosto = readDecimal(ui->fiVlPosto->text());
        // An agreement recorded without a tolerance allows none.
        const QString percentual = ui->fiPercen->text();
        const double rPercen = percentual.trimmed().isEmpty() ? 0.0 : readDecimal(percentual);
        if (rPercen != 0)
            rvlPosto = rvlPosto + rvlPosto * rPercen / 100;
        if (rvlUni > rvlPosto) {
            // The limit shown is the highest price in cents that passes.
            qint64 cents = qRound64(rvlPosto * 100);
            if (double(cents) / 100 > rvlPosto)
                --cents;
            return refuse(
                QStringLiteral("Valor Unitário maior do que o valor acertado com o Posto de Combustível!"),
                ui->fivlTotal,
                QStringLiteral("Unitário: R$ %1 · acertado: R$ %2 + %3 % = R$ %4")
                    .arg(ui->fivlUni->text(), ui->fiVlPosto->text(),
                         rPercen == 0 ? QStringLiteral("0") : percentual.trimmed(),
                         brazil.toString(double(cents) / 100, 'f', 2)));
        }
    }

    store();
}

void TfrmLancamento::store() {
    try {
        wait.showWait();

        Query& q = *SQLDravix;
        q.close();
        q.clearSql();
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
            q.addLine(QString::fromUtf8(line));

        q.bindDouble(QStringLiteral("pIDVeiculo"), idVeiculo);
        q.bindDateTime(QStringLiteral("pDtEmissao"), services.clock.now());
        q.bindText(QStringLiteral("pNrCartao"), QStringLiteral(""));
        q.bindInteger(QStringLiteral("pIDPosto"), station.iIDPosto);
        q.bindInteger(QStringLiteral("pIDMotorista"), readInteger(ui->fiMatricula->text()));
        q.bindInteger(QStringLiteral("pKmAnterior"), readInteger(ui->fiKMAnt->text()));
        q.bindInteger(QStringLiteral("pKmAtual"), readInteger(ui->fiKM->text()));
        q.bindInteger(QStringLiteral("pKmTotal"), readInteger(ui->fiKmTotal->text()));
        q.bindDouble(QStringLiteral("pQtde"), readDecimal(ui->fiQtde->text()));
        q.bindDouble(QStringLiteral("pVrUnitario"), readDecimal(ui->fivlUni->text()));
        q.bindDouble(QStringLiteral("pVrTotal"), readDecimal(ui->fivlTotal->text()));
        q.bindInteger(QStringLiteral("pcd_ut"), iUT);
        q.bindText(QStringLiteral("pTpCombustivel"), ui->lkTipo->currentText());
        if (ui->fiKmTotal->text() != QLatin1String("0"))
            q.bindDouble(QStringLiteral("pRendimento"),
                         readInteger(ui->fiKmTotal->text()) / readDecimal(ui->fiQtde->text()));
        else
            q.bindByte(QStringLiteral("pRendimento"), 0);
        q.bindNull(QStringLiteral("pNrCupom"));
        q.bindText(QStringLiteral("pChaveAcesso"), QStringLiteral(""));
        q.bindNull(QStringLiteral("pSeqZelto"));
        q.bindByte(QStringLiteral("pEmpresa"), 4);
        q.bindNull(QStringLiteral("pIntegradoAdd"));

        dmConexao.beginTransaction();
        q.execSQL();
        dmConexao.commit();

        wait.closeWait();
        services.messages.show(this, QStringLiteral("Dados Gravados Com Sucesso!"),
                               QStringLiteral("Gravando Dados!"), Messages::Icon::Exclamation);
        close();
    } catch (const std::exception& error) {
        // Only a transaction actually begun is rolled back; a failing roll-back must not keep the wait
        // window up or hide the error, so it is reported after them.
        QString rollbackError;
        if (dmConexao.inTransaction()) {
            try {
                dmConexao.rollback();
            } catch (const std::exception& failure) {
                rollbackError = QString::fromUtf8(failure.what());
            }
        }
        wait.closeWait();
        services.messages.show(this,
                               QStringLiteral("Erro gravando dados! Erro ->") +
                                   QString::fromUtf8(error.what()) + QStringLiteral("<-"),
                               QStringLiteral("Erro!"), Messages::Icon::Error);
        if (!rollbackError.isEmpty())
            throw DatabaseError(rollbackError.toStdString());
    }
}
