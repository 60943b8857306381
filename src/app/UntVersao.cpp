#include "UntVersao.h"

#include "ui_UntVersao.h"

#include "common/FormEvents.h"
#include "common/Placement.h"
#include "common/Shell.h"

namespace {
const QUrl makerSite(QStringLiteral("http://www.korva.example"));

} // namespace

TfrmVersao::TfrmVersao(Services services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), ui(std::make_unique<Ui::TfrmVersao>()),
      services(services), events(new FormEvents(this, services.messages)) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("frmVersao"));
    setAttribute(Qt::WA_StyledBackground);
    setFixedSize(size());
    centreOnShow(*this, Centring::FirstShowing);
    for (QWidget* site : std::initializer_list<QWidget*>{ui->Label2, ui->Label4})
        events->onClick(site, [this] { Label2Click(); });
    events->onClick(ui->SpeedButton1, [this] { SpeedButton1Click(); });
}

TfrmVersao::~TfrmVersao() = default;

QString TfrmVersao::versionText() const {
    return ui->lbVersao->text();
}

void TfrmVersao::Label2Click() {
    // Whether a browser came up is the desktop's business; the window stays as it is.
    services.shell.open(makerSite);
}

void TfrmVersao::SpeedButton1Click() {
    close();
}
