#include "UntRelarios.h"

#include "ui_UntRelarios.h"

#include "ExportRun.h"
#include "MarkDelegate.h"
#include "QueryTableModel.h"
#include "ReportImages.h"
#include "UntPesqEmpresas.h"
#include "XlsxExport.h"
#include "common/Clock.h"
#include "common/FormEvents.h"
#include "common/Messages.h"
#include "common/Placement.h"
#include "common/Shell.h"
#include "common/Station.h"
#include "db/UntConexao.h"
#include "format/UntProcedimentos.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QHideEvent>
#include <QProgressBar>
#include <QRegularExpressionValidator>
#include <QScopedValueRollback>
#include <QUrl>

namespace {
// While a report runs the grid is hidden, uncovering "Aguarde...", and the pointer is the hourglass; both
// come back however the run ends.
class ReportRun final {
    Q_DISABLE_COPY_MOVE(ReportRun)

public:
    ReportRun(QWidget& grid, bool& busy) : grid(grid), busy(busy, true) {
        grid.hide();
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~ReportRun() {
        grid.show();
        QApplication::restoreOverrideCursor();
    }

private:
    QWidget& grid;
    QScopedValueRollback<bool> busy;
};

void letInterfaceRepaint() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QPixmap markWhen(bool shown, const QPixmap& mark) {
    return shown ? mark : QPixmap();
}

// The status marks, for the grid's pictures and the workbook's "S".
bool isInvoiced(const Query& query, int row) {
    const int faturado = query.fieldIndex(QStringLiteral("Faturado"));
    return faturado >= 0 && query.cell(row, faturado).text == QLatin1String("S");
}

bool isValidated(const Query& query, int row) {
    const int chave = query.fieldIndex(QStringLiteral("ChaveAcesso"));
    if (chave < 0)
        return false;
    const Query::Cell cell = query.cell(row, chave);
    return cell.kind == Query::Cell::Kind::Text ? !cell.text.isEmpty() : !query.text(row, chave).isEmpty();
}

// Shows how far an export is while it lasts.
class ExportBar final {
    Q_DISABLE_COPY_MOVE(ExportBar)

public:
    ExportBar(QProgressBar& bar, int rows) : bar(bar) {
        bar.setRange(0, std::max(rows, 1));
        bar.setValue(0);
        bar.setFormat(QStringLiteral("Exportando: %v de %1 linhas").arg(rows));
        bar.show();
    }
    ~ExportBar() { bar.hide(); }
    void rowsWritten(int rows) { bar.setValue(std::min(rows, bar.maximum())); }
    void finishing() {
        bar.setValue(bar.maximum());
        bar.setFormat(QStringLiteral("Finalizando a planilha..."));
    }

private:
    QProgressBar& bar;
};
} // namespace

TfrmRelarorios::TfrmRelarorios(TdmConexao& dmConexao, const Station& station, Services services,
                               TfrmPesqEmpresas& search, QWidget* parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::TfrmRelarorios>()), station(station),
      services(services), frmPesqEmpresas(search), SQLDravix(std::make_unique<Query>(dmConexao)),
      qrConsulta(std::make_unique<Query>(dmConexao)), qrResumo(std::make_unique<Query>(dmConexao)) {
    ui->setupUi(this);
    ui->btPesqEmpresa->setIcon(ReportImages::searchIcon());
    ui->btExecutar->setIcon(ReportImages::runIcon());
    ui->btExportar->setIcon(ReportImages::spreadsheetIcon());
    ui->BitBtn1->setIcon(ReportImages::exitIcon());
    ui->ficd_empresa->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), ui->ficd_empresa));
    ui->fiTipoItens->setId(ui->tipoLancado, 0);
    ui->fiTipoItens->setId(ui->tipoValidado, 1);
    ui->fiTipoItens->setId(ui->tipoFaturado, 2);
    ui->fiTipoItens->setId(ui->tipoTodos, 3);

    const QPixmap validated = ReportImages::validatedMark();
    const QPixmap invoiced = ReportImages::invoicedMark();
    const auto invoicedMark = [invoiced](const Query& query, int row) {
        return markWhen(isInvoiced(query, row), invoiced);
    };
    const auto validatedMark = [validated](const Query& query, int row) {
        return markWhen(isValidated(query, row), validated);
    };
    dsConsulta = std::make_unique<QueryTableModel>(
        *qrConsulta, QList<GridColumn>{
                         {QStringLiteral("FT"), QStringLiteral("FT"), 19, false, false, invoicedMark},
                         {QStringLiteral("VL"), QStringLiteral("VL"), 21, false, false, validatedMark},
                         {QStringLiteral("DtEmissao"), QStringLiteral("Emissao"), 120},
                         {QStringLiteral("Placa"), QStringLiteral("Placa"), 61},
                         {QStringLiteral("Codigo"), QStringLiteral("Codigo"), 55},
                         {QStringLiteral("IDMotorista"), QStringLiteral("Cod.Mot."), 56},
                         {QStringLiteral("Nome"), QStringLiteral("Nome Motorista"), 170},
                         {QStringLiteral("Qtde"), QStringLiteral("Qtde"), 49, true},
                         {QStringLiteral("VrUnitario"), QStringLiteral("Valor UN"), 71, true},
                         {QStringLiteral("VrTotal"), QStringLiteral("Valor Total"), 84, true, true},
                         {QStringLiteral("TpCombustivel"), QStringLiteral("Combustivel"), 143},
                         {QStringLiteral("NrCupom"), QStringLiteral("Nr. Cupom"), 69},
                         {QStringLiteral("ChaveAcesso"), QStringLiteral("Chave Acesso"), 291},
                     });
    QFont bold = ui->DBGrid1->font();
    bold.setBold(true);
    dsConsulta->setBoldFont(bold);
    dsConsulta->attach(*ui->DBGrid1);
    auto* marks = new MarkDelegate(ui->DBGrid1);
    ui->DBGrid1->setItemDelegateForColumn(0, marks);
    ui->DBGrid1->setItemDelegateForColumn(1, marks);

    dsResumo = std::make_unique<QueryTableModel>(
        *qrResumo, QList<GridColumn>{
                       {QStringLiteral("TpCombustivel"), QStringLiteral("Despesa"), 196},
                       {QStringLiteral("QTDE"), QStringLiteral("Qtde."), 58, true},
                       {QStringLiteral("VLUNIT"), QStringLiteral("Valor UN"), 55, true},
                       {QStringLiteral("TOTAL"), QStringLiteral("Valor Total"), 75, true},
                   });
    dsResumo->attach(*ui->DBGrid2);

    events = new FormEvents(this, services.messages);
    centreOnShow(*this, Centring::FirstShowing);
    connectHandlers();
}

