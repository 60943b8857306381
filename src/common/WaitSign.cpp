#include "WaitSign.h"

#include "ui_WaitSign.h"

#include "Placement.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWindow>

WaitSign::WaitSign(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      ui(std::make_unique<Ui::WaitSign>()) {
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setFixedSize(size());
    connect(ui->btCancelar, &QPushButton::clicked, this, [this] { cancelWait(); });
}

WaitSign::~WaitSign() = default;

void WaitSign::waitGoesOn(int seconds, const std::function<void()>& cancelNow) {
    cancel = cancelNow;
    if (!cancelling)
        ui->lbEspera->setText(QStringLiteral("Aguardando o banco de dados... %1 s").arg(seconds));
    if (isHidden())
        appear();
}

void WaitSign::waitEnds() {
    hide();
    cancel = nullptr;
    cancelling = false;
    ui->btCancelar->setEnabled(true);
    if (previouslyActive)
        previouslyActive->activateWindow();
    previouslyActive = nullptr;
}

bool WaitSign::takesInput(const QObject* target) const {
    // The window system hands a click or key to the sign's window first, then to the control in it.
    if (target && target == windowHandle())
        return true;
    for (const QObject* inside = target; inside; inside = inside->parent()) {
        if (inside == this)
            return true;
    }
    return false;
}

void WaitSign::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        cancelWait();
    else
        QWidget::keyPressEvent(event);
}

void WaitSign::appear() {
    previouslyActive = QApplication::activeWindow();
    // Frameless: its frame is its own rectangle.
    if (const auto corner =
            centredFramePosition(rect(), previouslyActive ? previouslyActive.data() : parentWidget()))
        move(*corner);
    show();
    raise();
    // Esc reaches the sign only while it holds the keyboard.
    activateWindow();
    ui->btCancelar->setFocus();
}

void WaitSign::cancelWait() {
    if (cancelling || !cancel)
        return;
    cancelling = true;
    ui->btCancelar->setEnabled(false);
    ui->lbEspera->setText(QStringLiteral("Cancelando..."));
    cancel();
}
