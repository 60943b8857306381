#include "UntVersao.h"

#include "ui_UntVersao.h"

#include "Clicks.h"
#include "common/FormEvents.h"
#include "common/Shell.h"

namespace {
const QUrl makerSite(QStringLiteral("http://www.korva.example"));

} // namespace

TfrmVersao::TfrmVersao(Services services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), ui(new Ui::TfrmVersao), services(services),
      events(new FormEvents(this, services.messages)) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("frmVersao"));
    setAttribute(Qt::WA_StyledBackground);
    setFixedSize(size());
    ui->Label2->installEventFilter(this);
    ui->Label4->installEventFilter(this);
    connect(ui->SpeedButton1, &QToolButton::clicked, this,
            [this] { events->run([this] { SpeedButton1Click(); }); });
}

TfrmVersao::~TfrmVersao() {
    delete ui;
}

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

bool TfrmVersao::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == ui->Label2 || watched == ui->Label4) && isClick(watched, event)) {
        events->run([this] { Label2Click(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
