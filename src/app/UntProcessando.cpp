#include "UntProcessando.h"

#include "ui_UntProcessando.h"

#include "common/Placement.h"

#include <QCoreApplication>

TfrmProcessando::TfrmProcessando(QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint), ui(std::make_unique<Ui::TfrmProcessando>()) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("frmProcessando"));
    setAttribute(Qt::WA_StyledBackground);
    setFixedSize(size());
    centreOnShow(*this, Centring::EveryShowing);
}

TfrmProcessando::~TfrmProcessando() = default;

void TfrmProcessando::showWait() {
    show();
    raise();
    // Drawn before the long step starts; keys and clicks wait until it is over.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfrmProcessando::closeWait() {
    hide();
}
