#include "SlowAnswers.h"

#include "BenchTools.h"
#include "ScriptedMessages.h"
#include "StandInScripts.h"
#include "TdsStandIn.h"

#include "app/Application.h"
#include "app/UntPrincipal.h"
#include "common/GuessLimiter.h"
#include "common/MaskedText.h"
#include "common/Services.h"
#include "common/Station.h"
#include "db/UntConexao.h"
#include "fueling/UntLancamento.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

constexpr int lateSeconds = 5;
constexpr int loginSeconds = 3;
const QString stationCnpj = QStringLiteral("12345678000195");
const QString success = QStringLiteral("Dados Gravados Com Sucesso!");

// What the fueling window asks while a fueling is typed and stored, after the vehicle, answered as the server
// would: its fuel, the agreed price, the previous reading, the driver, the stored row.
const char* const fuelingRules = R"js([
    {"match": "FROM VeiculoComb", "columns": [{"name": "cd_item", "type": "int"},
        {"name": "descricao", "type": "varchar(40)"}], "rows": [[3, "DIESEL S10"]]},
    {"match": "FROM PostoItem", "columns": [{"name": "valor", "type": "float"},
        {"name": "margem", "type": "float"}], "rows": [[6.29, 2]]},
    {"match": "SELECT TOP\\(1\\) KmAtual", "columns": [{"name": "KmAtual", "type": "int"}], "rows": [[120000]]},
    {"match": "FROM Motoristas", "columns": [{"name": "nome", "type": "varchar(60)"},
        {"name": "senha", "type": "varchar(10)"}, {"name": "Situacao", "type": "varchar(1)"}],
     "rows": [["JOSE DA SILVA", "1234", "A"]]},
    {"match": "INSERT INTO ZeltoMov", "rowcount": 1}])js";

// The fueling window on the stand-in. `late` is laid over the rule of the same "match" and "kind", or comes
// first when there is none.
struct LateWindow {
    LateWindow(const QJsonObject& late, int runs, ScriptedMessages& messages, const Services& services)
        : server(script(late), 60 + runs * (lateSeconds + 5)),
          connection(ConnectionSettings::sqlServer(server.login())),
          window(connection, Station{stationCnpj, 1}, services, wait, pinGuesses),
          attendant(window, messages, QStringLiteral("ABC1D23"), QStringLiteral("1001")) {
        connection.open();
    }

    static QJsonArray script(const QJsonObject& late) {
        QJsonArray rules = QJsonDocument::fromJson(fuelingRules).array();
        // Travelling 360 km on 40 l, as the attendant types it, is 9 km/l.
        rules.prepend(vehicleLookupRule(2.2, 12));
        for (qsizetype i = 0; i < rules.size(); ++i) {
            QJsonObject rule = rules.at(i).toObject();
            if (rule.value(QStringLiteral("match")) != late.value(QStringLiteral("match")) ||
                rule.value(QStringLiteral("kind")) != late.value(QStringLiteral("kind")))
                continue;
            for (auto field = late.begin(); field != late.end(); ++field)
                rule.insert(field.key(), field.value());
            rules.replace(i, rule);
            return rules;
        }
        rules.prepend(late);
        return rules;
    }

    TdsStandIn server;
    TdmConexao connection;
    NoWait wait;
    GuessLimiter pinGuesses;
    TfrmLancamento window;
    Attendant attendant;
};

QJsonObject lateRule(const char* kind, const char* match, int seconds) {
    QJsonObject rule{{QStringLiteral("match"), QLatin1String(match)}, {QStringLiteral("delay"), seconds}};
    if (kind)
        rule.insert(QStringLiteral("kind"), QLatin1String(kind));
    return rule;
}

struct Wait {
    Wait(const QString& operation, const QString& answer) : operation(operation), answer(answer) {}

    void measure(const std::function<void()>& work) {
        totals.push_back(elapsedMs([&] { longest = std::max(longest, longestStretch(work)); }));
    }

    QString operation;
    QString answer;
    std::vector<double> totals;
    double longest = 0;
    QString note;
};

QString firstBox(const ScriptedMessages& messages) {
    if (messages.count() == 0)
        return QStringLiteral("no box");
    const QString text = messages.boxes.first().text;
    return QStringLiteral("box \"%1\"").arg(text.left(text.indexOf(QStringLiteral(" ("))));
}

