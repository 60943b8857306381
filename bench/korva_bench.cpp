// Times the real windows and handlers on a large database, offscreen, against the floor set by the engine
// (the same statements through SQLite's C API, every column of every row read) and by the workbook writer.
//
// Usage: korva_bench DATABASE [RUNS]   (the database is copied first: storing fuelings changes it)

#include "ScriptedMessages.h"

#include "Doubles.h"
#include "app/Application.h"
#include "app/UntPrincipal.h"
#include "common/GuessLimiter.h"
#include "common/MaskedText.h"
#include "common/Services.h"
#include "common/Station.h"
#include "common/WaitIndicator.h"
#include "db/UntConexao.h"
#include "fueling/UntLancamento.h"
#include "report/QueryTableModel.h"
#include "report/UntPesqEmpresas.h"
#include "report/UntRelarios.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <vector>

namespace {
struct Statement {
    QString text;
    QVariantList values;
};

const QString stationCnpj = QStringLiteral("12345678000195");
const QString stationPassword = QStringLiteral("posto123");
const QString benchPlate = QStringLiteral("ABC1A01");
constexpr int largeClient = 1;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double elapsedMs(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

long statusKb(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').first().toLong();
    return -1;
}

// Statements the program sends while `work` runs.
std::vector<Statement> recorded(TdmConexao& connection, const std::function<void()>& work) {
    std::vector<Statement> statements;
    connection.setStatementObserver([&statements](const QString& text, const QVariantList& values) {
        statements.push_back({text, values});
    });
    work();
    connection.setStatementObserver({});
    return statements;
}

// The engine's own floor: prepare, bind, step and read every column of every row, nothing else.
class Engine final {
public:
    explicit Engine(const QString& path) {
        if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db));
    }
    ~Engine() { sqlite3_close(db); }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    void exec(const char* sql) { sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

    long long run(const std::vector<Statement>& statements) {
        long long sink = 0;
        for (const Statement& s : statements) {
            sqlite3_stmt* stmt = nullptr;
            const QByteArray text = s.text.toUtf8();
            if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK)
                throw std::runtime_error(sqlite3_errmsg(db));
            std::vector<QByteArray> keep;
            for (int i = 0; i < s.values.size(); ++i) {
                const QVariant& v = s.values.at(i);
                if (v.isNull()) {
                    sqlite3_bind_null(stmt, i + 1);
                } else if (v.typeId() == QMetaType::Double) {
                    sqlite3_bind_double(stmt, i + 1, v.toDouble());
                } else if (v.typeId() == QMetaType::QString) {
                    keep.push_back(v.toString().toUtf8());
                    sqlite3_bind_text(stmt, i + 1, keep.back().constData(), int(keep.back().size()),
                                      SQLITE_STATIC);
                } else {
                    sqlite3_bind_int64(stmt, i + 1, v.toLongLong());
                }
            }
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                const int columns = sqlite3_column_count(stmt);
                for (int c = 0; c < columns; ++c) {
                    switch (sqlite3_column_type(stmt, c)) {
                    case SQLITE_INTEGER:
                        sink += sqlite3_column_int64(stmt, c);
                        break;
                    case SQLITE_FLOAT:
                        sink += (long long)sqlite3_column_double(stmt, c);
                        break;
                    case SQLITE_TEXT:
                        sink += sqlite3_column_bytes(stmt, c) + (sqlite3_column_text(stmt, c) ? 1 : 0);
                        break;
                    default:
                        break;
                    }
                }
            }
            sqlite3_finalize(stmt);
        }
        return sink;
    }

private:
    sqlite3* db = nullptr;
};

class NoWait final : public WaitIndicator {
public:
    void showWait() override {}
    void closeWait() override {}
};

struct Row {
    QString operation;
    double ours = 0;  // ms, median
    double floor = 0; // ms, median; 0 when there is no floor to compare with
    QString note;
};

