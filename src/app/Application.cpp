#include "Application.h"

#include "ConnectionFile.h"
#include "Fonts.h"
#include "UntPrincipal.h"
#include "UntProcessando.h"
#include "UntVersao.h"

#include "common/Clock.h"
#include "common/Messages.h"
#include "common/Shell.h"
#include "common/WaitIndicator.h"
#include "common/WaitSign.h"
#include "db/UntConexao.h"
#include "fueling/UntLancamento.h"
#include "report/UntPesqEmpresas.h"
#include "report/UntRelarios.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

// The fueling window is made before the wait window it uses: it gets this stand-in, which passes the calls
// on once the wait window exists.
class KorvaApplication::ForwardingWait final : public WaitIndicator {
public:
    void showWait() override {
        if (target)
            target->showWait();
    }
    void closeWait() override {
        if (target)
            target->closeWait();
    }
    QPointer<TfrmProcessando> target;
};

struct KorvaApplication::RealServices {
    MessageBoxMessages messages;
    SystemClock clock;
    DesktopShell shell;
};

KorvaApplication::KorvaApplication()
    : realServices(std::make_unique<RealServices>()), wait(std::make_unique<ForwardingWait>()) {
    const QString folder = QCoreApplication::applicationDirPath();
    start(folder, ConnectionFile::read(folder),
          Services{realServices->messages, realServices->clock, realServices->shell});
}

KorvaApplication::KorvaApplication(const QString& executableFolder, const ConnectionSettings& settings,
                                   Services services)
    : wait(std::make_unique<ForwardingWait>()) {
    start(executableFolder, settings, services);
}

KorvaApplication::~KorvaApplication() {
    // The sign goes with the main window, before the connection.
    if (conexao)
        conexao->setWaitPresenter(nullptr);
}

void KorvaApplication::start(const QString& executableFolder, const ConnectionSettings& settings,
                             Services services) {
    // Brazilian numbers and dates whatever the system says.
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    translator = std::make_unique<QTranslator>();
    if (translator->load(QStringLiteral("qtbase_pt_BR"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator.get());
    registerFonts();
    // Closing the main window ends the program, even with another window still open.
    QApplication::setQuitOnLastWindowClosed(false);

    principal = std::make_unique<TfrmPrincipal>(executableFolder, loggedStation, services, stationGuesses);
    QObject::connect(principal.get(), &TfrmPrincipal::endRequested, qApp, [] { QCoreApplication::exit(0); });

    // Nothing connects yet: the main window tries once it is on screen (its FormShow), so the program is
    // seen at once however long the server takes to answer.
    conexao = std::make_unique<TdmConexao>(settings);
    conexao->setWaitPresenter(new WaitSign(principal.get()));
    principal->setConnection(*conexao);

    // Every other window is the main window's own: no task-bar entry of its own, placed over the main window,
    // and gone with it.
    QWidget* owner = principal.get();
    lancamento = new TfrmLancamento(*conexao, loggedStation, services, *wait, pinGuesses, owner);
    processando = new TfrmProcessando(owner);
    wait->target = processando;
    // The report window is handed its search window when it is made, so the search window is made first.
    pesqEmpresas = new TfrmPesqEmpresas(*conexao, loggedStation, services, owner);
    relarorios = new TfrmRelarorios(*conexao, loggedStation, services, *pesqEmpresas, owner);
    versao = new TfrmVersao(services, owner);
    principal->setWindows(*lancamento, *relarorios, *versao);
}

int KorvaApplication::run() {
    principal->showMaximized();
    return QCoreApplication::exec();
}
