#pragma once

#include "db/UntConexao.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>

class QTestData;
struct sqlite3;

// A fresh embedded database made from the schema in its own temporary file, with the program's connection
// opened on it through the chosen Qt driver: "QSQLITE", or "QODBC" (the SQLite ODBC driver through unixODBC).
// Setup and checks (exec, rows, scalar) go straight to the file, beside the connection under test.
class TestDatabase final {
    Q_DISABLE_COPY_MOVE(TestDatabase)

public:
    // Throws DatabaseError when the driver is unavailable (see unavailableReason) or the schema fails.
    explicit TestDatabase(const QString& driver = QStringLiteral("QSQLITE"));
    ~TestDatabase();

    TdmConexao& connection() { return *conexao; }
    QString driver() const { return driverName; }
    QString path() const;

    // Runs setup SQL, several statements allowed; throws std::runtime_error with SQLite's message.
    void exec(const QString& sql);
    // Every row of a statement, column name to value (integer, double, text, or an invalid QVariant for
    // NULL).
    QList<QVariantMap> rows(const QString& sql) const;
    // The first column of the first row; an invalid QVariant when there is none or it is NULL.
    QVariant scalar(const QString& sql) const;
    // SQLite's query plan for a statement written as the program writes it (":name" markers, TOP), one
    // detail line per step, e.g. "SEARCH ZeltoMov USING INDEX ixZeltoMovEmpresaEmissao (ID_EMPRESA=?)".
    QStringList queryPlan(const QStringList& statementLines);

    // The Qt drivers the database tests run over.
    static QStringList drivers();
    // Empty when the driver can be used here; otherwise why not, for a QSKIP.
    static QString unavailableReason(const QString& driver);
    // The one way the database tests run per connection: the column `QString driver` and a data row per
    // driver (named by it), or per driver and case ("<driver>: <case>", `fill` adding the case's values to
    // the row of case i). Every driver gets its rows, installed or not: a test that takes them starts with
    // KORVA_SKIP_UNAVAILABLE_DRIVER(driver), so a missing one shows as skipped, with the reason.
    static void addDriverRows();
    static void addDriverRows(const QStringList& cases, const std::function<void(QTestData&, int)>& fill);

private:
    QString driverName;
    QTemporaryDir folder;
    sqlite3* handle = nullptr;
    std::unique_ptr<TdmConexao> conexao;
};

#define KORVA_SKIP_UNAVAILABLE_DRIVER(driver)                                                                \
    do {                                                                                                     \
        const QString korvaWhyUnavailable = TestDatabase::unavailableReason(driver);                         \
        if (!korvaWhyUnavailable.isEmpty())                                                                  \
            QSKIP(qPrintable(korvaWhyUnavailable));                                                          \
    } while (false)