TfrmRelarorios::~TfrmRelarorios() = default;

void TfrmRelarorios::connectHandlers() {
    events->onShow([this] { FormShow(); });
    events->onExit(ui->ficd_empresa, [this] { ficd_empresaExit(); });
    events->onClick(ui->btPesqEmpresa, [this] { btPesqEmpresaClick(); });
    events->onClick(ui->btExecutar, [this] { btExecutarClick(); });
    events->onClick(ui->btExportar, [this] { btExportarClick(); });
    events->onClick(ui->BitBtn1, [this] { BitBtn1Click(); });
}

void TfrmRelarorios::FormShow() {
    {
        const auto reset = dsConsulta->reset();
        qrConsulta->close();
    }
    ui->ficd_empresa->clear();
    ui->fiNomeEmpresa->clear();
    const QDate today = services.clock.now().date();
    ui->fiDtaIni->setDate(today);
    ui->fiDtaFim->setDate(today);
    ui->fiQtde->setText(QStringLiteral("0"));
    ui->fivlTotal->setText(QStringLiteral("0,00"));
    ui->ficd_empresa->setFocus(Qt::OtherFocusReason);
}

void TfrmRelarorios::ficd_empresaExit() {
    const QString code = ui->ficd_empresa->text();
    if (code.isEmpty()) {
        ui->fiNomeEmpresa->clear();
        return;
    }
    SQLDravix->close();
    SQLDravix->clearSql();
    SQLDravix->addLine(QStringLiteral("SELECT Empresas.id, Empresas.razao, Empresas.cnpj "));
    SQLDravix->addLine(QStringLiteral("FROM Empresas"));
    SQLDravix->addLine(QStringLiteral("INNER JOIN ZeltoPostos ON ZeltoPostos.id_empresa = Empresas.id"));
    SQLDravix->addLine(QStringLiteral("WHERE ZeltoPostos.ID         = :pid_posto"));
    SQLDravix->addLine(QStringLiteral("AND   ZeltoPostos.id_empresa = :pid_empresa"));
    SQLDravix->bindInteger(QStringLiteral("pid_empresa"), readInteger(code));
    SQLDravix->bindInteger(QStringLiteral("pid_posto"), station.iIDPosto);
    SQLDravix->open();
    if (!SQLDravix->isEmpty()) {
        ui->fiNomeEmpresa->setText(SQLDravix->asString(QStringLiteral("razao")));
        return;
    }
    services.messages.show(this, QStringLiteral("Código não Existe!"), attentionCaption,
                           Messages::Icon::Exclamation);
    ui->ficd_empresa->setFocus(Qt::OtherFocusReason);
}

