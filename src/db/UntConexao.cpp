#include "UntConexao.h"

#include "MarkerParser.h"
#include "ReadingPacer.h"
#include "ResultColumn.h"
#include "StoredValues.h"

#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <atomic>
#include <cmath>
#include <limits>
#include <optional>

namespace {

std::atomic<int> connectionCounter{0};

} // namespace

TdmConexao::TdmConexao(const ConnectionSettings& connectionSettings, QObject* parent)
    : QObject(parent), settings(connectionSettings), engineDialect(EngineDialect::make(settings)),
      connectionName(QStringLiteral("ADODravix-%1").arg(++connectionCounter)) {
    setObjectName(QStringLiteral("dmConexao"));
    if (!settings.unusable.isEmpty())
        return;
    db = QSqlDatabase::addDatabase(settings.driver, connectionName);
    db.setDatabaseName(settings.databaseName);
    db.setConnectOptions(settings.connectOptions());
}

TdmConexao::~TdmConexao() {
    if (db.isOpen()) {
        if (transactionOpen)
            db.rollback();
        db.close();
    }
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName);
}

void TdmConexao::open() {
    if (db.isOpen())
        return;
    if (!settings.unusable.isEmpty())
        throw DatabaseError(settings.unusable);
    if (!db.isValid())
        throw DatabaseError(QStringLiteral("The database driver %1 is not available: %2")
                                .arg(settings.driver, DatabaseError::providerMessage(
                                                          db.lastError(), QStringLiteral("not loaded"))));
    // Opening a missing file would quietly make an empty database and every lookup would then find nothing.
    if (!settings.embeddedFile.isEmpty() && !QFileInfo(settings.embeddedFile).isFile())
        throw DatabaseError(QStringLiteral("Unable to open the database: the file %1 does not exist")
                                .arg(settings.embeddedFile));
    if (!db.open())
        throw DatabaseError(
            DatabaseError::providerMessage(db.lastError(), QStringLiteral("Unable to open the database")));
    transactionOpen = false;
    try {
        engineDialect->prepareSession(db);
    } catch (...) {
        db.close();
        throw;
    }
}

bool TdmConexao::isOpen() const {
    return db.isOpen();
}

void TdmConexao::close() {
    if (!db.isOpen())
        return;
    if (transactionOpen)
        db.rollback();
    transactionOpen = false;
    db.close();
}

void TdmConexao::beginTransaction() {
    open();
    if (!db.transaction())
        throw DatabaseError(
            DatabaseError::providerMessage(db.lastError(), QStringLiteral("Unable to begin a transaction")));
    transactionOpen = true;
}

void TdmConexao::commit() {
    if (db.commit()) {
        transactionOpen = false;
        return;
    }
    const QString message =
        DatabaseError::providerMessage(db.lastError(), QStringLiteral("Unable to commit the transaction"));
    // Some failures (a full disk, an I/O error) make the engine roll the whole transaction back by itself;
    // others (a lock, a deferred constraint) leave it open for the caller to roll back.
    transactionOpen = !endIfEngineRolledBack();
    throw DatabaseError(message);
}

void TdmConexao::rollback() {
    // An error handler rolls back whether or not its transaction had begun; with none open there is nothing
    // to do.
    if (!transactionOpen || !db.isOpen()) {
        transactionOpen = false;
        return;
    }
    transactionOpen = false;
    // A failed statement may have made the engine roll everything back already; a roll-back asked for then
    // would only fail with a second, misleading message.
    if (endIfEngineRolledBack())
        return;
    if (!db.rollback())
        throw DatabaseError(DatabaseError::providerMessage(
            db.lastError(), QStringLiteral("Unable to roll back the transaction")));
}

bool TdmConexao::endIfEngineRolledBack() {
    if (engineDialect->holdsTransaction(db))
        return false;
    // The driver still counts its transaction as open; ending it restores the driver's automatic commits.
    db.rollback();
    return true;
}

QString TdmConexao::adaptStatement(const QString& statement) const {
    return engineDialect->adaptStatement(statement);
}

struct Query::Impl {
    struct Parameter {
        QString name;
        QVariant value;
    };

    QStringList lines;
    QString text;
    QString sent;
    std::vector<Parameter> parameters;
    std::vector<int> markers; // for each "?" sent, the index of its parameter

    QStringList fields;
    QHash<QString, int> exactLookup; // name as the result spells it -> first column of that name
    std::vector<ResultColumn> columns;
    int rows = 0;

    // The values for the "?" placeholders, in the order they are sent, as the engine reads them.
    QVariantList sentValues(const EngineDialect& dialect) const {
        QVariantList values;
        values.reserve(qsizetype(markers.size()));
        for (const int index : markers)
            values.append(dialect.wireValue(parameters[std::size_t(index)].value));
        return values;
    }

