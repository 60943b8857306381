#pragma once

#include "ConnectionSettings.h"
#include "DatabaseError.h"
#include "EngineDialect.h"
#include "SqlServerLogin.h"

#include <QDateTime>
#include <QObject>
#include <QSqlDatabase>
#include <QStringList>
#include <QStringView>
#include <QVariant>
#include <QVariantList>

#include <functional>
#include <memory>
#include <vector>

class DatabaseSession;
class DatabaseThread;
class WaitPresenter;

// The data module: owns the one connection ADODravix, which lives on a thread of its own. Every call waits
// for that thread with the window's event loop turning (no user input), so the windows repaint and a long
// wait shows the wait sign with its "Cancelar".
class TdmConexao final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TdmConexao)

public:
    explicit TdmConexao(const ConnectionSettings& settings, QObject* parent = nullptr);
    ~TdmConexao() override;

    // Opens ADODravix if closed; throws DatabaseError with the provider's message.
    void open();
    bool isOpen() const { return opened; }
    void close();
    // Whatever differs between the engines, for this connection's engine.
    const EngineDialect& dialect() const { return *engineDialect; }
    const ConnectionSettings::Timeouts& timeouts() const { return settings.timeouts; }

    void beginTransaction();
    // A failed commit throws; the roll-back that follows ends whatever the engine still holds.
    void commit();
    // Undoes what the engine still holds of the transaction.
    void rollback();
    bool inTransaction() const { return transactionOpen; }

    // A statement in SQL Server's dialect as this connection's engine reads it.
    QString adaptStatement(const QString& statement) const;

    // Who shows the wait sign during a long call; none: the wait shows nothing.
    void setWaitPresenter(WaitPresenter* presenter) { waitPresenter = presenter; }

    // Runs `work` with the open session on the connection's thread, waiting as a statement does; for the
    // query object, and for tests and diagnostics that need the driver itself.
    void withDatabase(const std::function<void(QSqlDatabase&)>& work);

    // Sees every statement as sent, with its placeholder values, before it runs (measuring, diagnostics).
    using StatementObserver = std::function<void(const QString& statement, const QVariantList& values)>;
    void setStatementObserver(StatementObserver observer) { statementObserver = std::move(observer); }
    void statementSent(const QString& statement, const QVariantList& values) const {
        if (statementObserver)
            statementObserver(statement, values);
    }

private:
    friend class Query;
    // Runs `work` on the connection's thread and keeps what the window's thread may ask without waiting.
    void perform(DatabaseStep step, const std::function<void(DatabaseSession&)>& work);

    StatementObserver statementObserver;
    ConnectionSettings settings;
    std::unique_ptr<const EngineDialect> engineDialect;
    std::unique_ptr<DatabaseThread> thread;
    std::unique_ptr<DatabaseSession> session; // made, used and destroyed on the thread only
    WaitPresenter* waitPresenter = nullptr;
    bool opened = false;
    bool transactionOpen = false;
};

// The query object: statement lines, ":name" markers bound by name, every row read on open.
class Query final {
    Q_DISABLE_COPY_MOVE(Query)

public:
    explicit Query(TdmConexao& connection);
    ~Query();

    void close();
    bool isOpen() const { return opened; }

    // Statement text: lines joined with CR LF. Each change closes the query and rebuilds the parameters,
    // keeping the values of names still present.
    void clearSql();
    void addLine(const QString& line);
    QString sqlText() const;
    QStringList parameterNames() const;
    // The text as it reaches the connection: markers as "?", "::" as ":", adapted to the engine.
    QString sentText() const;
    // What differs by engine on this query's connection.
    const EngineDialect& dialect() const { return connection.dialect(); }

    // Binding by name, without regard to case; unknown names throw "Parameter '%s' not found".
    void bindText(const QString& name, const QString& value);
    void bindInteger(const QString& name, qint32 value);
    void bindByte(const QString& name, quint8 value);
    void bindDouble(const QString& name, double value);
    void bindDateTime(const QString& name, const QDateTime& value);
    void bindNull(const QString& name);
    QVariant boundValue(const QString& name) const;

    void open();    // rows expected; the current row is the first
    void execSQL(); // no rows

    // The result: a static cursor over rows read on open.
    bool isEmpty() const;
    bool eof() const;
    void first();
    void next();
    int rowCount() const;
    int currentRow() const { return row; }
    void setCurrentRow(int index);
    int fieldCount() const;
    QStringList fieldNames() const;
    int fieldIndex(const QString& name) const; // -1 when absent

    // Reading the current row by name, without regard to case; unknown names throw "Field '%s' not found".
    // NULL reads as empty text or 0; numbers as text have a decimal comma and no thousands separator.
    QString asString(const QString& field) const;
    qint32 asInteger(const QString& field) const;
    double asFloat(const QString& field) const;
    bool isNull(const QString& field) const;

    // Raw access for grids and export: a cell of any row, and its text as above.
    QVariant value(int rowIndex, int column) const;
    QString text(int rowIndex, int column) const;
    double number(int rowIndex, int column) const; // as asFloat reads it

    // A cell as the query holds it, without building a QVariant, for readers of many rows. The text stays
    // valid until the result closes; an Other cell is read with value().
    struct Cell {
        enum class Kind : quint8 { Null, Integer, Real, Text, DateTimeText, Other };
        Kind kind = Kind::Null;
        qint64 integer = 0;
        double real = 0;
        QStringView text; // Text; DateTimeText: the stored "yyyy-MM-dd HH:mm:ss.zzz"
    };
    Cell cell(int rowIndex, int column) const;

private:
    int requiredField(const QString& field) const;

    struct Impl;
    std::unique_ptr<Impl> d;
    TdmConexao& connection;
    bool opened = false;
    int row = 0;
};
