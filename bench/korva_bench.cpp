// Times the real windows and handlers on a large database, offscreen, against the floor set by the engine
// (the same statements through SQLite's C API, every column of every row read) and by the workbook writer.
//
// Usage: korva_bench DATABASE [RUNS]   (the database is copied first: storing fuelings changes it)
//        korva_bench --slow-answers [RUNS]   (only the slow answers on the TDS stand-in)

#include "BenchTools.h"
#include "ScriptedMessages.h"
#include "SlowAnswers.h"

#include "Doubles.h"
#include "app/Application.h"
#include "app/UntPrincipal.h"
#include "common/GuessLimiter.h"
#include "common/MaskedText.h"
#include "common/Services.h"
#include "common/Station.h"
#include "db/StoredValues.h"
#include "db/UntConexao.h"
#include "format/DisplayPatterns.h"
#include "fueling/UntLancamento.h"
#include "report/QueryTableModel.h"
#include "report/UntPesqEmpresas.h"
#include "report/UntRelarios.h"

#include <QApplication>
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
#include <string>
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

    // The first column of the first row, as text.
    QString text(const QString& sql) {
        sqlite3_stmt* stmt = nullptr;
        const QByteArray utf8 = sql.toUtf8();
        if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &stmt, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db));
        QString value;
        if (sqlite3_step(stmt) == SQLITE_ROW)
            value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
        return value;
    }

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

// Peak memory counted from here on.
void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// The export's cells as libxlsxwriter takes them, made before the floor's clock starts.
struct PreparedCell {
    enum class Kind { Empty, Number, DateTime, Text } kind = Kind::Empty;
    double number = 0;
    lxw_datetime moment{};
    std::string text;
};

struct PreparedSheet {
    std::vector<std::string> titles;
    std::vector<bool> decimal;
    std::vector<bool> summed;
    std::vector<std::vector<PreparedCell>> rows;
    std::vector<double> sums;
    std::vector<std::vector<PreparedCell>> summary;
};

PreparedCell prepared(const QVariant& value) {
    PreparedCell cell;
    if (!value.isValid() || value.isNull())
        return cell;
    if (value.typeId() == QMetaType::QDateTime) {
        const QDateTime t = value.toDateTime();
        cell.kind = PreparedCell::Kind::DateTime;
        cell.moment = {t.date().year(), t.date().month(),  t.date().day(),
                       t.time().hour(), t.time().minute(), t.time().second() + t.time().msec() / 1000.0};
    } else if (StoredValues::isNumber(value)) {
        cell.kind = PreparedCell::Kind::Number;
        cell.number = value.toDouble();
    } else {
        cell.kind = PreparedCell::Kind::Text;
        cell.text = value.toString().toStdString();
    }
    return cell;
}

PreparedSheet prepareSheet(const Query& q, const QueryTableModel& model) {
    PreparedSheet sheet;
    std::vector<int> fieldOf;
    for (int c = 0; c < model.columnCount(); ++c) {
        const GridColumn& column = model.column(c);
        sheet.titles.push_back(model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().toStdString());
        sheet.decimal.push_back(column.decimal);
        sheet.summed.push_back(column.field == QLatin1String("Qtde") ||
                               column.field == QLatin1String("VrTotal"));
        fieldOf.push_back(q.fieldIndex(column.field));
    }
    sheet.sums.assign(fieldOf.size(), 0);
    const int faturado = q.fieldIndex(QStringLiteral("Faturado"));
    const int chave = q.fieldIndex(QStringLiteral("ChaveAcesso"));
    for (int r = 0; r < q.rowCount(); ++r) {
        std::vector<PreparedCell> cells;
        for (std::size_t c = 0; c < fieldOf.size(); ++c) {
            PreparedCell cell;
            if (c < 2) {
                const bool marked =
                    c == 0 ? q.text(r, faturado) == QLatin1String("S") : !q.text(r, chave).isEmpty();
                if (marked) {
                    cell.kind = PreparedCell::Kind::Text;
                    cell.text = "S";
                }
            } else if (fieldOf[c] >= 0) {
                cell = prepared(q.value(r, fieldOf[c]));
                if (sheet.summed[c])
                    sheet.sums[c] += q.number(r, fieldOf[c]);
            }
            cells.push_back(std::move(cell));
        }
        sheet.rows.push_back(std::move(cells));
    }
    return sheet;
}

