#include "UntConexao.h"

#include "format/UntProcedimentos.h"

#if defined(Q_OS_LINUX)
#include <dlfcn.h>
#endif

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>

namespace {

const QString canonicalDateTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");
const QString displayDateTimeFormat = QStringLiteral("dd/MM/yyyy HH:mm:ss");

// The provider's own words come first; Qt's summary of what it was doing follows when it adds something.
QString providerMessage(const QSqlError& error, const QString& fallback) {
    const QString database = error.databaseText().trimmed();
    const QString driver = error.driverText().trimmed();
    QString message;
    if (!database.isEmpty() && !driver.isEmpty() && !database.contains(driver, Qt::CaseInsensitive))
        message = database + QStringLiteral(" (") + driver + QLatin1Char(')');
    else if (!database.isEmpty())
        message = database;
    else
        message = driver;
    return message.isEmpty() ? fallback : message;
}

// A value inside an ODBC connection string, braced when it holds a character the syntax reserves.
QString odbcValue(const QString& value) {
    if (value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('{')) ||
        value.contains(QLatin1Char('}')) || value != value.trimmed()) {
        QString escaped = value;
        escaped.replace(QStringLiteral("}"), QStringLiteral("}}"));
        return QLatin1Char('{') + escaped + QLatin1Char('}');
    }
    return value;
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

int digitsAt(const QString& text, int from, int count) {
    int value = 0;
    for (int i = from; i < from + count; ++i)
        value = value * 10 + (text.at(i).unicode() - '0');
    return value;
}

// The embedded engine keeps date-times as the canonical text; a positional check is cheap for every cell.
bool hasCanonicalDateTimeShape(const QString& text) {
    if (text.size() != 23)
        return false;
    static constexpr char shape[] = "dddd-dd-dd dd:dd:dd.ddd";
    for (int i = 0; i < 23; ++i) {
        const QChar c = text.at(i);
        if (shape[i] == 'd' ? !isDigit(c) : c != QLatin1Char(shape[i]))
            return false;
    }
    return true;
}

QVariant canonicalDateTime(const QString& text) {
    const QDate date(digitsAt(text, 0, 4), digitsAt(text, 5, 2), digitsAt(text, 8, 2));
    const QTime time(digitsAt(text, 11, 2), digitsAt(text, 14, 2), digitsAt(text, 17, 2),
                     digitsAt(text, 20, 3));
    if (!date.isValid() || !time.isValid())
        return text;
    return QDateTime(date, time);
}

bool isIntegerType(int typeId) {
    switch (typeId) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

// SQLite's own text of a number: an integer, or a real as "%.15g" writes it ("12.5", "40.0", "1e+20").
QVariant sqliteNumber(const QString& text) {
    const int n = int(text.size());
    int i = (n > 0 && text.at(0) == QLatin1Char('-')) ? 1 : 0;
    const int digitsFrom = i;
    while (i < n && isDigit(text.at(i)))
        ++i;
    if (i == digitsFrom)
        return text;
    bool integral = true;
    if (i < n && text.at(i) == QLatin1Char('.')) {
        integral = false;
        const int fractionFrom = ++i;
        while (i < n && isDigit(text.at(i)))
            ++i;
        if (i == fractionFrom)
            return text;
    }
    if (i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        integral = false;
        ++i;
        if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
            ++i;
        const int exponentFrom = i;
        while (i < n && isDigit(text.at(i)))
            ++i;
        if (i == exponentFrom)
            return text;
    }
    if (i != n)
        return text;
    bool ok = false;
    if (integral) {
        const qlonglong whole = text.toLongLong(&ok);
        if (ok)
            return whole;
    }
    const double real = text.toDouble(&ok);
    return ok ? QVariant(real) : QVariant(text);
}

// The SQLite ODBC driver types a computed column by its first row, and a first NULL makes it text for every
// row: numbers in such a column come back as SQLite's text of them.
bool isUntypedOdbcColumn(const QSqlField& field) {
    constexpr int sqlVarchar = 12;
    constexpr int sqlWideVarchar = -9;
    return (field.typeID() == sqlVarchar || field.typeID() == sqlWideVarchar) && field.tableName().isEmpty();
}

// Values cross the connection in one form: date-times as canonical text, small integers as int, NULL typed.
QVariant wireValue(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return QVariant(QMetaType::fromType<QString>());
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return value.toDateTime().toString(canonicalDateTimeFormat);
    case QMetaType::UChar:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Short:
    case QMetaType::UShort:
        return value.toInt();
    default:
        return value;
    }
}

QString cellText(const QVariant& value) {
    if (!value.isValid())
        return {};
    switch (value.typeId()) {
    case QMetaType::Double:
        return generalText(value.toDouble());
    case QMetaType::QDateTime:
        return value.toDateTime().toString(displayDateTimeFormat);
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("HH:mm:ss"));
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::QByteArray:
        return QString::fromUtf8(value.toByteArray());
    default:
        return value.toString();
    }
}

