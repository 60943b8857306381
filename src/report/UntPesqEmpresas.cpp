#include "UntPesqEmpresas.h"

#include "ui_UntPesqEmpresas.h"

#include "QueryTableModel.h"
#include "ReportImages.h"
#include "common/FormEvents.h"
#include "common/Placement.h"
#include "common/Station.h"
#include "db/EngineDialect.h"
#include "db/UntConexao.h"

#include <QEventLoop>
#include <QHideEvent>

TfrmPesqEmpresas::TfrmPesqEmpresas(TdmConexao& dmConexao, const Station& station, Services services,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::TfrmPesqEmpresas>()), station(station),
      services(services), events(new FormEvents(this, services.messages)),
      qrConsulta(std::make_unique<Query>(dmConexao)) {
    ui->setupUi(this);
    ui->btSair->setIcon(ReportImages::exitIcon());

    dsConsulta = std::make_unique<QueryTableModel>(
        *qrConsulta, QList<GridColumn>{
                         {QStringLiteral("id"), QStringLiteral("Código"), 48},
                         {QStringLiteral("razao"), QStringLiteral("Razão"), 338},
                         {QStringLiteral("cnpj"), QStringLiteral("CNPJ"), 134},
                     });
    dsConsulta->attach(*ui->DBGrid1);

    centreOnShow(*this, Centring::EveryShowing);
    events->onShow([this] { FormShow(); });
    events->onSignal(ui->fiNome, &QLineEdit::textChanged, [this] { fiNomeChange(); });
    events->onClick(ui->btSair, [this] { btSairClick(); });
    // A double-click anywhere in the list picks, below the last row too.
    events->onDoubleClick(ui->DBGrid1->viewport(), [this] { DBGrid1DblClick(); });
}

TfrmPesqEmpresas::~TfrmPesqEmpresas() = default;

void TfrmPesqEmpresas::showModal() {
    setWindowModality(Qt::ApplicationModal);
    // Known before the window shows: showing runs its search, and the window may be closed while it waits.
    QEventLoop loop;
    modalLoop = &loop;
    show();
    raise();
    activateWindow();
    if (isVisible())
        loop.exec();
    modalLoop = nullptr;
    setWindowModality(Qt::NonModal);
}

std::optional<TfrmPesqEmpresas::Choice> TfrmPesqEmpresas::takeChoice() {
    if (!qrConsulta->isOpen() || qrConsulta->isEmpty())
        return std::nullopt;
    Choice choice{qrConsulta->asString(QStringLiteral("id")), qrConsulta->asString(QStringLiteral("razao"))};
    const auto reset = dsConsulta->reset();
    qrConsulta->close();
    return choice;
}

void TfrmPesqEmpresas::FormShow() {
    // Clearing the name is a change of it, and the change lists every client; an empty name needs that run
    // too.
    if (ui->fiNome->text().isEmpty())
        events->run([this] { fiNomeChange(); });
    else
        ui->fiNome->clear();
    ui->fiNome->setFocus(Qt::OtherFocusReason);
}

void TfrmPesqEmpresas::fiNomeChange() {
    const auto reset = dsConsulta->reset();
    qrConsulta->close();
    qrConsulta->clearSql();
    qrConsulta->addLine(QStringLiteral("SELECT * "));
    qrConsulta->addLine(QStringLiteral("FROM Empresas"));
    qrConsulta->addLine(QStringLiteral("INNER JOIN ZeltoPostos ON ZeltoPostos.id_empresa = Empresas.id"));
    qrConsulta->addLine(QStringLiteral("WHERE ZeltoPostos.Cnpj = :pCNPJ"));
    const QString nome = ui->fiNome->text();
    if (!nome.isEmpty()) {
        // The typed text is a LIKE pattern on purpose: "%" and "_" keep their roles.
        qrConsulta->addLine(QStringLiteral("and razao like :prazao"));
        // "%" and "_" keep their meaning; every other character, a "[" too, stands for itself.
        qrConsulta->bindText(QStringLiteral("prazao"),
                             QLatin1Char('%') + qrConsulta->dialect().likePattern(nome) + QLatin1Char('%'));
    }
    qrConsulta->bindText(QStringLiteral("pCNPJ"), station.sCNPJ);
    qrConsulta->open();
}

void TfrmPesqEmpresas::DBGrid1DblClick() {
    close();
}

void TfrmPesqEmpresas::btSairClick() {
    {
        const auto reset = dsConsulta->reset();
        qrConsulta->close();
    }
    close();
}

void TfrmPesqEmpresas::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (modalLoop && !event->spontaneous())
        modalLoop->quit();
}