void writePrepared(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column, const PreparedCell& cell,
                   lxw_format* numberFormat, lxw_format* dateFormat) {
    switch (cell.kind) {
    case PreparedCell::Kind::Empty:
        break;
    case PreparedCell::Kind::Number:
        worksheet_write_number(sheet, row, column, cell.number, numberFormat);
        break;
    case PreparedCell::Kind::DateTime: {
        lxw_datetime moment = cell.moment;
        worksheet_write_datetime(sheet, row, column, &moment, dateFormat);
        break;
    }
    case PreparedCell::Kind::Text:
        worksheet_write_string(sheet, row, column, cell.text.c_str(), nullptr);
        break;
    }
}

// libxlsxwriter alone writing the export's workbook: the writer's own floor.
double writerAlone(const PreparedSheet& prepared, const QString& path) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    const QByteArray file = path.toUtf8();
    lxw_workbook* workbook = workbook_new_opt(file.constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Abastecimentos");
    lxw_format* bold = workbook_add_format(workbook);
    format_set_bold(bold);
    lxw_format* dateFormat = workbook_add_format(workbook);
    format_set_num_format(dateFormat, DisplayPatterns::sheetDateTime);
    lxw_format* numberFormat = workbook_add_format(workbook);
    format_set_num_format(numberFormat, DisplayPatterns::sheetDecimal);
    lxw_format* boldNumber = workbook_add_format(workbook);
    format_set_num_format(boldNumber, DisplayPatterns::sheetDecimal);
    format_set_bold(boldNumber);
    const lxw_col_t columns = lxw_col_t(prepared.titles.size());
    for (lxw_col_t c = 0; c < columns; ++c)
        worksheet_write_string(sheet, 0, c, prepared.titles[c].c_str(), bold);
    worksheet_freeze_panes(sheet, 1, 0);
    worksheet_autofilter(sheet, 0, 0, lxw_row_t(prepared.rows.size()), columns - 1);
    for (std::size_t r = 0; r < prepared.rows.size(); ++r)
        for (lxw_col_t c = 0; c < columns; ++c)
            writePrepared(sheet, lxw_row_t(r + 1), c, prepared.rows[r][c],
                          prepared.decimal[c] ? numberFormat : nullptr, dateFormat);
    const lxw_row_t totals = lxw_row_t(prepared.rows.size() + 1);
    for (lxw_col_t c = 0; c < columns; ++c) {
        if (!prepared.summed[c])
            continue;
        char from[LXW_MAX_CELL_NAME_LENGTH], to[LXW_MAX_CELL_NAME_LENGTH];
        lxw_rowcol_to_cell(from, 1, c);
        lxw_rowcol_to_cell(to, totals - 1, c);
        const std::string formula = std::string("=SUM(") + from + ":" + to + ")";
        worksheet_write_formula_num(sheet, totals, c, formula.c_str(), boldNumber, prepared.sums[c]);
    }
    for (lxw_col_t c = 0; c < columns; ++c)
        worksheet_set_column(sheet, c, c, 12, nullptr);
    lxw_worksheet* resumo = workbook_add_worksheet(workbook, "Resumo");
    worksheet_write_string(resumo, 0, 0, "Cliente", bold);
    worksheet_write_number(resumo, 6, 1, 0, boldNumber);
    return workbook_close(workbook) == LXW_NO_ERROR ? 0 : -1;
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: korva_bench DATABASE [RUNS]\n       korva_bench --slow-answers [RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(3, std::atoi(argv[2])) : 9;
    ScriptedMessages messages;
    FixedClock clock(QDateTime::currentDateTime());
    RecordingShell shell;
    const Services services{messages, clock, shell};
    const auto slowAnswers = [&] {
        try {
            printSlowAnswers(std::max(3, runs / 3), messages, services);
            return 0;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "\nslow answers stopped: %s\n", error.what());
            return 1;
        }
    };
    if (qstrcmp(argv[1], "--slow-answers") == 0)
        return slowAnswers();
    QTemporaryDir work;
    const QString database = work.filePath(QStringLiteral("Dravix.db"));
    if (!QFile::copy(QString::fromLocal8Bit(argv[1]), database)) {
        std::fprintf(stderr, "cannot copy %s\n", argv[1]);
        return 2;
    }
    std::printf("database %s copied to %s; %d runs each\n", argv[1], qPrintable(database), runs);

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
            Attendant attendant(window, messages, benchPlate, QString::number(largeClient * 1000 + 1));
            rows.push_back(measure(
                QStringLiteral("plate lookup, fuel list and agreed price"), runs, connection, engine,
                [&] { attendant.showFresh(); }, [&] { attendant.lookUp(); }));
            rows.push_back(measure(
                QStringLiteral("previous odometer (entering fiKM)"), runs, connection, engine, [] {},
                [&] { window.fiKMEnter(); }));
            child<QLineEdit>(window, "fiMatricula")->setText(QString::number(largeClient * 1000 + 1));
            rows.push_back(measure(
                QStringLiteral("driver check (leaving fiMatricula)"), runs, connection, engine, [] {},
                [&] { window.fiMatriculaExit(); }));

            const long before = long(engine.run({{QStringLiteral("SELECT COUNT(*) FROM ZeltoMov"), {}}}));
            Row store = measure(
                QStringLiteral("storing a fueling (Confirma)"), runs, connection, engine,
                [&] { attendant.typeFueling(); }, [&] { window.BitBtn1Click(); }, true);
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

        // The large client: "Executar" over periods of growing size up to its latest year, then the export.
        {
            TfrmPesqEmpresas search(connection, station, services);
            TfrmRelarorios report(connection, station, services, search);
            report.setExportFolder(work.path());
            report.show();
            child<QLineEdit>(report, "ficd_empresa")->setText(QString::number(largeClient));
            report.ficd_empresaExit();
            const QDate lastDay = QDate(2026, 12, 9);
            child<QDateEdit>(report, "fiDtaFim")->setDate(lastDay);
            child<QRadioButton>(report, "tipoTodos")->setChecked(true);
            auto* grid = child<QTableView>(report, "DBGrid1");
            auto* firstDay = child<QDateEdit>(report, "fiDtaIni");
            const auto executar = [&] {
                report.btExecutarClick();
                grid->repaint();
            };

            // The first day that gives about `rows` fuelings up to the last day.
            const auto dayFor = [&](int rows) {
                if (rows <= 0)
                    return lastDay.addYears(-1).addDays(1);
                const QString stamp = engine.text(
                    QStringLiteral("SELECT DtEmissao FROM ZeltoMov WHERE ID_EMPRESA = %1 AND Empresa = 4 AND "
                                   "DtEmissao <= "
                                   "'2026-12-09 23:59:59' ORDER BY DtEmissao DESC LIMIT 1 OFFSET %2")
                        .arg(largeClient)
                        .arg(rows - 1));
                return QDate::fromString(stamp.left(10), QStringLiteral("yyyy-MM-dd"));
            };
            const long rssBefore = statusKb("VmRSS:");
            resetPeak();
            for (const int target : {10000, 30000, 60000, 0}) {
                firstDay->setDate(dayFor(target));
                double longest = 0;
                Row run = measure(
                    QStringLiteral("Executar, %1 to %2")
                        .arg(firstDay->date().toString(QStringLiteral("dd/MM/yyyy")),
                             lastDay.toString(QStringLiteral("dd/MM/yyyy"))),
                    runs, connection, engine, [] {},
                    [&] { longest = std::max(longest, longestStretch(executar)); });
                run.note += QStringLiteral("; %1 rows; longest stretch without an event-loop turn %2 ms")
                                .arg(report.reportQuery().rowCount())
                                .arg(longest, 0, 'f', 1);
                rows.push_back(run);
            }
            const long peak = statusKb("VmHWM:");
            rows.back().note += QStringLiteral("; process peak %1 MB (%2 MB before the first run)")
                                    .arg(peak / 1024)
                                    .arg(rssBefore / 1024);

            // The floor writes the same cells with the same formats, from values made ready beforehand.
            const auto* model = qobject_cast<const QueryTableModel*>(grid->model());
            if (!model)
                throw std::runtime_error("the report grid shows no query");
            const PreparedSheet prepared = prepareSheet(report.reportQuery(), *model);
            std::vector<double> ours, floor;
            double longest = 0;
            for (int i = 0; i < std::max(3, runs / 3); ++i) {
                ours.push_back(elapsedMs(
                    [&] { longest = std::max(longest, longestStretch([&] { report.btExportarClick(); })); }));
                floor.push_back(
                    elapsedMs([&] { writerAlone(prepared, work.filePath(QStringLiteral("floor.xlsx"))); }));
            }
            if (shell.opened.isEmpty())
                throw std::runtime_error("the export opened no workbook");
            rows.push_back(
                {QStringLiteral("export to the workbook"), median(ours), median(floor),
                 QStringLiteral("%1 rows; floor: libxlsxwriter alone, same cells and formats; longest "
                                "stretch without an event-loop turn %2 ms")
                     .arg(report.reportQuery().rowCount())
                     .arg(longest, 0, 'f', 1)});
        }
    } catch (const std::exception& error) {
        print(rows);
        std::fprintf(stderr, "benchmark stopped: %s\n", error.what());
        return 1;
    }
    print(rows);
    return slowAnswers();
}