    int parameterIndex(const QString& name) const {
        for (std::size_t i = 0; i < parameters.size(); ++i)
            if (parameters[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return int(i);
        return -1;
    }

    Parameter& parameter(const QString& name) {
        const int index = parameterIndex(name);
        if (index < 0)
            throw DatabaseError(QStringLiteral("Parameter '%1' not found").arg(name));
        return parameters[std::size_t(index)];
    }

    // Rebuilds the text, the markers and the parameters; values stay with the names still present.
    void rebuild() {
        text.clear();
        for (const QString& line : std::as_const(lines))
            text += line + QStringLiteral("\r\n");

        ParsedStatement parsed = parseMarkers(text);
        std::vector<Parameter> previous;
        previous.swap(parameters);
        for (const QString& name : std::as_const(parsed.names)) {
            Parameter added{name, {}};
            for (const Parameter& old : previous)
                if (old.name.compare(name, Qt::CaseInsensitive) == 0)
                    added.value = old.value;
            parameters.push_back(std::move(added));
        }
        markers = std::move(parsed.markers);
        sent = std::move(parsed.sent);
    }

    void clearResult() {
        fields.clear();
        exactLookup.clear();
        columns.clear();
        columns.shrink_to_fit();
        rows = 0;
    }
};

Query::Query(TdmConexao& conexao) : d(std::make_unique<Impl>()), connection(conexao) {}

Query::~Query() = default;

void Query::close() {
    opened = false;
    row = 0;
    d->clearResult();
}

void Query::clearSql() {
    close();
    d->lines.clear();
    d->rebuild();
}

void Query::addLine(const QString& line) {
    close();
    d->lines.append(line);
    d->rebuild();
}

QString Query::sqlText() const {
    return d->text;
}

QStringList Query::parameterNames() const {
    QStringList names;
    for (const Impl::Parameter& parameter : d->parameters)
        names.append(parameter.name);
    return names;
}

QString Query::sentText() const {
    return connection.adaptStatement(d->sent);
}

void Query::bindText(const QString& name, const QString& value) {
    // A null QString would reach the database as NULL; an empty text is a value.
    d->parameter(name).value = value.isNull() ? QString(QLatin1String("")) : value;
}

void Query::bindInteger(const QString& name, qint32 value) {
    d->parameter(name).value = value;
}

void Query::bindByte(const QString& name, quint8 value) {
    d->parameter(name).value = QVariant::fromValue(value);
}

void Query::bindDouble(const QString& name, double value) {
    d->parameter(name).value = value;
}

void Query::bindDateTime(const QString& name, const QDateTime& value) {
    d->parameter(name).value = value;
}

void Query::bindNull(const QString& name) {
    d->parameter(name).value = QVariant(QMetaType::fromType<QString>());
}

QVariant Query::boundValue(const QString& name) const {
    const int index = d->parameterIndex(name);
    if (index < 0)
        throw DatabaseError(QStringLiteral("Parameter '%1' not found").arg(name));
    return d->parameters[std::size_t(index)].value;
}

namespace {

void runStatement(TdmConexao& connection, QSqlQuery& query, const QString& sent, const QVariantList& values) {
    if (!connection.isOpen())
        connection.open();
    query.setForwardOnly(true);
    // SQL Server's decimals arrive as text unless asked for as double.
    query.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    const QString statement = connection.adaptStatement(sent);
    connection.statementSent(statement, values);
    if (values.isEmpty()) {
        if (!query.exec(statement))
            throw DatabaseError(
                DatabaseError::providerMessage(query.lastError(), QStringLiteral("The statement failed")));
        return;
    }
    if (hasQtNamedPlaceholder(statement))
        throw DatabaseError(
            QStringLiteral("A plain colon before a name cannot be sent together with parameters; "
                           "write it outside the parameters' statement"));
    if (!query.prepare(statement))
        throw DatabaseError(
            DatabaseError::providerMessage(query.lastError(), QStringLiteral("The statement was refused")));
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throw DatabaseError(
            DatabaseError::providerMessage(query.lastError(), QStringLiteral("The statement failed")));
}

} // namespace

void Query::open() {
    close();
    if (!connection.isOpen())
        connection.open();
    QSqlQuery query(connection.ADODravix());
    ReadingPacer pacer(connection.ADODravix(), keepResponsive, responsiveIntervalMs);
    try {
        runStatement(connection, query, d->sent, d->sentValues(connection.dialect()));
    } catch (...) {
        pacer.rethrowFailure();
        throw;
    }

    const QSqlRecord record = query.record();
    const int columns = record.count();
    for (int c = 0; c < columns; ++c) {
        d->fields.append(record.fieldName(c));
        // A name that occurs twice (SELECT * over a join) means its first column.
        if (!d->exactLookup.contains(d->fields.at(c)))
            d->exactLookup.insert(d->fields.at(c), c);
    }
    d->columns.reserve(std::size_t(columns));
    for (int c = 0; c < columns; ++c)
        d->columns.emplace_back(connection.dialect().textReading(record.field(c)));
    // Each value is handed over once, from the driver's current row into its column.
    try {
        while (query.next()) {
            for (int c = 0; c < columns; ++c)
                d->columns[std::size_t(c)].append(query.value(c));
            ++d->rows;
            if ((d->rows & 255) == 0)
                pacer.maybeTurn();
        }
        pacer.rethrowFailure();
    } catch (...) {
        d->clearResult();
        throw;
    }
    if (query.lastError().isValid()) {
        d->clearResult();
        throw DatabaseError(
            DatabaseError::providerMessage(query.lastError(), QStringLiteral("Reading the rows failed")));
    }
    for (ResultColumn& column : d->columns)
        column.squeeze();
    opened = true;
    row = 0;
}

void Query::execSQL() {
    close();
    QSqlQuery query(connection.ADODravix());
    runStatement(connection, query, d->sent, d->sentValues(connection.dialect()));
}

bool Query::isEmpty() const {
    return !opened || d->rows == 0;
}

bool Query::eof() const {
    return !opened || row >= d->rows;
}

void Query::first() {
    row = 0;
}

void Query::next() {
    if (row < d->rows)
        ++row;
}

int Query::rowCount() const {
    return opened ? d->rows : 0;
}

void Query::setCurrentRow(int index) {
    row = qBound(0, index, rowCount());
}

int Query::fieldCount() const {
    return int(d->fields.size());
}

QStringList Query::fieldNames() const {
    return d->fields;
}

int Query::fieldIndex(const QString& name) const {
    const auto exact = d->exactLookup.constFind(name);
    if (exact != d->exactLookup.constEnd())
        return exact.value();
    for (int c = 0; c < int(d->fields.size()); ++c)
        if (d->fields.at(c).compare(name, Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

int Query::requiredField(const QString& field) const {
    const int column = fieldIndex(field);
    if (column < 0)
        throw DatabaseError(QStringLiteral("Field '%1' not found").arg(field));
    return column;
}

QString Query::asString(const QString& field) const {
    return text(row, requiredField(field));
}

qint32 Query::asInteger(const QString& field) const {
    const int column = requiredField(field);
    const Cell held = cell(row, column);
    switch (held.kind) {
    case Cell::Kind::Null:
        return 0;
    case Cell::Kind::Integer:
        if (held.integer >= std::numeric_limits<qint32>::min() &&
            held.integer <= std::numeric_limits<qint32>::max())
            return qint32(held.integer);
        break;
    case Cell::Kind::Real: {
        const double number = std::round(held.real);
        if (number >= std::numeric_limits<qint32>::min() && number <= std::numeric_limits<qint32>::max())
            return qint32(number);
        break;
    }
    default: {
        const QVariant value = this->value(row, column);
        if (value.typeId() == QMetaType::Bool)
            return value.toBool() ? 1 : 0;
        bool ok = false;
        const qint32 number = StoredValues::textOf(value).trimmed().toInt(&ok);
        if (ok)
            return number;
        break;
    }
    }
    throw DatabaseError(QStringLiteral("'%1' is not a valid integer value").arg(text(row, column)));
}

double Query::asFloat(const QString& field) const {
    return number(row, requiredField(field));
}

double Query::number(int rowIndex, int column) const {
    const Cell held = cell(rowIndex, column);
    switch (held.kind) {
    case Cell::Kind::Null:
        return 0.0;
    case Cell::Kind::Integer:
        return double(held.integer);
    case Cell::Kind::Real:
        return held.real;
    default:
        break;
    }
    const QVariant value = this->value(rowIndex, column);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? 1.0 : 0.0;
    const QString shown = StoredValues::textOf(value).trimmed();
    const std::optional<double> number = StoredValues::numberOfText(shown);
    if (!number)
        throw DatabaseError(QStringLiteral("'%1' is not a valid floating point value").arg(shown));
    return *number;
}

bool Query::isNull(const QString& field) const {
    return cell(row, requiredField(field)).kind == Cell::Kind::Null;
}

Query::Cell Query::cell(int rowIndex, int column) const {
    // Past the last row, and in an empty or closed result, every field reads as NULL.
    if (!opened || rowIndex < 0 || rowIndex >= d->rows || column < 0 || column >= fieldCount())
        return {};
    return d->columns[std::size_t(column)].cell(rowIndex);
}

QVariant Query::value(int rowIndex, int column) const {
    if (!opened || rowIndex < 0 || rowIndex >= d->rows || column < 0 || column >= fieldCount())
        return {};
    return d->columns[std::size_t(column)].value(rowIndex);
}

QString Query::text(int rowIndex, int column) const {
    const Cell held = cell(rowIndex, column);
    switch (held.kind) {
    case Cell::Kind::Null:
        return {};
    case Cell::Kind::Text:
        return held.text.toString();
    case Cell::Kind::DateTimeText:
        return StoredValues::displayedDateTime(held.text);
    default:
        return StoredValues::textOf(value(rowIndex, column));
    }
}