void TfrmRelarorios::btPesqEmpresaClick() {
    frmPesqEmpresas.showModal();
    if (const auto choice = frmPesqEmpresas.takeChoice()) {
        ui->ficd_empresa->setText(choice->id);
        ui->fiNomeEmpresa->setText(choice->razao);
    }
}

void TfrmRelarorios::bindReportParameters(Query& query, qint32 idEmpresa) const {
    query.bindText(QStringLiteral("pcnpj"), station.sCNPJ);
    query.bindInteger(QStringLiteral("pid_empresa"), idEmpresa);
    query.bindDateTime(QStringLiteral("pDtaIni"), QDateTime(ui->fiDtaIni->date(), QTime(0, 0, 0)));
    // The period ends before the midnight after its last day: every moment of that day is in, whatever its
    // fraction of a second, and none of the next day's.
    query.bindDateTime(QStringLiteral("pDtaFim"), QDateTime(ui->fiDtaFim->date().addDays(1), QTime(0, 0, 0)));
}

void TfrmRelarorios::btExecutarClick() {
    if (busy)
        return;
    if (ui->ficd_empresa->text().isEmpty()) {
        services.messages.show(this, QStringLiteral("Informe o código da Empresa!"), attentionCaption,
                               Messages::Icon::Exclamation);
        ui->ficd_empresa->setFocus(Qt::OtherFocusReason);
        return;
    }
    rQtde = 0;
    rValor = 0;
    const ReportRun run(*ui->DBGrid1, busy);
    letInterfaceRepaint();

    qint32 idEmpresa = 0;
    {
        const auto reset = dsConsulta->reset();
        qrConsulta->close();
        qrConsulta->clearSql();
        // The columns the grid, its marks, the totals and the export use, not every column of the fueling.
        qrConsulta->addLine(QStringLiteral("SELECT ZeltoMov.DtEmissao, ZeltoMov.IDMotorista, ZeltoMov.Qtde, "
                                           "ZeltoMov.VrUnitario, ZeltoMov.VrTotal, ZeltoMov.TpCombustivel, "
                                           "ZeltoMov.NrCupom, ZeltoMov.ChaveAcesso, ZeltoMov.Faturado, "
                                           "VeiculosNovo.Placa, VeiculosNovo.Codigo, Motoristas.Nome"));
        qrConsulta->addLine(QStringLiteral("FROM ZeltoMov"));
        qrConsulta->addLine(
            QStringLiteral("INNER JOIN VeiculosNovo ON VeiculosNovo.ID = ZeltoMov.IDVeiculo"));
        qrConsulta->addLine(
            QStringLiteral("LEFT OUTER JOIN Motoristas ON Motoristas.id_empresa = ZeltoMov.ID_EMPRESA AND"));
        qrConsulta->addLine(
            QStringLiteral("                              Motoristas.Codigo     = ZeltoMov.IDMotorista"));
        qrConsulta->addLine(QStringLiteral("INNER JOIN ZeltoPostos ON ZeltoPostos.Cnpj       = :pCNPJ AND"));
        qrConsulta->addLine(
            QStringLiteral("                          ZeltoPostos.id_empresa = ZeltoMov.ID_EMPRESA  AND"));
        qrConsulta->addLine(
            QStringLiteral("                          ZeltoPostos.ID         = ZeltoMov.IDPosto"));
        qrConsulta->addLine(QStringLiteral("WHERE ZeltoMov.ID_EMPRESA = :pid_empresa AND"));
        qrConsulta->addLine(
            QStringLiteral("      ZeltoMov.DtEmissao >= :pdtaini and ZeltoMov.DtEmissao < :pdtafim AND"));
        qrConsulta->addLine(QStringLiteral("      ZeltoMov.empresa    = 4"));
        switch (ui->fiTipoItens->checkedId()) {
        case 0:
            qrConsulta->addLine(QStringLiteral("and ZeltoMov.ChaveAcesso = '' "));
            break;
        case 1:
            qrConsulta->addLine(
                QStringLiteral("and ZeltoMov.ChaveAcesso <> '' and ZeltoMov.Faturado <> 'S' "));
            break;
        case 2:
            qrConsulta->addLine(QStringLiteral("and ZeltoMov.Faturado = 'S' "));
            break;
        default:
            break;
        }
        qrConsulta->addLine(QStringLiteral("ORDER BY ZeltoMov.DtEmissao"));
        idEmpresa = readInteger(ui->ficd_empresa->text());
        bindReportParameters(*qrConsulta, idEmpresa);
        const QAbstractButton* tipo = ui->fiTipoItens->checkedButton();
        lastRun = {ui->ficd_empresa->text(), ui->fiNomeEmpresa->text(), ui->fiDtaIni->date(),
                   ui->fiDtaFim->date(), tipo ? tipo->text() : QString()};
        qrConsulta->open();
    }

    // Each field found once; the walk then reads the held numbers directly.
    const int qtde = qrConsulta->fieldIndex(QStringLiteral("Qtde"));
    const int vrTotal = qrConsulta->fieldIndex(QStringLiteral("vrTotal"));
    if (qtde < 0 || vrTotal < 0)
        throw DatabaseError(QStringLiteral("Field '%1' not found")
                                .arg(qtde < 0 ? QStringLiteral("Qtde") : QStringLiteral("vrTotal")));
    for (qrConsulta->first(); !qrConsulta->eof(); qrConsulta->next()) {
        rQtde += qrConsulta->number(qrConsulta->currentRow(), qtde);
        rValor += qrConsulta->number(qrConsulta->currentRow(), vrTotal);
    }
    ui->fiQtde->setText(fDecimal(generalText(rQtde), 2));
    ui->fivlTotal->setText(fDecimal(generalText(rValor), 2));
    qrConsulta->first();
    dsConsulta->followQuery();

    const auto reset = dsResumo->reset();
    qrResumo->close();
    qrResumo->clearSql();
    // A fuel whose quantities sum to zero has no unit value; it must not make the whole summary fail.
    qrResumo->addLine(
        QStringLiteral("SELECT TpCombustivel, SUM(Qtde) AS QTDE, SUM(VrTotal) / NULLIF(SUM(Qtde), 0) AS "
                       "VLUNIT , SUM(VrTotal) AS TOTAL "));
    qrResumo->addLine(QStringLiteral("FROM ZeltoMov"));
    qrResumo->addLine(
        QStringLiteral("INNER JOIN ZeltoPostos ON ZeltoPostos.Cnpj       = :PCNPJ              AND"));
    qrResumo->addLine(
        QStringLiteral("                          ZeltoPostos.id_empresa = ZeltoMov.id_empresa AND"));
    qrResumo->addLine(QStringLiteral("                          ZeltoPostos.ID         = ZeltoMov.IDPosto"));
    qrResumo->addLine(QStringLiteral("WHERE ZeltoMov.ID_EMPRESA = :pid_empresa AND"));
    qrResumo->addLine(
        QStringLiteral("      ZeltoMov.DtEmissao >= :pdtaini and ZeltoMov.DtEmissao < :pdtafim AND"));
    qrResumo->addLine(QStringLiteral("      ZeltoMov.empresa    = 4"));
    qrResumo->addLine(QStringLiteral("GROUP BY TpCombustivel"));
    bindReportParameters(*qrResumo, idEmpresa);
    qrResumo->open();
    qrResumo->first();
}

