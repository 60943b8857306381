#include "TestDatabase.h"

#include "HostPath.h"

#include <QFile>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QTest>

#include <sqlite3.h>

#include <stdexcept>

namespace {

// Under Wine the SQLite3 ODBC driver is the host's own, reached through Wine's ODBC layer: it opens the
// file by its Unix name.
ConnectionSettings throughOdbc(const QString& path) {
    ConnectionSettings settings = ConnectionSettings::sqliteThroughOdbc(hostPath(path));
    settings.embeddedFile = path;
    return settings;
}

const QString schemaFile = QStringLiteral(KORVA_SCHEMA_DIR "/sqlite.sql");

QString sqliteMessage(sqlite3* handle, const QString& sql) {
    return QString::fromUtf8(sqlite3_errmsg(handle)) + QStringLiteral(" in: ") + sql.simplified();
}

void runScript(sqlite3* handle, const QString& sql) {
    char* error = nullptr;
    if (sqlite3_exec(handle, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString message = QString::fromUtf8(error ? error : sqlite3_errmsg(handle));
        sqlite3_free(error);
        throw std::runtime_error(
            (message + QStringLiteral(" in: ") + sql.simplified().left(300)).toStdString());
    }
}

struct Statement {
    sqlite3_stmt* statement = nullptr;
    Statement(sqlite3* handle, const QString& sql) {
        if (sqlite3_prepare_v2(handle, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqliteMessage(handle, sql).toStdString());
    }
    ~Statement() { sqlite3_finalize(statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
};

QVariant column(sqlite3_stmt* statement, int index) {
    switch (sqlite3_column_type(statement, index)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(statement, index)));
    case SQLITE_FLOAT:
        return sqlite3_column_double(statement, index);
    case SQLITE_TEXT:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, index)),
                                 sqlite3_column_bytes(statement, index));
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, index)),
                          sqlite3_column_bytes(statement, index));
    default:
        return {};
    }
}

QString probeDriver(const QString& driver) {
    if (driver == QLatin1String("QSQLITE"))
        return QSqlDatabase::isDriverAvailable(driver)
                   ? QString()
                   : QStringLiteral("Qt's SQLite driver (QSQLITE) is not installed");
    if (driver != QLatin1String("QODBC"))
        return QStringLiteral("%1 is not a driver of the database tests").arg(driver);
    if (!QSqlDatabase::isDriverAvailable(driver))
        return QStringLiteral("Qt's ODBC driver (QODBC) is not installed");
    // The ODBC path needs unixODBC to know the SQLite3 driver: try a real connection.
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("probe.db"));
    sqlite3* handle = nullptr;
    sqlite3_open(file.toUtf8().constData(), &handle);
    sqlite3_exec(handle, "CREATE TABLE probe (x INTEGER)", nullptr, nullptr, nullptr);
    sqlite3_close(handle);
    const QString name = QStringLiteral("korva-odbc-probe");
    QString reason;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, name);
        db.setDatabaseName(throughOdbc(file).databaseName);
        if (!db.open())
            reason = QStringLiteral("The SQLite3 ODBC driver (libsqliteodbc, registered as \"SQLite3\" in "
                                    "odbcinst.ini) cannot be used: ") +
                     db.lastError().text();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return reason;
}

} // namespace

TestDatabase::TestDatabase(const QString& driver) : driverName(driver) {
    const QString why = unavailableReason(driver);
    if (!why.isEmpty())
        throw DatabaseError(why);
    if (!folder.isValid())
        throw std::runtime_error("Cannot make a temporary folder for the test database");

    QFile schema(schemaFile);
    if (!schema.open(QIODevice::ReadOnly))
        throw std::runtime_error(QStringLiteral("Cannot read the schema %1").arg(schemaFile).toStdString());
    const QString ddl = QString::fromUtf8(schema.readAll());

    if (sqlite3_open_v2(path().toUtf8().constData(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK)
        throw std::runtime_error(sqliteMessage(handle, path()).toStdString());
    sqlite3_busy_timeout(handle, 5000);
    runScript(handle, ddl);

    const ConnectionSettings settings =
        driver == QLatin1String("QODBC") ? throughOdbc(path()) : ConnectionSettings::sqliteFile(path());
    conexao = std::make_unique<TdmConexao>(settings);
    conexao->open();
}

TestDatabase::~TestDatabase() {
    conexao.reset();
    sqlite3_close(handle);
}

QString TestDatabase::path() const {
    return folder.filePath(QStringLiteral("Dravix.db"));
}

void TestDatabase::exec(const QString& sql) {
    runScript(handle, sql);
}

QList<QVariantMap> TestDatabase::rows(const QString& sql) const {
    Statement query(handle, sql);
    QList<QVariantMap> result;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(query.statement)) == SQLITE_ROW) {
        QVariantMap row;
        const int columns = sqlite3_column_count(query.statement);
        for (int c = 0; c < columns; ++c) {
            const QString name = QString::fromUtf8(sqlite3_column_name(query.statement, c));
            if (!row.contains(name))
                row.insert(name, column(query.statement, c));
        }
        result.append(row);
    }
    if (step != SQLITE_DONE)
        throw std::runtime_error(sqliteMessage(handle, sql).toStdString());
    return result;
}

QVariant TestDatabase::scalar(const QString& sql) const {
    Statement query(handle, sql);
    const int step = sqlite3_step(query.statement);
    if (step == SQLITE_ROW)
        return column(query.statement, 0);
    if (step != SQLITE_DONE)
        throw std::runtime_error(sqliteMessage(handle, sql).toStdString());
    return {};
}

QStringList TestDatabase::queryPlan(const QStringList& statementLines) {
    // The text goes through the query object, so the plan is the one of the statement the program sends.
    Query query(connection());
    for (const QString& line : statementLines)
        query.addLine(line);
    Statement plan(handle, QStringLiteral("EXPLAIN QUERY PLAN ") + query.sentText());
    QStringList details;
    while (sqlite3_step(plan.statement) == SQLITE_ROW)
        details.append(
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(plan.statement, 3))));
    return details;
}

QStringList TestDatabase::drivers() {
    return {QStringLiteral("QSQLITE"), QStringLiteral("QODBC")};
}

QString TestDatabase::unavailableReason(const QString& driver) {
    static QHash<QString, QString> known;
    const auto found = known.constFind(driver);
    if (found != known.constEnd())
        return *found;
    const QString reason = probeDriver(driver);
    known.insert(driver, reason);
    return reason;
}

void TestDatabase::addDriverRows() {
    QTest::addColumn<QString>("driver");
    for (const QString& driver : drivers())
        QTest::newRow(qPrintable(driver)) << driver;
}

void TestDatabase::addDriverRows(const QStringList& cases, const std::function<void(QTestData&, int)>& fill) {
    for (const QString& driver : drivers()) {
        for (int i = 0; i < cases.size(); ++i) {
            QTestData& row = QTest::addRow("%s: %s", qPrintable(driver), qPrintable(cases.at(i)));
            row << driver;
            fill(row, i);
        }
    }
}