void print(const std::vector<Row>& rows) {
    std::printf("\n| operation | KORVAPosto (ms) | floor (ms) | ratio | note |\n|---|---:|---:|---:|---|\n");
    for (const Row& r : rows) {
        const QString floor = r.floor > 0 ? QString::number(r.floor, 'f', 3) : QStringLiteral("-");
        const QString ratio = r.floor > 0 ? QString::number(r.ours / r.floor, 'f', 2) : QStringLiteral("-");
        std::printf("| %s | %.3f | %s | %s | %s |\n", qPrintable(r.operation), r.ours, qPrintable(floor),
                    qPrintable(ratio), qPrintable(r.note));
    }
    std::fflush(stdout);
}

template <typename T> T* child(QWidget& window, const char* name) {
    auto* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        throw std::runtime_error(std::string("no control ") + name);
    return found;
}

// Median time of `ours` and of the engine replaying what one run of it sent.
Row measure(const QString& name, int runs, TdmConexao& connection, Engine& engine,
            const std::function<void()>& prepare, const std::function<void()>& ours,
            bool inTransaction = false) {
    std::vector<double> times;
    std::vector<Statement> sent;
    prepare();
    ours(); // warm the caches as a working station would have them
    for (int i = 0; i < runs; ++i) {
        prepare();
        sent = recorded(connection, [&] { times.push_back(elapsedMs(ours)); });
    }
    std::vector<double> floors;
    for (int i = 0; i < runs; ++i)
        floors.push_back(elapsedMs([&] {
            if (inTransaction)
                engine.exec("BEGIN");
            engine.run(sent);
            if (inTransaction)
                engine.exec("COMMIT");
        }));
    return {name, median(times), median(floors), QStringLiteral("%1 statement(s)").arg(sent.size())};
}

