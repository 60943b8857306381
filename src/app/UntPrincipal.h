#pragma once

#include "common/Services.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class FormEvents;
class Query;
class TdmConexao;
class TfrmVersao;
struct Station;
namespace Ui {
class TfrmPrincipal;
}

// The main window: the login panel, and after the login the two tiles that open the fueling and report
// windows. It writes the record of the logged-in station.
class TfrmPrincipal final : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TfrmPrincipal)

public:
    // Config.ini is looked for in `executableFolder`; the login fills `station`.
    TfrmPrincipal(const QString& executableFolder, Station& station, Services services,
                  QWidget* parent = nullptr);
    ~TfrmPrincipal() override;

    // The window is created before the connection and the other windows: they are handed in afterwards.
    void setConnection(TdmConexao& dmConexao);
    void setWindows(QWidget& frmLancamento, QWidget& frmRelarorios, TfrmVersao& frmVersao);

    // The record of the logged-in station.
    const QString& sCNPJ() const;
    qint32 iIDPosto() const;

    QString configPath() const { return iniPath; }

    void FormCreate();
    void FormShow();
    void pDesabilitar();
    void pLiberar();
    void btConfirmaClick();
    void fiCNPJPostoKeyDown(int key);
    void fiSenhaKeyDown(int key);
    void pLerIni();
    void pCriaLog();
    void NomemanterConectado1Click();
    void btRegistrarClick();
    void btRelatoriosClick();
    void Sobre1Click();
    void Sair1Click();
    void Image6Click();

signals:
    // The program is to end: the running handler finishes, then the event loop stops.
    void endRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void login();
    void refuse(const QString& message, bool isError, QWidget* focus);
    void showModeless(QWidget* window);
    void placeAnchoredControls();

    Ui::TfrmPrincipal* ui;
    Station& station;
    Services services;
    FormEvents* events;
    QString iniPath;
    std::unique_ptr<Query> SQLDravix;
    QPointer<QWidget> frmLancamento;
    QPointer<QWidget> frmRelarorios;
    QPointer<TfrmVersao> frmVersao;
    QList<QPointer<QWidget>> placedWindows;
    bool shownBefore = false;
    bool loginRunning = false;
};
