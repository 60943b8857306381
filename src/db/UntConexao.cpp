#include "UntConexao.h"

#include "DatabaseSession.h"
#include "DatabaseThread.h"
#include "MarkerParser.h"
#include "ResultColumn.h"
#include "StoredValues.h"

#include <QHash>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <cmath>
#include <limits>
#include <optional>

namespace {

// Past the driver's own time-out, the wait cancels the statement itself.
constexpr int graceSeconds = 2;

} // namespace

TdmConexao::TdmConexao(const ConnectionSettings& connectionSettings, QObject* parent)
    : QObject(parent), settings(connectionSettings), engineDialect(EngineDialect::make(settings)),
      thread(std::make_unique<DatabaseThread>()) {
    setObjectName(QStringLiteral("dmConexao"));
    thread->run([this] { session = std::make_unique<DatabaseSession>(settings, *engineDialect, *thread); },
                {});
}

TdmConexao::~TdmConexao() {
    thread->run([this] { session.reset(); }, {});
}

void TdmConexao::perform(DatabaseStep step, const std::function<void(DatabaseSession&)>& work) {
    const int limit =
        step == DatabaseStep::Connect ? settings.timeouts.loginSeconds : settings.timeouts.statementSeconds;
    DatabaseThread::Wait wait;
    wait.cancelAfterMs = (limit + graceSeconds) * 1000;
    wait.timedOutMessage = [this, step] { return session->timedOutMessage(step); };
    wait.presenter = waitPresenter;
    bool nowOpen = opened;
    bool nowInTransaction = transactionOpen;
    // Copied back however the call ends: the window's thread reads them without waiting.
    const auto mirror = qScopeGuard([&] {
        opened = nowOpen;
        transactionOpen = nowInTransaction;
    });
    thread->run(
        [&] {
            const auto state = qScopeGuard([&] {
                nowOpen = session->isOpen();
                nowInTransaction = session->inTransaction();
            });
            work(*session);
        },
        wait);
}

void TdmConexao::open() {
    perform(DatabaseStep::Connect, [](DatabaseSession& s) { s.open(); });
}

void TdmConexao::close() {
    perform(DatabaseStep::Rollback, [](DatabaseSession& s) { s.close(); });
}

void TdmConexao::withDatabase(const std::function<void(QSqlDatabase&)>& work) {
    perform(DatabaseStep::Read, [&](DatabaseSession& s) {
        s.open();
        work(s.database());
    });
}

void TdmConexao::beginTransaction() {
    perform(DatabaseStep::Write, [](DatabaseSession& s) { s.beginTransaction(); });
}

void TdmConexao::commit() {
    perform(DatabaseStep::Commit, [](DatabaseSession& s) { s.commit(); });
}

void TdmConexao::rollback() {
    if (!transactionOpen)
        return;
    perform(DatabaseStep::Rollback, [](DatabaseSession& s) { s.rollback(); });
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

void Query::open() {
    close();
    const QString statement = connection.adaptStatement(d->sent);
    const QVariantList values = d->sentValues(connection.dialect());
    const auto read = [&](DatabaseSession& session) {
        QSqlQuery query(session.database());
        // A cancel may stop the reading of a long result too, until the statement's handle goes.
        const auto done = qScopeGuard([&] { session.statementDone(); });
        session.runStatement(query, statement, values, DatabaseStep::Read);
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
        while (query.next()) {
            for (int c = 0; c < columns; ++c)
                d->columns[std::size_t(c)].append(query.value(c));
            ++d->rows;
        }
        if (query.lastError().isValid())
            session.readingFailed(query.lastError());
        for (ResultColumn& column : d->columns)
            column.squeeze();
    };
    connection.statementSent(statement, values);
    const bool wasOpen = connection.isOpen();
    try {
        connection.perform(DatabaseStep::Read, read);
    } catch (const DatabaseError& failure) {
        d->clearResult();
        // Reading twice does no harm: once more, on a fresh session, when the link failed under the first
        // (not when the session could not even be opened).
        if (failure.kind() != DatabaseError::Kind::LinkLost || !wasOpen || connection.inTransaction())
            throw;
        try {
            connection.perform(DatabaseStep::Read, read);
        } catch (...) {
            d->clearResult();
            throw;
        }
    }
    opened = true;
    row = 0;
}

void Query::execSQL() {
    close();
    const QString statement = connection.adaptStatement(d->sent);
    const QVariantList values = d->sentValues(connection.dialect());
    connection.statementSent(statement, values);
    // A write is never sent twice: whether a failed one ran is for its caller to settle.
    connection.perform(DatabaseStep::Write, [&](DatabaseSession& session) {
        QSqlQuery query(session.database());
        const auto done = qScopeGuard([&] { session.statementDone(); });
        session.runStatement(query, statement, values, DatabaseStep::Write);
    });
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