void TfrmRelarorios::btExportarClick() {
    if (busy)
        return;
    pExcelADOQuery(QStringLiteral("Abastecimentos"));
}

void TfrmRelarorios::hideEvent(QHideEvent* event) {
    // A window closed while its export runs stops the export: nothing is left half-written in the folder.
    if (runningExport && !event->spontaneous())
        runningExport->cancel();
    QWidget::hideEvent(event);
}

ExportSummary TfrmRelarorios::exportSummary() const {
    ExportSummary summary{lastRun.code, lastRun.name, lastRun.from, lastRun.to, lastRun.status, {}, {}};
    for (int c = 0; c < dsResumo->columnCount(); ++c)
        summary.titles.append(dsResumo->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
    if (!qrResumo->isOpen())
        return summary;
    for (int r = 0; r < qrResumo->rowCount(); ++r) {
        QVariantList values;
        for (int c = 0; c < dsResumo->columnCount(); ++c)
            values.append(qrResumo->value(r, qrResumo->fieldIndex(dsResumo->column(c).field)));
        summary.rows.append(values);
    }
    return summary;
}

void TfrmRelarorios::pExcelADOQuery(const QString& sTitulo) {
    const QScopedValueRollback<bool> exporting(busy, true);
    letInterfaceRepaint();
    if (!qrConsulta->isOpen())
        throw ExportError(QStringLiteral("Não há relatório para exportar: execute o relatório antes"));

    QList<ExportColumn> columns;
    for (int c = 0; c < dsConsulta->columnCount(); ++c) {
        const GridColumn& shown = dsConsulta->column(c);
        ExportColumn column{dsConsulta->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
                            qrConsulta->fieldIndex(shown.field),
                            shown.decimal,
                            false,
                            {}};
        column.summed = shown.field.compare(QLatin1String("Qtde"), Qt::CaseInsensitive) == 0 ||
                        shown.field.compare(QLatin1String("VrTotal"), Qt::CaseInsensitive) == 0;
        if (shown.field == QLatin1String("FT"))
            column.mark = isInvoiced;
        else if (shown.field == QLatin1String("VL"))
            column.mark = isValidated;
        columns.append(column);
    }
    const ExportSummary summary = exportSummary();
    const QString folder = exportFolder.isEmpty() ? temporaryFolder() : exportFolder;

    // The workbook is written from the rows already read while the window stays painted and the bar moves.
    ExportBar bar(*ui->exportProgress, qrConsulta->rowCount());
    ExportRun run(folder, sTitulo, columns, *qrConsulta, summary);
    const QScopedValueRollback<ExportRun*> running(runningExport, &run);
    QString path;
    try {
        path = run.exec({[&bar](int rows) { bar.rowsWritten(rows); }, [&bar] { bar.finishing(); }});
    } catch (const ExportCancelled&) {
        // Only closing the window cancels: whoever closed it no longer waits for the workbook.
        return;
    }

    if (qrConsulta->rowCount() > 0) {
        qrConsulta->setCurrentRow(qrConsulta->rowCount() - 1);
        dsConsulta->followQuery();
    }
    if (!services.shell.open(QUrl::fromLocalFile(path)))
        throw ExportError(
            QStringLiteral("A planilha foi gravada em \"%1\", mas nenhum programa deste computador "
                           "a abriu; abra-a por esse caminho")
                .arg(QDir::toNativeSeparators(path)));
}

void TfrmRelarorios::BitBtn1Click() {
    close();
}
