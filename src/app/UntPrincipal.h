#pragma once

#include "common/Services.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class FormEvents;
class GuessLimiter;
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
    // Config.ini is looked for in `executableFolder`; the login fills `station`; `passwordGuesses` counts
    // wrong passwords per CNPJ.
    TfrmPrincipal(const QString& executableFolder, Station& station, Services services,
                  GuessLimiter& passwordGuesses, QWidget* parent = nullptr);
    ~TfrmPrincipal() override;

    // The window is created before the connection and the other windows: they are handed in afterwards.
    void setConnection(TdmConexao& dmConexao);
    void setWindows(QWidget& frmLancamento, QWidget& frmRelarorios, TfrmVersao& frmVersao);

    // The record of the logged-in station.
    const QString& sCNPJ() const;
    qint32 iIDPosto() const;

    QString configPath() const { return iniPath; }

    void FormCreate();                // window made: tiles hidden, saved login read
    void FormShow();                  // window shown: version text; the saved login or a first connection
    void pDesabilitar();              // hides the tiles and the station's name
    void pLiberar();                  // shows the tiles
    void btConfirmaClick();           // login button: checks CNPJ and password, logs the station in
    void fiCNPJPostoKeyDown(int key); // key in the CNPJ: Enter goes to the password
    void fiSenhaKeyDown(int key);     // key in the password: Enter logs in
    void pLerIni();                   // reads the saved login into the login fields
    void pCriaLog();                  // saves the login for the next start
    void NomemanterConectado1Click(); // menu "Não me manter Conectado": forgets the saved login, ends
    void btRegistrarClick();          // fueling tile: opens the fueling window
    void btRelatoriosClick();         // report tile: opens the report window
    void Sobre1Click();               // menu "Sobre": opens the About window
    void Sair1Click();                // menu "Sair": ends the program
    void Image6Click();               // exit picture: ends the program

signals:
    // The program is to end: the running handler finishes, then the event loop stops.
    void endRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void login();
    // Runs `step` with "Conectando..." on the login panel, one at a time.
    void whileConnecting(const std::function<void()>& step);
    void refuse(const QString& message, bool isError, QWidget* focus, const QString& detail = QString());
    void showModeless(QWidget* window);
    void placeAnchoredControls();

    std::unique_ptr<Ui::TfrmPrincipal> ui;
    Station& station;
    Services services;
    GuessLimiter& passwordGuesses;
    FormEvents* events;
    QString iniPath;
    QPointer<TdmConexao> dmConexao;
    std::unique_ptr<Query> SQLDravix;
    QPointer<QWidget> frmLancamento;
    QPointer<QWidget> frmRelarorios;
    QPointer<TfrmVersao> frmVersao;
    bool connecting = false;
};
