#include "UntPrincipal.h"

#include "ui_UntPrincipal.h"

#include "IniFile.h"
#include "UntVersao.h"

#include "common/Clock.h"
#include "common/FormEvents.h"
#include "common/GuessLimiter.h"
#include "common/MaskedText.h"
#include "common/Messages.h"
#include "common/Station.h"
#include "db/UntConexao.h"
#include "format/UntProcedimentos.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QScopedValueRollback>

namespace {
const QString loginSection = QStringLiteral("Login");
const QString cnpjKey = QStringLiteral("CNPJ");
const QString passwordKey = QStringLiteral("Senha");

// Distances of the anchored controls from the right and bottom edges of the window's client area.
constexpr int rightMargin = 8;
constexpr int bottomMargin = 6;

bool isEnterKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// Trailing blanks and control characters do not make a password.
QString withoutTrailingBlanks(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).unicode() <= ' ')
        --end;
    return text.left(end);
}
} // namespace

TfrmPrincipal::TfrmPrincipal(const QString& executableFolder, Station& station, Services services,
                             GuessLimiter& passwordGuesses, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TfrmPrincipal>()), station(station), services(services),
      passwordGuesses(passwordGuesses), events(new FormEvents(this, services.messages)),
      iniPath(executableFolder + QStringLiteral("/Config.ini")) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("frmPrincipal"));
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPixelSize(11);
    setFont(tahoma);
    for (QAction* action : ui->Arquivo1->actions()) {
        if (action->isSeparator())
            action->setObjectName(QStringLiteral("N1"));
    }
    ui->fiMensagem->hide();

    events->onClick(ui->NomemanterConectado1, [this] { NomemanterConectado1Click(); });
    events->onClick(ui->Sair1, [this] { Sair1Click(); });
    events->onClick(ui->Sobre1, [this] { Sobre1Click(); });
    events->onKeyDown(ui->fiCNPJPosto, [this](int key) { fiCNPJPostoKeyDown(key); });
    events->onKeyDown(ui->fiSenha, [this](int key) { fiSenhaKeyDown(key); });
    for (QWidget* tile : std::initializer_list<QWidget*>{ui->btRegistrar, ui->Image1, ui->Label2})
        events->onClick(tile, [this] { btRegistrarClick(); });
    for (QWidget* tile : std::initializer_list<QWidget*>{ui->btRelatorios, ui->Image5, ui->Label10})
        events->onClick(tile, [this] { btRelatoriosClick(); });
    events->onClick(ui->Image6, [this] { Image6Click(); });
    events->onClick(ui->btConfirma, [this] { btConfirmaClick(); });
    // Run once the window is on screen, so that the boxes of a saved login come up over it.
    events->onShow([this] { FormShow(); }, FormEvents::ShowRun::OnceShown);
    ui->centralwidget->installEventFilter(this);

    FormCreate();
}

TfrmPrincipal::~TfrmPrincipal() = default;

void TfrmPrincipal::setConnection(TdmConexao& connection) {
    dmConexao = &connection;
    SQLDravix = std::make_unique<Query>(connection);
}

void TfrmPrincipal::setWindows(QWidget& lancamento, QWidget& relarorios, TfrmVersao& versao) {
    frmLancamento = &lancamento;
    frmRelarorios = &relarorios;
    frmVersao = &versao;
}

const QString& TfrmPrincipal::sCNPJ() const {
    return station.sCNPJ;
}

qint32 TfrmPrincipal::iIDPosto() const {
    return station.iIDPosto;
}

void TfrmPrincipal::FormCreate() {
    pDesabilitar();
    ui->fiCNPJPosto->clear();
    ui->fiSenha->clear();
    pLerIni();
}

void TfrmPrincipal::FormShow() {
    if (frmVersao)
        ui->lbVersao->setText(frmVersao->versionText());
    // Only the saved login fills the password before the window is shown; that login is then the first
    // connection attempt. Otherwise the program connects now, its window up: a failure is reported, and the
    // first query tries again.
    if (!ui->pnLogin->isHidden() && !ui->fiSenha->text().isEmpty())
        btConfirmaClick();
    else if (dmConexao && !dmConexao->isOpen())
        whileConnecting([this] { dmConexao->open(); });
}

void TfrmPrincipal::pDesabilitar() {
    ui->btRegistrar->hide();
    ui->btRelatorios->hide();
    ui->fiNome->clear();
    ui->fiCNPJ->clear();
}

void TfrmPrincipal::pLiberar() {
    ui->btRegistrar->show();
    ui->btRelatorios->show();
}

void TfrmPrincipal::btConfirmaClick() {
    // No login is tried while the wait after wrong passwords runs (Enter in the password included).
    if (!ui->btConfirma->isEnabled())
        return;
    whileConnecting([this] { login(); });
}

void TfrmPrincipal::whileConnecting(const std::function<void()>& step) {
    // Events posted by code still arrive while the database is waited for; a second Enter or click must not
    // start a login inside this step.
    if (connecting)
        return;
    const QScopedValueRollback<bool> running(connecting, true);

    ui->fiMensagem->setText(QStringLiteral("Conectando..."));
    ui->fiMensagem->show();
    const auto hideMessage = qScopeGuard([this] { ui->fiMensagem->hide(); });
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    step();
}

