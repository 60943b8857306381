#pragma once

#include "common/GuessLimiter.h"
#include "common/Services.h"
#include "common/Station.h"

#include <QString>

#include <memory>

class Clock;
class Messages;
class QTranslator;
class Shell;
class TdmConexao;
class TfrmLancamento;
class TfrmPesqEmpresas;
class TfrmPrincipal;
class TfrmProcessando;
class TfrmRelarorios;
class TfrmVersao;
struct ConnectionSettings;

// The application object: fixes the Brazilian conventions, creates every window and the data module once,
// in the fixed order, keeps them until the end, and runs the event loop. Needs a QApplication. It owns the
// main window and the data module; the main window owns every other window.
class KorvaApplication final {
    Q_DISABLE_COPY_MOVE(KorvaApplication)

public:
    // The program: the executable's folder, the connection its Conexao.ini names, the real services.
    KorvaApplication();
    // The same start-up with the folder, the connection and the services given.
    KorvaApplication(const QString& executableFolder, const ConnectionSettings& settings, Services services);
    ~KorvaApplication();

    // Shows the main window maximised and runs the event loop until the program is ended.
    int run();

    TfrmPrincipal& frmPrincipal() { return *principal; }
    TdmConexao& dmConexao() { return *conexao; }
    TfrmVersao& frmVersao() { return *versao; }
    TfrmProcessando& frmProcessando() { return *processando; }
    const Station& station() const { return loggedStation; }

private:
    class ForwardingWait;
    struct RealServices;
    void start(const QString& executableFolder, const ConnectionSettings& settings, Services services);

    std::unique_ptr<RealServices> realServices;
    std::unique_ptr<ForwardingWait> wait;
    std::unique_ptr<QTranslator> translator;
    Station loggedStation;
    // Wrong passwords in a row count for the whole run, whichever window is open.
    GuessLimiter stationGuesses;
    GuessLimiter pinGuesses;
    // Declared before the main window, so it outlives every window whose queries run on it.
    std::unique_ptr<TdmConexao> conexao;
    std::unique_ptr<TfrmPrincipal> principal;
    // The main window's own.
    TfrmLancamento* lancamento = nullptr;
    TfrmProcessando* processando = nullptr;
    TfrmPesqEmpresas* pesqEmpresas = nullptr;
    TfrmRelarorios* relarorios = nullptr;
    TfrmVersao* versao = nullptr;
};