// The workbook writer alone, writing the same cells as the export: the writer's own floor.
double writerAlone(const Query& q, const QList<int>& fieldOf, const QString& path) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    const QByteArray file = path.toUtf8();
    lxw_workbook* workbook = workbook_new_opt(file.constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_format* dateFormat = workbook_add_format(workbook);
    format_set_num_format(dateFormat, "dd/mm/yyyy hh:mm:ss");
    const QStringList fields = q.fieldNames();
    for (int c = 0; c < fieldOf.size(); ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c),
                               fieldOf.at(c) < 0 ? "" : fields.at(fieldOf.at(c)).toUtf8().constData(),
                               nullptr);
    for (int r = 0; r < q.rowCount(); ++r) {
        for (int c = 0; c < fieldOf.size(); ++c) {
            if (fieldOf.at(c) < 0 ||
                fields.at(fieldOf.at(c)).compare(QLatin1String("FT"), Qt::CaseInsensitive) == 0 ||
                fields.at(fieldOf.at(c)).compare(QLatin1String("VL"), Qt::CaseInsensitive) == 0)
                continue;
            const QVariant v = q.value(r, fieldOf.at(c));
            if (v.isNull())
                continue;
            const lxw_row_t row = lxw_row_t(r + 1);
            if (v.typeId() == QMetaType::QDateTime) {
                const QDateTime t = v.toDateTime();
                lxw_datetime d{t.date().year(), t.date().month(),  t.date().day(),
                               t.time().hour(), t.time().minute(), double(t.time().second())};
                worksheet_write_datetime(sheet, row, lxw_col_t(c), &d, dateFormat);
            } else if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Int ||
                       v.typeId() == QMetaType::LongLong) {
                worksheet_write_number(sheet, row, lxw_col_t(c), v.toDouble(), nullptr);
            } else {
                worksheet_write_string(sheet, row, lxw_col_t(c), v.toString().toUtf8().constData(), nullptr);
            }
        }
    }
    return workbook_close(workbook) == LXW_NO_ERROR ? 0 : -1;
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: korva_bench DATABASE [RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(3, std::atoi(argv[2])) : 9;
    QTemporaryDir work;
    const QString database = work.filePath(QStringLiteral("Dravix.db"));
    if (!QFile::copy(QString::fromLocal8Bit(argv[1]), database)) {
        std::fprintf(stderr, "cannot copy %s\n", argv[1]);
        return 2;
    }
    std::printf("database %s copied to %s; %d runs each\n", argv[1], qPrintable(database), runs);

    ScriptedMessages messages;
    FixedClock clock(QDateTime::currentDateTime());
    RecordingShell shell;
    const Services services{messages, clock, shell};
    std::vector<Row> rows;
    try {
        Engine engine(database);

        // Start-up to the main window shown, then the login, each on a fresh application object.
        {
            std::vector<double> startUp, login;
            std::vector<Statement> loginSent;
            for (int i = 0; i <= runs; ++i) {
                QElapsedTimer timer;
                timer.start();
                KorvaApplication app(work.path(), ConnectionSettings::sqliteFile(database), services);
                app.frmPrincipal().show();
                if (!QTest::qWaitForWindowExposed(&app.frmPrincipal()))
                    throw std::runtime_error("the main window did not show");
                const double shown = double(timer.nsecsElapsed()) / 1e6;
                auto* cnpj = child<QLineEdit>(app.frmPrincipal(), "fiCNPJPosto");
                auto* password = child<QLineEdit>(app.frmPrincipal(), "fiSenha");
                setMaskedValue(*cnpj, stationCnpj);
                password->setText(stationPassword);
                password->setFocus();
                double loggedIn = 0;
                loginSent = recorded(app.dmConexao(), [&] {
                    loggedIn = elapsedMs([&] { QTest::keyClick(password, Qt::Key_Return); });
                });
                if (app.station().iIDPosto != 1 || messages.count() != 0)
                    throw std::runtime_error("the login failed");
                if (i > 0) { // the first run warms the file cache
                    startUp.push_back(shown);
                    login.push_back(loggedIn);
                }
            }
            std::vector<double> floors;
            for (int i = 0; i < runs; ++i)
                floors.push_back(elapsedMs([&] { engine.run(loginSent); }));
            rows.push_back({QStringLiteral("start-up to the main window shown"), median(startUp), 0,
                            QStringLiteral("windows made, connection opened, first paint")});
            rows.push_back({QStringLiteral("login (Enter on the password)"), median(login), median(floors),
                            QStringLiteral("%1 statement(s)").arg(loginSent.size())});
        }

        TdmConexao connection(ConnectionSettings::sqliteFile(database));
        connection.open();
        const Station station{stationCnpj, 1};

        // The attendant's window on the large client's vehicle.
        {
            NoWait wait;
            GuessLimiter pinGuesses;
            TfrmLancamento window(connection, station, services, wait, pinGuesses);
            auto* plate = child<QLineEdit>(window, "fiPlaca");
            auto* fuel = child<QComboBox>(window, "lkTipo");
            const auto showFresh = [&] {
                window.hide();
                window.show();
                setMaskedValue(*plate, benchPlate);
            };
            const auto lookUp = [&] {
                window.btPlacaClick();
                fuel->setCurrentIndex(0);
                window.lkTipoClick();
            };
            rows.push_back(measure(QStringLiteral("plate lookup, fuel list and agreed price"), runs,
                                   connection, engine, showFresh, lookUp));
            rows.push_back(measure(
                QStringLiteral("previous odometer (entering fiKM)"), runs, connection, engine, [] {},
                [&] { window.fiKMEnter(); }));
            auto* matricula = child<QLineEdit>(window, "fiMatricula");
            matricula->setText(QString::number(largeClient * 1000 + 1));
            rows.push_back(measure(
                QStringLiteral("driver check (leaving fiMatricula)"), runs, connection, engine, [] {},
                [&] { window.fiMatriculaExit(); }));

            const auto typeFueling = [&] {
                showFresh();
                lookUp();
                const double price = window.findChild<QLineEdit*>(QStringLiteral("fiVlPosto"))
                                         ->text()
                                         .remove(QLatin1Char('.'))
                                         .replace(QLatin1Char(','), QLatin1Char('.'))
                                         .toDouble();
                child<QLineEdit>(window, "fiQtde")->setText(QStringLiteral("40"));
                window.fiQtdeExit();
                child<QLineEdit>(window, "fivlTotal")
                    ->setText(
                        QString::number(price * 40, 'f', 2).replace(QLatin1Char('.'), QLatin1Char(',')));
                window.fivlTotalExit();
                window.fiKMEnter();
                const qint64 previous = child<QLineEdit>(window, "fiKMAnt")->text().toLongLong();
                child<QLineEdit>(window, "fiKM")->setText(QString::number(previous + 360));
                window.fiKMExit();
                matricula->setText(QString::number(largeClient * 1000 + 1));
                window.fiMatriculaExit();
                child<QLineEdit>(window, "fiSenha")->setText(QStringLiteral("1234"));
                messages.clear();
            };
            const long before = long(engine.run({{QStringLiteral("SELECT COUNT(*) FROM ZeltoMov"), {}}}));
            Row store = measure(
                QStringLiteral("storing a fueling (Confirma)"), runs, connection, engine, typeFueling,
                [&] { window.BitBtn1Click(); }, true);
            const long after = long(engine.run({{QStringLiteral("SELECT COUNT(*) FROM ZeltoMov"), {}}}));
            if (messages.count() != 1 ||
                messages.last().text != QStringLiteral("Dados Gravados Com Sucesso!"))
                throw std::runtime_error("storing failed: " + (messages.count()
                                                                   ? messages.last().text.toStdString()
                                                                   : std::string()));
            store.note += QStringLiteral("; %1 rows stored by the program, %2 by the floor's replay")
                              .arg(runs + 1)
                              .arg(after - before - (runs + 1));
            rows.push_back(store);
        }

        // One keystroke in the client search.
        {
            TfrmPesqEmpresas search(connection, station, services);
            search.show();
            auto* name = child<QLineEdit>(search, "fiNome");
            rows.push_back(measure(
                QStringLiteral("client search, one keystroke"), runs, connection, engine,
                [&] { name->clear(); }, [&] { QTest::keyClick(name, 'c'); }));
            search.hide();
        }

        // The large client's latest year, every status, then its export.
        {
            TfrmPesqEmpresas search(connection, station, services);
            TfrmRelarorios report(connection, station, services, search);
            report.setExportFolder(work.path());
            report.show();
            child<QLineEdit>(report, "ficd_empresa")->setText(QString::number(largeClient));
            report.ficd_empresaExit();
            const QDate today = QDate(2026, 12, 9);
            child<QDateEdit>(report, "fiDtaIni")->setDate(today.addYears(-1).addDays(1));
            child<QDateEdit>(report, "fiDtaFim")->setDate(today);
            child<QRadioButton>(report, "tipoTodos")->setChecked(true);
            auto* grid = child<QTableView>(report, "DBGrid1");
            const long rssBefore = statusKb("VmRSS:");
            Row run = measure(
                QStringLiteral("Executar, large client, latest year"), runs, connection, engine, [] {},
                [&] {
                    report.btExecutarClick();
                    grid->repaint();
                });
            const long peak = statusKb("VmHWM:");
            const int resultRows = report.reportQuery().rowCount();
            run.note += QStringLiteral("; %1 rows; process peak %2 MB (%3 MB before the first run)")
                            .arg(resultRows)
                            .arg(peak / 1024)
                            .arg(rssBefore / 1024);
            rows.push_back(run);

            // The floor writes the grid's columns, as the export does.
            QList<int> fieldOf;
            const auto* model = qobject_cast<const QueryTableModel*>(grid->model());
            if (!model)
                throw std::runtime_error("the report grid shows no query");
            for (int c = 0; c < model->columnCount(); ++c)
                fieldOf.append(report.reportQuery().fieldIndex(model->column(c).field));
            std::vector<double> ours, floor;
            for (int i = 0; i < std::max(3, runs / 3); ++i) {
                ours.push_back(elapsedMs([&] { report.btExportarClick(); }));
                floor.push_back(elapsedMs([&] {
                    writerAlone(report.reportQuery(), fieldOf, work.filePath(QStringLiteral("floor.xlsx")));
                }));
            }
            if (shell.opened.isEmpty())
                throw std::runtime_error("the export opened no workbook");
            rows.push_back({QStringLiteral("export to the workbook"), median(ours), median(floor),
                            QStringLiteral("%1 rows; floor: libxlsxwriter alone writing the same cells")
                                .arg(report.reportQuery().rowCount())});
        }
    } catch (const std::exception& error) {
        print(rows);
        std::fprintf(stderr, "benchmark stopped: %s\n", error.what());
        return 1;
    }
    print(rows);
    return 0;
}