void TfrmPrincipal::login() {
    const QString cnpj = maskedValue(*ui->fiCNPJPosto);
    if (cnpj.isEmpty())
        return refuse(QStringLiteral("Informe o CNPF do seu Posto de Combustível!"), false, ui->fiCNPJPosto);
    if (withoutTrailingBlanks(ui->fiSenha->text()).isEmpty())
        return refuse(QStringLiteral("Informe sua Senha!"), false, ui->fiSenha);
    if (!SQLDravix)
        throw DatabaseError("Sem conexão com o banco de dados");

    SQLDravix->close();
    SQLDravix->clearSql();
    SQLDravix->addLine(QStringLiteral("SELECT * FROM ZeltoPostos"));
    SQLDravix->addLine(QStringLiteral("WHERE Cnpj = :pCnpj"));
    SQLDravix->bindText(QStringLiteral("pCnpj"), cnpj);
    SQLDravix->open();
    if (SQLDravix->isEmpty())
        return refuse(QStringLiteral("Não Localizado este CNPJ no cadastro de postos Dravix Postos!"), false,
                      ui->fiCNPJPosto);
    if (ui->fiSenha->text() != SQLDravix->asString(QStringLiteral("Senha"))) {
        const QString detail = passwordGuesses.refuse(cnpj, *ui->btConfirma, services.clock);
        return refuse(QStringLiteral("Senha Inválida!"), true, ui->fiSenha, detail);
    }
    passwordGuesses.right(cnpj);

    ui->fiNome->setText(SQLDravix->asString(QStringLiteral("nome")));
    ui->fiCNPJ->setText(QStringLiteral("CNPJ: ") + fFormacnpj(SQLDravix->asString(QStringLiteral("cnpj"))));
    station.sCNPJ = SQLDravix->asString(QStringLiteral("cnpj"));
    station.iIDPosto = SQLDravix->asInteger(QStringLiteral("id"));

    ui->pnLogin->hide();
    pLiberar();
    if (ui->fiConectado->isChecked())
        pCriaLog();
}

void TfrmPrincipal::refuse(const QString& message, bool isError, QWidget* focus, const QString& detail) {
    services.messages.show(this, message, attentionCaption,
                           isError ? Messages::Icon::Error : Messages::Icon::Exclamation,
                           Messages::Buttons::Ok, detail);
    focus->setFocus();
}

void TfrmPrincipal::fiCNPJPostoKeyDown(int key) {
    if (isEnterKey(key))
        ui->fiSenha->setFocus();
}

void TfrmPrincipal::fiSenhaKeyDown(int key) {
    if (isEnterKey(key))
        btConfirmaClick();
}

void TfrmPrincipal::pLerIni() {
    if (!QFileInfo(iniPath).isFile())
        return;
    const IniFile ini(iniPath);
    setMaskedValue(*ui->fiCNPJPosto, ini.readString(loginSection, cnpjKey));
    ui->fiSenha->setText(ini.readString(loginSection, passwordKey));
}

void TfrmPrincipal::pCriaLog() {
    const IniFile ini(iniPath);
    ini.writeString(loginSection, cnpjKey, maskedValue(*ui->fiCNPJPosto));
    ini.writeString(loginSection, passwordKey, ui->fiSenha->text());
}

void TfrmPrincipal::NomemanterConectado1Click() {
    const Messages::Answer answer = services.messages.show(
        this,
        QStringLiteral(
            "Tem certeza que deseja não se manter conectado? No seu próximo acesso terá que digitar "
            "seu CNPJ e senha novamente! Deseja continuar?"),
        attentionCaption, Messages::Icon::Question, Messages::Buttons::YesNo);
    if (answer != Messages::Answer::Yes)
        return;
    // A file that stays (or never was) changes nothing here: the program ends all the same.
    QFile::remove(iniPath);
    emit endRequested();
}

void TfrmPrincipal::btRegistrarClick() {
    showModeless(frmLancamento);
}

void TfrmPrincipal::btRelatoriosClick() {
    showModeless(frmRelarorios);
}

void TfrmPrincipal::Sobre1Click() {
    showModeless(frmVersao);
}

void TfrmPrincipal::Sair1Click() {
    emit endRequested();
}

void TfrmPrincipal::Image6Click() {
    emit endRequested();
}

// Each window places itself over this one when it is shown.
void TfrmPrincipal::showModeless(QWidget* window) {
    if (!window)
        return;
    window->show();
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->raise();
    window->activateWindow();
}

void TfrmPrincipal::placeAnchoredControls() {
    const QSize area = ui->centralwidget->size();
    for (QWidget* control : {static_cast<QWidget*>(ui->fiNome), static_cast<QWidget*>(ui->fiCNPJ)})
        control->move(area.width() - rightMargin - control->width(), control->y());
    ui->lbVersao->move(ui->lbVersao->x(), area.height() - bottomMargin - ui->lbVersao->height());
    ui->Label7->move(area.width() - rightMargin - ui->Label7->width(),
                     area.height() - bottomMargin - ui->Label7->height());
    ui->pnLogin->move((area.width() - ui->pnLogin->width()) / 2, (area.height() - ui->pnLogin->height()) / 2);
}

bool TfrmPrincipal::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->centralwidget && event->type() == QEvent::Resize)
        placeAnchoredControls();
    return QMainWindow::eventFilter(watched, event);
}

void TfrmPrincipal::closeEvent(QCloseEvent* event) {
    event->accept();
    emit endRequested();
}