// Qt's own placeholder scan runs over every prepared text; a plain colon it would take for a name must not
// reach it together with our positional markers.
bool qtWouldTakeForPlaceholder(const QString& text) {
    const auto isNameChar = [](QChar c) {
        const ushort u = c.unicode();
        return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_';
    };
    QChar closing;
    const int n = int(text.size());
    for (int i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (!closing.isNull()) {
            if (c == closing)
                closing = QChar();
            continue;
        }
        if (c == QLatin1Char(':') && (i == 0 || text.at(i - 1) != QLatin1Char(':')) && i + 1 < n &&
            isNameChar(text.at(i + 1)))
            return true;
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`'))
            closing = c;
        else if (c == QLatin1Char('['))
            closing = QLatin1Char(']');
    }
    return false;
}

std::atomic<int> connectionCounter{0};

} // namespace

// ---------------------------------------------------------------------------------------------------------
// ConnectionSettings

ConnectionSettings ConnectionSettings::sqlServer(const SqlServerLogin& login) {
    ConnectionSettings settings;
    settings.engine = Engine::SqlServer;
    settings.driver = QStringLiteral("QODBC");
    QString driverName = login.driver;
    driverName.replace(QStringLiteral("}"), QStringLiteral("}}"));
    if (login.driver.contains(QLatin1String("FreeTDS"), Qt::CaseInsensitive))
        settings.databaseName =
            QStringLiteral("DRIVER={%1};Server=%2;Port=%3;Database=%4;UID=%5;PWD=%6;"
                           "TDS_Version=7.4;ClientCharset=UTF-8")
                .arg(driverName, odbcValue(login.host), QString::number(login.port), odbcValue(login.catalog),
                     odbcValue(login.user), odbcValue(login.password));
    else
        settings.databaseName =
            QStringLiteral("DRIVER={%1};SERVER=%2;DATABASE=%3;UID=%4;PWD=%5")
                .arg(driverName, odbcValue(login.host + QLatin1Char(',') + QString::number(login.port)),
                     odbcValue(login.catalog), odbcValue(login.user), odbcValue(login.password));
    return settings;
}

ConnectionSettings ConnectionSettings::sqliteFile(const QString& path) {
    ConnectionSettings settings;
    settings.engine = Engine::SQLite;
    settings.driver = QStringLiteral("QSQLITE");
    settings.databaseName = path;
    settings.embeddedFile = path;
    return settings;
}

ConnectionSettings ConnectionSettings::sqliteThroughOdbc(const QString& path) {
    ConnectionSettings settings;
    settings.engine = Engine::SQLite;
    settings.driver = QStringLiteral("QODBC");
    // NoCreat: the ODBC driver must not make an empty database either.
    settings.databaseName =
        QStringLiteral("DRIVER={SQLite3};Database=%1;NoCreat=1;Timeout=5000").arg(odbcValue(path));
    settings.embeddedFile = path;
    return settings;
}

// ---------------------------------------------------------------------------------------------------------
// TdmConexao

TdmConexao::TdmConexao(const ConnectionSettings& connectionSettings, QObject* parent)
    : QObject(parent), settings(connectionSettings),
      connectionName(QStringLiteral("ADODravix-%1").arg(++connectionCounter)) {
    setObjectName(QStringLiteral("dmConexao"));
    if (!settings.unusable.isEmpty())
        return;
    db = QSqlDatabase::addDatabase(settings.driver, connectionName);
    db.setDatabaseName(settings.databaseName);
    if (settings.driver == QLatin1String("QODBC"))
        db.setConnectOptions(QStringLiteral("SQL_ATTR_ODBC_VERSION=SQL_OV_ODBC3;SQL_ATTR_LOGIN_TIMEOUT=15"));
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
        throw DatabaseError(
            QStringLiteral("The database driver %1 is not available: %2")
                .arg(settings.driver, providerMessage(db.lastError(), QStringLiteral("not loaded"))));
    // Opening a missing file would quietly make an empty database and every lookup would then find nothing.
    if (!settings.embeddedFile.isEmpty() && !QFileInfo(settings.embeddedFile).isFile())
        throw DatabaseError(QStringLiteral("Unable to open the database: the file %1 does not exist")
                                .arg(settings.embeddedFile));
    if (!db.open())
        throw DatabaseError(providerMessage(db.lastError(), QStringLiteral("Unable to open the database")));
    transactionOpen = false;
    if (settings.engine == ConnectionSettings::Engine::SqlServer) {
        // Date-times travel as "yyyy-MM-dd ..." text; a login whose language reads dates day first would
        // otherwise swap day and month.
        QSqlQuery setFormat(db);
        if (!setFormat.exec(QStringLiteral("SET DATEFORMAT ymd"))) {
            const QString message =
                providerMessage(setFormat.lastError(), QStringLiteral("SET DATEFORMAT failed"));
            setFormat = QSqlQuery();
            db.close();
            throw DatabaseError(message);
        }
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
        throw DatabaseError(providerMessage(db.lastError(), QStringLiteral("Unable to begin a transaction")));
    transactionOpen = true;
}

void TdmConexao::commit() {
    if (db.commit()) {
        transactionOpen = false;
        return;
    }
    const QString message =
        providerMessage(db.lastError(), QStringLiteral("Unable to commit the transaction"));
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
        throw DatabaseError(
            providerMessage(db.lastError(), QStringLiteral("Unable to roll back the transaction")));
}

bool TdmConexao::endIfEngineRolledBack() {
    QSqlQuery probe(db);
    bool kept = true;
    if (settings.engine == ConnectionSettings::Engine::SqlServer)
        kept =
            !probe.exec(QStringLiteral("SELECT @@TRANCOUNT")) || !probe.next() || probe.value(0).toInt() > 0;
    else // SQLite refuses a BEGIN inside a transaction; one it accepts is what the roll-back below ends.
        kept = !probe.exec(QStringLiteral("BEGIN"));
    if (kept)
        return false;
    // The driver still counts its transaction as open; ending it restores the driver's automatic commits.
    db.rollback();
    return true;
}

QString TdmConexao::adaptStatement(const QString& statement) const {
    if (settings.engine != ConnectionSettings::Engine::SQLite)
        return statement;
    // SQLite knows no TOP: the row limit moves to a LIMIT at the end of the statement.
    static const QRegularExpression top(
        QStringLiteral(R"(^(\s*SELECT\s+(?:DISTINCT\s+)?)TOP\s*(?:\(\s*(\d+)\s*\)|(\d+)\b)\s*)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = top.match(statement);
    if (!match.hasMatch())
        return statement;
    const QString limit = match.captured(2).isEmpty() ? match.captured(3) : match.captured(2);
    QString adapted = match.captured(1) + statement.mid(match.capturedEnd());
    qsizetype end = adapted.size();
    while (end > 0 && (adapted.at(end - 1).isSpace() || adapted.at(end - 1) == QLatin1Char(';')))
        --end;
    adapted.truncate(end);
    return adapted + QStringLiteral("\r\nLIMIT ") + limit;
}

// ---------------------------------------------------------------------------------------------------------
// Query

namespace {

using CellKind = Query::Cell::Kind;

// "yyyy-MM-dd HH:mm:ss.zzz" naming a real moment: kept as its text, turned into a QDateTime only when asked.
bool isCanonicalDateTime(const QString& text) {
    return hasCanonicalDateTimeShape(text) &&
           QDate::isValid(digitsAt(text, 0, 4), digitsAt(text, 5, 2), digitsAt(text, 8, 2)) &&
           QTime::isValid(digitsAt(text, 11, 2), digitsAt(text, 14, 2), digitsAt(text, 17, 2),
                          digitsAt(text, 20, 3));
}

// The same moment as cellText writes a date-time, straight from the stored text.
QString displayedDateTime(QStringView stored) {
    QString shown(19, Qt::Uninitialized);
    QChar* out = shown.data();
    const QChar* in = stored.data();
    const int from[] = {8, 9, -1, 5, 6, -1, 0, 1, 2, 3, -2, 11, 12, 13, 14, 15, 16, 17, 18};
    for (int i = 0; i < 19; ++i)
        out[i] = from[i] == -1 ? QLatin1Char('/') : from[i] == -2 ? QLatin1Char(' ') : in[from[i]];
    return shown;
}

// The texts of one column, one after another in large blocks: appending never moves what is held, and
// closing the result frees a few blocks, not a string per cell.
class TextStore {
public:
    static constexpr int lengthBits = 22;
    static constexpr int offsetBits = 22;
    static constexpr qsizetype longest = (qsizetype(1) << lengthBits) - 1;

    // Where the text is held, packed in 64 bits: block, offset in the block, length.
    quint64 add(QStringView text) {
        const qsizetype length = text.size();
        if (blocks.empty() || used + length > blockSize) {
            blocks.push_back(
                std::unique_ptr<char16_t[]>(new char16_t[std::size_t(std::max(blockSize, length))]));
            used = 0;
        }
        std::memcpy(blocks.back().get() + used, text.utf16(), std::size_t(length) * sizeof(char16_t));
        const quint64 place = (quint64(blocks.size() - 1) << (offsetBits + lengthBits)) |
                              (quint64(used) << lengthBits) | quint64(length);
        // A text longer than a block fills its own, and the next one starts a new block.
        used = length > blockSize ? blockSize : used + length;
        return place;
    }

    QStringView at(quint64 place) const {
        const std::size_t block = std::size_t(place >> (offsetBits + lengthBits));
        const qsizetype offset = qsizetype((place >> lengthBits) & ((quint64(1) << offsetBits) - 1));
        const qsizetype length = qsizetype(place & ((quint64(1) << lengthBits) - 1));
        return QStringView(blocks[block].get() + offset, length);
    }

private:
    static constexpr qsizetype blockSize = qsizetype(1) << 17;
    std::vector<std::unique_ptr<char16_t[]>> blocks;
    qsizetype used = 0;
};

// One column of a result, held by type: a kind and an 8-byte slot per row, the texts in large blocks.
// Reading a large result makes no object per cell, and closing it frees a handful of blocks.
struct Column {
    QList<quint8> kinds;
    QList<quint64> payload; // the integer, the real's bits, where a text is held, or an index in others
    TextStore texts;
    std::vector<QVariant> others; // what no kind above holds (a server's date-time, bytes, a huge text)

    void push(CellKind kind, quint64 slot) {
        kinds.append(quint8(kind));
        payload.append(slot);
    }

    void pushOther(const QVariant& value) {
        others.push_back(value);
        push(CellKind::Other, quint64(others.size() - 1));
    }

    void append(const QVariant& value, bool embeddedEngine, bool untyped) {
        if (!value.isValid() || value.isNull())
            return push(CellKind::Null, 0);
        const int type = value.typeId();
        if (isIntegerType(type))
            return push(CellKind::Integer, quint64(value.toLongLong()));
        if (type == QMetaType::Double || type == QMetaType::Float) {
            const double real = value.toDouble();
            quint64 bits = 0;
            std::memcpy(&bits, &real, sizeof bits);
            return push(CellKind::Real, bits);
        }
        if (type == QMetaType::QString) {
            const QString& text = *static_cast<const QString*>(value.constData());
            if (embeddedEngine && isCanonicalDateTime(text))
                return push(CellKind::DateTimeText, texts.add(text));
            if (untyped) {
                const QVariant number = sqliteNumber(text);
                if (number.typeId() != QMetaType::QString)
                    return append(number, embeddedEngine, false);
            }
            if (text.size() > TextStore::longest)
                return pushOther(value);
            return push(CellKind::Text, texts.add(text));
        }
        pushOther(value);
    }

    Query::Cell cell(int row) const {
        Query::Cell cell;
        cell.kind = CellKind(kinds.at(row));
        const quint64 slot = payload.at(row);
        switch (cell.kind) {
        case CellKind::Integer:
            cell.integer = qint64(slot);
            break;
        case CellKind::Real:
            std::memcpy(&cell.real, &slot, sizeof cell.real);
            break;
        case CellKind::Text:
        case CellKind::DateTimeText:
            cell.text = texts.at(slot);
            break;
        default:
            break;
        }
        return cell;
    }

    QVariant value(int row) const {
        const Query::Cell held = cell(row);
        switch (held.kind) {
        case CellKind::Null:
            return {};
        case CellKind::Integer:
            return qlonglong(held.integer);
        case CellKind::Real:
            return held.real;
        case CellKind::Text:
            return held.text.toString();
        case CellKind::DateTimeText:
            return canonicalDateTime(held.text.toString());
        case CellKind::Other:
            return others.at(std::size_t(payload.at(row)));
        }
        return {};
    }

    void squeeze() {
        kinds.squeeze();
        payload.squeeze();
    }
};

} // namespace

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
    std::vector<Column> columns;
    int rows = 0;

    // The values for the "?" placeholders, in the order they are sent.
    QVariantList sentValues() const {
        QVariantList values;
        values.reserve(qsizetype(markers.size()));
        for (const int index : markers)
            values.append(wireValue(parameters[std::size_t(index)].value));
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

    static bool endsName(QChar c) {
        return c == QLatin1Char(' ') || c == QLatin1Char('\r') || c == QLatin1Char('\n') ||
               c == QLatin1Char(',') || c == QLatin1Char(';') || c == QLatin1Char(')');
    }

    // Rebuilds the text, the markers and the parameters; values stay with the names still present.
    void rebuild() {
        text.clear();
        for (const QString& line : std::as_const(lines))
            text += line + QStringLiteral("\r\n");

        std::vector<Parameter> previous;
        previous.swap(parameters);
        markers.clear();
        sent.clear();
        sent.reserve(text.size());

        QChar quote;
        const int n = int(text.size());
        int i = 0;
        while (i < n) {
            const QChar c = text.at(i);
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
                sent += c;
                ++i;
            } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
                quote = c;
                sent += c;
                ++i;
            } else if (c == QLatin1Char(':') && i + 1 < n && text.at(i + 1) == QLatin1Char(':')) {
                sent += c;
                i += 2;
            } else if (c == QLatin1Char(':')) {
                int end = i + 1;
                while (end < n && !endsName(text.at(end)))
                    ++end;
                const QString name = text.mid(i + 1, end - i - 1);
                if (name.isEmpty()) {
                    sent += c;
                    ++i;
                    continue;
                }
                int index = parameterIndex(name);
                if (index < 0) {
                    Parameter added{name, {}};
                    for (const Parameter& old : previous)
                        if (old.name.compare(name, Qt::CaseInsensitive) == 0)
                            added.value = old.value;
                    parameters.push_back(added);
                    index = int(parameters.size()) - 1;
                }
                markers.push_back(index);
                sent += QLatin1Char('?');
                i = end;
            } else {
                sent += c;
                ++i;
            }
        }
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
            throw DatabaseError(providerMessage(query.lastError(), QStringLiteral("The statement failed")));
        return;
    }
    if (qtWouldTakeForPlaceholder(statement))
        throw DatabaseError(
            QStringLiteral("A plain colon before a name cannot be sent together with parameters; "
                           "write it outside the parameters' statement"));
    if (!query.prepare(statement))
        throw DatabaseError(providerMessage(query.lastError(), QStringLiteral("The statement was refused")));
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throw DatabaseError(providerMessage(query.lastError(), QStringLiteral("The statement failed")));
}

} // namespace

namespace {

// Lets the interface turn about every `intervalMs` while a result is read, also inside one long step of the
// embedded engine (a grouping reads every row before it returns its first), through the engine's progress
// callback. That callback is used only where the engine's shared library is the one Qt's driver loaded, so
// the handle and the call belong to the same library; elsewhere turns come between rows only.
class ReadingPacer final {
    Q_DISABLE_COPY_MOVE(ReadingPacer)

public:
    ReadingPacer(QSqlDatabase& db, const std::function<void()>& turn, int intervalMs)
        : turn(turn), intervalMs(intervalMs) {
        clock.start();
#if defined(Q_OS_LINUX)
        if (!turn || db.driverName() != QLatin1String("QSQLITE") || !db.driver())
            return;
        const QVariant handle = db.driver()->handle();
        if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
            return;
        void* library = dlopen("libsqlite3.so.0", RTLD_LAZY | RTLD_NOLOAD);
        if (!library)
            return;
        const auto set = reinterpret_cast<SetProgressHandler>(dlsym(library, "sqlite3_progress_handler"));
        dlclose(library); // the driver keeps the library loaded
        engine = *static_cast<void* const*>(handle.constData());
        if (!set || !engine)
            return;
        setProgressHandler = set;
        setProgressHandler(engine, instructionsBetweenChecks, &ReadingPacer::engineProgress, this);
#else
        Q_UNUSED(db)
#endif
    }

    ~ReadingPacer() {
        if (setProgressHandler)
            setProgressHandler(engine, 0, nullptr, nullptr);
    }

    void maybeTurn() {
        if (turn && clock.elapsed() >= intervalMs) {
            turn();
            clock.restart();
        }
    }

    // A failure inside the engine's callback can't cross the engine: the statement is stopped and the
    // failure goes on from here.
    void rethrowFailure() const {
        if (failure)
            std::rethrow_exception(failure);
    }

private:
    using SetProgressHandler = void (*)(void*, int, int (*)(void*), void*);
    static constexpr int instructionsBetweenChecks = 20000;

    static int engineProgress(void* self) {
        auto* pacer = static_cast<ReadingPacer*>(self);
        try {
            pacer->maybeTurn();
            return 0;
        } catch (...) {
            pacer->failure = std::current_exception();
            return 1;
        }
    }

    const std::function<void()>& turn;
    int intervalMs;
    QElapsedTimer clock;
    SetProgressHandler setProgressHandler = nullptr;
    void* engine = nullptr;
    std::exception_ptr failure;
};

} // namespace

void Query::open() {
    close();
    if (!connection.isOpen())
        connection.open();
    QSqlQuery query(connection.ADODravix());
    ReadingPacer pacer(connection.ADODravix(), keepResponsive, responsiveIntervalMs);
    try {
        runStatement(connection, query, d->sent, d->sentValues());
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
    d->columns.resize(std::size_t(columns));

    const bool embedded = connection.engine() == ConnectionSettings::Engine::SQLite;
    std::vector<bool> untyped(std::size_t(columns), false);
    if (embedded && connection.ADODravix().driverName() == QLatin1String("QODBC"))
        for (int c = 0; c < columns; ++c)
            untyped[std::size_t(c)] = isUntypedOdbcColumn(record.field(c));
    // Each value is handed over once, from the driver's current row into its column.
    try {
        while (query.next()) {
            for (int c = 0; c < columns; ++c)
                d->columns[std::size_t(c)].append(query.value(c), embedded, untyped[std::size_t(c)]);
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
        throw DatabaseError(providerMessage(query.lastError(), QStringLiteral("Reading the rows failed")));
    }
    for (Column& column : d->columns)
        column.squeeze();
    opened = true;
    row = 0;
}

void Query::execSQL() {
    close();
    QSqlQuery query(connection.ADODravix());
    runStatement(connection, query, d->sent, d->sentValues());
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
        const qint32 number = cellText(value).trimmed().toInt(&ok);
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
    const QString shown = cellText(value).trimmed();
    bool ok = false;
    double number = shown.toDouble(&ok);
    if (!ok)
        number = QString(shown).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    if (!ok)
        throw DatabaseError(QStringLiteral("'%1' is not a valid floating point value").arg(shown));
    return number;
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
        return displayedDateTime(held.text);
    default:
        return cellText(value(rowIndex, column));
    }
}