// The server never answers the login: the start-up, then each Enter on the password, waits out the login
// time-out.
void silentLogin(int runs, ScriptedMessages& messages, const Services& services, std::vector<Wait>& waits) {
    TdsStandIn server(QJsonArray{lateRule("login", "", 600)}, 60 + runs * (loginSeconds + 5));
    DatabaseTimeouts timeouts;
    timeouts.loginSeconds = loginSeconds;
    QTemporaryDir folder;
    const QString answer = QStringLiteral("login never answered, login time-out %1 s").arg(loginSeconds);
    // Its stretch includes making the windows, before the wait begins.
    Wait startUp(QStringLiteral("start-up to the main window made (windows made, then the wait)"), answer);
    Wait login(QStringLiteral("login (Enter on the password)"), answer);
    messages.clear();
    std::optional<KorvaApplication> app;
    startUp.measure([&] {
        app.emplace(folder.path(), ConnectionSettings::sqlServer(server.login(), timeouts), services);
    });
    startUp.note = firstBox(messages);
    app->frmPrincipal().show();
    if (!QTest::qWaitForWindowExposed(&app->frmPrincipal()))
        throw std::runtime_error("the main window did not show");
    setMaskedValue(*child<QLineEdit>(app->frmPrincipal(), "fiCNPJPosto"), stationCnpj);
    auto* password = child<QLineEdit>(app->frmPrincipal(), "fiSenha");
    password->setText(QStringLiteral("posto123"));
    for (int i = 0; i < runs; ++i) {
        messages.clear();
        password->setFocus();
        login.measure([&] { QTest::keyClick(password, Qt::Key_Return); });
    }
    login.note = firstBox(messages);
    waits.push_back(startUp);
    waits.push_back(login);
}

// The vehicle's lookup, then a save's COMMIT, answered after lateSeconds.
void lateFueling(int runs, ScriptedMessages& messages, const Services& services, std::vector<Wait>& waits) {
    {
        LateWindow rig(lateRule(nullptr, "FROM VeiculosNovo", lateSeconds), runs, messages, services);
        Wait lookUp(QStringLiteral("plate lookup, fuel list and agreed price"),
                    QStringLiteral("the vehicle answered after %1 s").arg(lateSeconds));
        messages.clear();
        for (int i = 0; i < runs; ++i) {
            rig.attendant.showFresh();
            lookUp.measure([&] { rig.attendant.lookUp(); });
        }
        if (messages.count() != 0 || child<QLineEdit>(rig.window, "fiVlPosto")->text().isEmpty())
            throw std::runtime_error("the late lookup failed: " + firstBox(messages).toStdString());
        waits.push_back(lookUp);
    }
    LateWindow rig(lateRule("tm", "^COMMIT", lateSeconds), runs, messages, services);
    Wait store(QStringLiteral("storing a fueling (Confirma)"),
               QStringLiteral("the COMMIT answered after %1 s").arg(lateSeconds));
    for (int i = 0; i < runs; ++i) {
        rig.attendant.typeFueling();
        store.measure([&] { rig.window.BitBtn1Click(); });
        if (messages.count() != 1 || messages.last().text != success)
            throw std::runtime_error("the late save failed: " + firstBox(messages).toStdString());
    }
    const QList<QJsonObject> received = rig.server.requests();
    const auto commits = std::count_if(received.begin(), received.end(), [](const QJsonObject& r) {
        return r.value(QStringLiteral("kind")) == QStringLiteral("tm") &&
               r.value(QStringLiteral("statement")).toString().startsWith(QLatin1String("COMMIT"));
    });
    store.note = QStringLiteral("%1 COMMIT request(s) for %2 save(s)").arg(commits).arg(runs);
    waits.push_back(store);
}

} // namespace

void printSlowAnswers(int runs, ScriptedMessages& messages, const Services& services) {
    std::printf("\nSlow answers (TDS stand-in through FreeTDS, %d runs each): ", runs);
    QString why = TdsStandIn::unavailableReason();
    if (why.isEmpty() && qgetenv("KORVA_BENCH_SLOW_ANSWERS") == "0")
        why = QStringLiteral("KORVA_BENCH_SLOW_ANSWERS=0");
    if (!why.isEmpty()) {
        std::printf("skipped: %s\n", qPrintable(why));
        std::fflush(stdout);
        return;
    }
    std::fflush(stdout);
    std::vector<Wait> waits;
    silentLogin(runs, messages, services, waits);
    lateFueling(runs, messages, services, waits);
    std::printf(
        "\n\n| operation | the server | wait total (ms) | longest stretch without an event-loop turn (ms) "
        "| note |\n|---|---|---:|---:|---|\n");
    for (const Wait& w : waits)
        std::printf("| %s | %s | %.1f | %.1f | %s |\n", qPrintable(w.operation), qPrintable(w.answer),
                    median(w.totals), w.longest, qPrintable(w.note));
    std::fflush(stdout);
}
