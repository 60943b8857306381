#include "SlowAnswers.h"

#include "BenchTools.h"
#include "ScriptedMessages.h"
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
const QString registration = QStringLiteral("1001");
const QString success = QStringLiteral("Dados Gravados Com Sucesso!");

// What the fueling window asks while a fueling is typed and stored, answered as the server would: the
// vehicle, its fuel, the agreed price, the previous reading, the driver, the stored row.
const char* const fuelingRules = R"js([
    {"match": "FROM VeiculosNovo", "columns": [{"name": "id", "type": "int"},
        {"name": "id_empresa", "type": "int"}, {"name": "Codigo", "type": "varchar(20)"},
        {"name": "CodUT", "type": "int"}, {"name": "Marca", "type": "varchar(40)"},
        {"name": "Modelo", "type": "varchar(40)"}, {"name": "razao", "type": "varchar(60)"},
        {"name": "cnpj", "type": "varchar(14)"}, {"name": "IDEmp", "type": "int"},
        {"name": "CapTanque", "type": "float"}, {"name": "RendMinimo", "type": "float"},
        {"name": "RendMaximo", "type": "float"}],
     "rows": [[7, 3, "V-07", 21, "Volvo", "FH 540", "Transportes Alfa", "11222333000144", 3, 400, 2.2, 12]]},
    {"match": "FROM VeiculoComb", "columns": [{"name": "cd_item", "type": "int"},
        {"name": "descricao", "type": "varchar(40)"}], "rows": [[3, "DIESEL S10"]]},
    {"match": "FROM PostoItem", "columns": [{"name": "valor", "type": "float"},
        {"name": "margem", "type": "float"}], "rows": [[6.29, 2]]},
    {"match": "SELECT TOP\\(1\\) KmAtual", "columns": [{"name": "KmAtual", "type": "int"}], "rows": [[120000]]},
    {"match": "FROM Motoristas", "columns": [{"name": "nome", "type": "varchar(60)"},
        {"name": "senha", "type": "varchar(10)"}, {"name": "Situacao", "type": "varchar(1)"}],
     "rows": [["JOSE DA SILVA", "1234", "A"]]},
    {"match": "INSERT INTO ZeltoMov", "rowcount": 1}])js";

// The fueling rules with `late` tried first, or with the rule matching `delayed` answering late.
QJsonArray fuelingScript(const QJsonObject& late, const QString& delayed = {}) {
    QJsonArray rules = QJsonDocument::fromJson(fuelingRules).array();
    for (qsizetype i = 0; i < rules.size(); ++i) {
        QJsonObject rule = rules.at(i).toObject();
        if (!delayed.isEmpty() && rule.value(QStringLiteral("match")).toString() == delayed) {
            rule.insert(QStringLiteral("delay"), lateSeconds);
            rules.replace(i, rule);
        }
    }
    if (!late.isEmpty())
        rules.prepend(late);
    return rules;
}

struct Wait {
    QString operation;
    QString answer;
    std::vector<double> totals;
    double longest = 0;
    QString note;

    void measure(const std::function<void()>& work) {
        totals.push_back(elapsedMs([&] { longest = std::max(longest, longestStretch(work)); }));
    }
};

QString firstBox(const ScriptedMessages& messages) {
    if (messages.count() == 0)
        return QStringLiteral("no box");
    const QString text = messages.boxes.first().text;
    return QStringLiteral("box \"%1\"").arg(text.left(text.indexOf(QStringLiteral(" ("))));
}

// The server never answers the login: the start-up, then Enter on the password, each waits out the login
// time-out.
void silentLogin(int runs, ScriptedMessages& messages, const Services& services, std::vector<Wait>& waits) {
    TdsStandIn server(QJsonArray{QJsonObject{{QStringLiteral("kind"), QStringLiteral("login")},
                                             {QStringLiteral("delay"), 600}}},
                      60 + runs * (loginSeconds + 5));
    DatabaseTimeouts timeouts;
    timeouts.loginSeconds = loginSeconds;
    QTemporaryDir folder;
    const QString answer = QStringLiteral("login never answered, login time-out %1 s").arg(loginSeconds);
    Wait startUp{QStringLiteral("start-up to the main window made"), answer, {}, 0, {}};
    Wait login{QStringLiteral("login (Enter on the password)"), answer, {}, 0, {}};
    messages.clear();
    std::optional<KorvaApplication> app;
    startUp.measure([&] {
        app.emplace(folder.path(), ConnectionSettings::sqlServer(server.login(), timeouts), services);
    });
    startUp.note = firstBox(messages);
    app->frmPrincipal().show();
    if (!QTest::qWaitForWindowExposed(&app->frmPrincipal()))
        throw std::runtime_error("the main window did not show");
    setMaskedValue(*child<QLineEdit>(app->frmPrincipal(), "fiCNPJPosto"), QStringLiteral("12345678000195"));
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
    const Station station{QStringLiteral("12345678000195"), 1};
    const int lifetime = 60 + runs * (lateSeconds + 5);
    {
        TdsStandIn server(fuelingScript({}, QStringLiteral("FROM VeiculosNovo")), lifetime);
        TdmConexao connection(ConnectionSettings::sqlServer(server.login()));
        connection.open();
        NoWait wait;
        GuessLimiter pinGuesses;
        TfrmLancamento window(connection, station, services, wait, pinGuesses);
        Attendant attendant(window, messages, QStringLiteral("ABC1D23"), registration);
        Wait lookUp{QStringLiteral("plate lookup, fuel list and agreed price"),
                    QStringLiteral("the vehicle answered after %1 s").arg(lateSeconds),
                    {},
                    0,
                    {}};
        messages.clear();
        for (int i = 0; i < runs; ++i) {
            attendant.showFresh();
            lookUp.measure([&] { attendant.lookUp(); });
        }
        if (messages.count() != 0 || child<QLineEdit>(window, "fiVlPosto")->text().isEmpty())
            throw std::runtime_error("the late lookup failed: " + firstBox(messages).toStdString());
        waits.push_back(lookUp);
    }
    const QJsonObject lateCommit{{QStringLiteral("kind"), QStringLiteral("tm")},
                                 {QStringLiteral("match"), QStringLiteral("^COMMIT")},
                                 {QStringLiteral("delay"), lateSeconds}};
    TdsStandIn server(fuelingScript(lateCommit), lifetime);
    TdmConexao connection(ConnectionSettings::sqlServer(server.login()));
    connection.open();
    NoWait wait;
    GuessLimiter pinGuesses;
    TfrmLancamento window(connection, station, services, wait, pinGuesses);
    Attendant attendant(window, messages, QStringLiteral("ABC1D23"), registration);
    Wait store{QStringLiteral("storing a fueling (Confirma)"),
               QStringLiteral("the COMMIT answered after %1 s").arg(lateSeconds),
               {},
               0,
               {}};
    for (int i = 0; i < runs; ++i) {
        attendant.typeFueling();
        store.measure([&] { window.BitBtn1Click(); });
        if (messages.count() != 1 || messages.last().text != success)
            throw std::runtime_error("the late save failed: " + firstBox(messages).toStdString());
    }
    const QList<QJsonObject> received = server.requests();
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
