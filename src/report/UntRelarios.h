#pragma once

#include "common/Services.h"

#include <QDate>
#include <QString>
#include <QWidget>

#include <memory>

class ExportRun;
class FormEvents;
class QHideEvent;
class Query;
class QueryTableModel;
class TdmConexao;
class TfrmPesqEmpresas;
struct ExportSummary;
struct Station;

namespace Ui {
class TfrmRelarorios;
}

// The fueling report window. It opens centred over its owner, the main window, the first time.
class TfrmRelarorios final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TfrmRelarorios)

public:
    TfrmRelarorios(TdmConexao& dmConexao, const Station& station, Services services, TfrmPesqEmpresas& search,
                   QWidget* parent = nullptr);
    ~TfrmRelarorios() override;

    // Handlers. Qt reaches them guarded; called directly, their errors propagate.
    void FormShow();           // window shown: clears client, totals and grid, dates to today
    void ficd_empresaExit();   // left the client code: checks it is a client of this station, shows its name
    void btPesqEmpresaClick(); // search button: picks the client in the search window
    void btExecutarClick();    // "Executar": runs the report and the per-fuel summary, adds up the totals
    void btExportarClick();    // "Exportar": writes the report to a workbook and opens it
    void BitBtn1Click();       // "Sair": hides the window

    // Writes the report result to a new workbook titled sTitulo and opens it with the desktop's program.
    void pExcelADOQuery(const QString& sTitulo);

    // Where exported workbooks are saved: the user's temporary folder unless set (empty: that folder).
    void setExportFolder(const QString& folder) { exportFolder = folder; }

    // The report result and the summary, so the statements sent can be looked at.
    const Query& reportQuery() const { return *qrConsulta; }
    const Query& summaryQuery() const { return *qrResumo; }

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void connectHandlers();
    void bindReportParameters(Query& query, qint32 idEmpresa) const;
    ExportSummary exportSummary() const;

    std::unique_ptr<Ui::TfrmRelarorios> ui;
    const Station& station;
    Services services;
    TfrmPesqEmpresas& frmPesqEmpresas;
    FormEvents* events;
    std::unique_ptr<Query> SQLDravix;
    std::unique_ptr<Query> qrConsulta;
    std::unique_ptr<Query> qrResumo;
    // Declared after the queries they show, so they go first.
    std::unique_ptr<QueryTableModel> dsConsulta;
    std::unique_ptr<QueryTableModel> dsResumo;
    QString exportFolder;
    // What the last run was for, as the workbook's summary sheet tells it.
    struct RunContext {
        QString code;
        QString name;
        QDate from;
        QDate to;
        QString status;
    } lastRun;

    double rQtde = 0;
    double rValor = 0;
    // A run or an export lets the interface repaint while it works; a second one must not start inside it.
    bool busy = false;
    // The export under way, which closing the window cancels.
    ExportRun* runningExport = nullptr;
};
