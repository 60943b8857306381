#include "UntProcessando.h"

#include "ui_UntProcessando.h"

#include "common/Placement.h"

#include <QCoreApplication>

TfrmProcessando::TfrmProcessando(QWidget* mainWindow, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), ui(new Ui::TfrmProcessando),
      mainWindow(mainWindow) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("frmProcessando"));
    setAttribute(Qt::WA_StyledBackground);
    setFixedSize(size());
}

TfrmProcessando::~TfrmProcessando() {
    delete ui;
}

void TfrmProcessando::showWait() {
    if (!isVisible())
        centreOver(*this, mainWindow);
    show();
    raise();
    // Drawn before the long step starts; keys and clicks wait until it is over.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfrmProcessando::closeWait() {
    hide();
}
