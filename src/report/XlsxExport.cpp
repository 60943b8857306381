#include "XlsxExport.h"

#include "db/StoredValues.h"
#include "db/UntConexao.h"
#include "format/DisplayPatterns.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {
constexpr int rowsBetweenReports = 1024;
constexpr double widestColumn = 100;
const char* const dateTimeFormat = DisplayPatterns::sheetDateTime;
const char* const decimalFormat = DisplayPatterns::sheetDecimal;

enum class CellKind { Empty, Number, DateTime, Text };

CellKind kindOf(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return CellKind::Empty;
    if (StoredValues::isNumber(value))
        return CellKind::Number;
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return CellKind::Number;
    case QMetaType::QDateTime:
    case QMetaType::QDate: {
        // The spreadsheet's calendar starts in 1900; earlier moments go as text.
        const QDate day =
            value.metaType().id() == QMetaType::QDate ? value.toDate() : value.toDateTime().date();
        return day.isValid() && day.year() >= 1900 ? CellKind::DateTime : CellKind::Text;
    }
    default:
        return CellKind::Text;
    }
}

QString textOf(const QVariant& value) {
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime().toString(DisplayPatterns::dateTime);
    if (value.metaType().id() == QMetaType::QDate)
        return value.toDate().toString(DisplayPatterns::date);
    return value.toString();
}

// How many characters the spreadsheet shows for a cell, to fit the column to its widest one.
int shownLength(const QVariant& value) {
    switch (kindOf(value)) {
    case CellKind::Empty:
        return 0;
    case CellKind::Number:
        return int(QLocale::c().toString(value.toDouble(), 'g', 15).size());
    case CellKind::DateTime:
        return int(qstrlen(dateTimeFormat));
    case CellKind::Text:
        return int(textOf(value).size());
    }
    return 0;
}

lxw_datetime spreadsheetMoment(const QVariant& value) {
    const QDateTime moment =
        value.metaType().id() == QMetaType::QDate ? value.toDate().startOfDay() : value.toDateTime();
    const QDate day = moment.date();
    const QTime time = moment.time();
    return lxw_datetime{day.year(),  day.month(),   day.day(),
                        time.hour(), time.minute(), time.second() + time.msec() / 1000.0};
}

// A cell that can't take its value takes the value's text, and failing that stays empty.
void writeCell(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column, const QVariant& value,
               lxw_format* numberFormat, lxw_format* dateFormat) {
    lxw_error written = LXW_NO_ERROR;
    switch (kindOf(value)) {
    case CellKind::Empty:
        return;
    case CellKind::Number:
        written = worksheet_write_number(sheet, row, column, value.toDouble(), numberFormat);
        break;
    case CellKind::DateTime: {
        lxw_datetime moment = spreadsheetMoment(value);
        written = worksheet_write_datetime(sheet, row, column, &moment, dateFormat);
        break;
    }
    case CellKind::Text:
        written = worksheet_write_string(sheet, row, column, textOf(value).toUtf8().constData(), nullptr);
        break;
    }
    if (written != LXW_NO_ERROR)
        worksheet_write_string(sheet, row, column, textOf(value).toUtf8().constData(), nullptr);
}

int digitsOf(double magnitude) {
    int digits = 1;
    for (double limit = 10; magnitude >= limit && digits < 309; limit *= 10)
        ++digits;
    return digits;
}

// Characters a number takes: "#,##0.00" adds a separator every three digits and two decimals.
int numberLength(double value, bool decimal) {
    if (!std::isfinite(value))
        return 3;
    const int sign = value < 0 ? 1 : 0;
    if (decimal) {
        const int digits = digitsOf(std::floor(std::fabs(value) + 0.005));
        return sign + digits + (digits - 1) / 3 + 3;
    }
    const double magnitude = std::fabs(value);
    if (magnitude < 1e15 && magnitude == std::floor(magnitude))
        return sign + digitsOf(magnitude);
    char text[32];
    return std::snprintf(text, sizeof text, "%.15g", value);
}

// The sheet's cells of one result row, written straight from the query's columns.
class RowWriter final {
public:
    RowWriter(lxw_worksheet* sheet, lxw_format* numberFormat, lxw_format* dateFormat)
        : sheet(sheet), numberFormat(numberFormat), dateFormat(dateFormat) {}

    // Returns the characters the cell shows, to fit its column.
    int write(lxw_row_t row, lxw_col_t column, const Query& rows, int rowIndex, const ExportColumn& source) {
        if (source.mark) {
            if (!source.mark(rows, rowIndex))
                return 0;
            worksheet_write_string(sheet, row, column, "S", nullptr);
            return 1;
        }
        if (source.field < 0)
            return 0;
        const Query::Cell cell = rows.cell(rowIndex, source.field);
        lxw_format* shownAs = source.decimal ? numberFormat : nullptr;
        switch (cell.kind) {
        case Query::Cell::Kind::Null:
            return 0;
        case Query::Cell::Kind::Integer:
        case Query::Cell::Kind::Real: {
            const double number = cell.kind == Query::Cell::Kind::Integer ? double(cell.integer) : cell.real;
            worksheet_write_number(sheet, row, column, number, shownAs);
            return numberLength(number, source.decimal);
        }
        case Query::Cell::Kind::DateTimeText: {
            const StoredValues::DateTimeParts at = StoredValues::dateTimeParts(cell.text);
            if (at.year >= 1900) {
                lxw_datetime moment{at.year, at.month,  at.day,
                                    at.hour, at.minute, at.second + at.msec / 1000.0};
                worksheet_write_datetime(sheet, row, column, &moment, dateFormat);
                return int(qstrlen(dateTimeFormat));
            }
            writeText(row, column, cell.text);
            return int(cell.text.size());
        }
        case Query::Cell::Kind::Text:
            writeText(row, column, cell.text);
            return int(cell.text.size());
        case Query::Cell::Kind::Other: {
            const QVariant value = rows.value(rowIndex, source.field);
            writeCell(sheet, row, column, value, shownAs, dateFormat);
            return kindOf(value) == CellKind::Number ? numberLength(value.toDouble(), source.decimal)
                                                     : shownLength(value);
        }
        }
        return 0;
    }

private:
    void writeText(lxw_row_t row, lxw_col_t column, QStringView text) {
        utf8.clear();
        bool plain = true;
        for (const QChar c : text) {
            if (c.unicode() >= 0x80 || c.unicode() == 0) {
                plain = false;
                break;
            }
            utf8.push_back(char(c.unicode()));
        }
        if (!plain)
            utf8 = text.toUtf8().toStdString();
        if (worksheet_write_string(sheet, row, column, utf8.c_str(), nullptr) != LXW_NO_ERROR)
            worksheet_write_string(sheet, row, column, "", nullptr);
    }

    lxw_worksheet* sheet;
    lxw_format* numberFormat;
    lxw_format* dateFormat;
    std::string utf8;
};

double columnWidth(int characters) {
    return std::min(widestColumn, characters * 1.1 + 1.5);
}

QByteArray cellReference(int row, int column) {
    char reference[LXW_MAX_CELL_NAME_LENGTH];
    lxw_rowcol_to_cell(reference, lxw_row_t(row), lxw_col_t(column));
    return QByteArray(reference);
}

// Removes the file unless the export got through.
class UnfinishedFile final {
    Q_DISABLE_COPY_MOVE(UnfinishedFile)

public:
    explicit UnfinishedFile(QString path) : path(std::move(path)) {}
    ~UnfinishedFile() {
        if (!finished)
            QFile::remove(path);
    }
    void finish() { finished = true; }

private:
    QString path;
    bool finished = false;
};

class Workbook final {
    Q_DISABLE_COPY_MOVE(Workbook)

public:
    explicit Workbook(const QString& path) {
        lxw_workbook_options options{};
        // Rows go to disk as they are written, so a long result doesn't pile up in memory.
        options.constant_memory = LXW_TRUE;
        book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    }
    ~Workbook() {
        if (book)
            workbook_close(book);
    }
    lxw_workbook* get() const { return book; }
    // Assembles and writes the file: this is where a write failure shows.
    lxw_error close() {
        lxw_workbook* closing = book;
        book = nullptr;
        return workbook_close(closing);
    }

private:
    lxw_workbook* book = nullptr;
};

QString reserveUniqueName(const QString& folder, const QString& title) {
    const QString shownFolder = QDir::toNativeSeparators(folder);
    const QString refused =
        QStringLiteral("Não foi possível criar a planilha na pasta \"%1\": a pasta não existe "
                       "ou não permite gravação");
    // An empty or relative folder would put the workbook in the program's working folder instead.
    if (folder.isEmpty() || QDir::isRelativePath(folder) || !QFileInfo(folder).isDir())
        throw ExportError(refused.arg(shownFolder));
    QTemporaryFile reserved(QDir(folder).filePath(title + QStringLiteral("_XXXXXX.xlsx")));
    reserved.setAutoRemove(false);
    if (!reserved.open())
        throw ExportError(refused.arg(shownFolder));
    const QString path = reserved.fileName();
    reserved.close();
    return path;
}

void check(bool done, const QString& shownPath) {
    if (!done)
        throw ExportError(QStringLiteral("Não foi possível preparar a planilha \"%1\"").arg(shownPath));
}

// What the report was run for, then the summary table with its totals.
void writeSummarySheet(lxw_workbook* book, const ExportSummary& summary, lxw_format* bold,
                       lxw_format* numberFormat, lxw_format* boldNumber, lxw_format* dayFormat,
                       lxw_format* dateFormat, const QString& shownPath) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Resumo");
    check(sheet != nullptr, shownPath);
    std::vector<int> widest(4, 0);
    const auto text = [&](int row, int column, const QString& value, lxw_format* format = nullptr) {
        worksheet_write_string(sheet, lxw_row_t(row), lxw_col_t(column), value.toUtf8().constData(), format);
        widest[std::size_t(column)] = std::max(widest[std::size_t(column)], int(value.size()));
    };
    const auto day = [&](int row, int column, const QDate& value) {
        if (!value.isValid() || value.year() < 1900)
            return text(row, column, value.toString(QStringLiteral("dd/MM/yyyy")));
        lxw_datetime moment{value.year(), value.month(), value.day(), 0, 0, 0};
        worksheet_write_datetime(sheet, lxw_row_t(row), lxw_col_t(column), &moment, dayFormat);
        widest[std::size_t(column)] = std::max(widest[std::size_t(column)], 10);
    };
    text(0, 0, QStringLiteral("Cliente"), bold);
    text(0, 1, summary.clientCode);
    text(0, 2, summary.clientName);
    text(1, 0, QStringLiteral("De"), bold);
    day(1, 1, summary.from);
    text(2, 0, QStringLiteral("Até"), bold);
    day(2, 1, summary.to);
    text(3, 0, QStringLiteral("Situação"), bold);
    text(3, 1, summary.status);

    constexpr int titleRow = 5;
    for (int c = 0; c < summary.titles.size() && c < 4; ++c)
        text(titleRow, c, summary.titles.at(c), bold);
    int row = titleRow + 1;
    for (const QVariantList& values : summary.rows) {
        for (int c = 0; c < values.size() && c < 4; ++c) {
            const QVariant& value = values.at(c);
            writeCell(sheet, lxw_row_t(row), lxw_col_t(c), value, c > 0 ? numberFormat : nullptr, dateFormat);
            const int shown = kindOf(value) == CellKind::Number ? numberLength(value.toDouble(), c > 0)
                                                                : shownLength(value);
            widest[std::size_t(c)] = std::max(widest[std::size_t(c)], shown);
        }
        ++row;
    }
    text(row, 0, QStringLiteral("Total"), bold);
    for (const int c : {1, 3}) {
        double sum = 0;
        for (const QVariantList& values : summary.rows)
            if (c < values.size() && kindOf(values.at(c)) == CellKind::Number)
                sum += values.at(c).toDouble();
        if (summary.rows.isEmpty()) {
            worksheet_write_number(sheet, lxw_row_t(row), lxw_col_t(c), 0, boldNumber);
        } else {
            const QByteArray formula =
                "=SUM(" + cellReference(titleRow + 1, c) + ':' + cellReference(row - 1, c) + ')';
            worksheet_write_formula_num(sheet, lxw_row_t(row), lxw_col_t(c), formula.constData(), boldNumber,
                                        sum);
        }
        widest[std::size_t(c)] = std::max(widest[std::size_t(c)], numberLength(sum, true));
    }
    for (int c = 0; c < 4; ++c)
        worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), columnWidth(widest[std::size_t(c)]), nullptr);
}
} // namespace

QString temporaryFolder() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    // Qt resolves the folder and gives an empty path when it is missing, which would mean the working
    // folder; the folder as the environment names it is what the user must be told about.
    const QString configured = qEnvironmentVariable("TMPDIR");
    return configured.isEmpty() ? QStringLiteral("/tmp") : configured;
#elif defined(Q_OS_WIN)
    // The same on Windows, whose programs take the folder from TMP, then TEMP.
    for (const char* name : {"TMP", "TEMP"}) {
        const QString configured = qEnvironmentVariable(name);
        if (!configured.isEmpty())
            return configured;
    }
    return QDir::tempPath();
#else
    return QDir::tempPath();
#endif
}

QString exportWorkbook(const QString& folder, const QString& title, const QList<ExportColumn>& columns,
                       const Query& rows, const ExportSummary& summary, const ExportProgress& progress) {
    const QString path = reserveUniqueName(folder, title);
    UnfinishedFile unfinished(path);
    const QString shownPath = QDir::toNativeSeparators(path);

    Workbook workbook(path);
    check(workbook.get() != nullptr, shownPath);
    QByteArray titleText = title.toUtf8();
    lxw_doc_properties properties{};
    properties.title = titleText.data();
    workbook_set_properties(workbook.get(), &properties);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook.get(), titleText.constData());
    lxw_format* bold = workbook_add_format(workbook.get());
    lxw_format* dateFormat = workbook_add_format(workbook.get());
    lxw_format* dayFormat = workbook_add_format(workbook.get());
    lxw_format* numberFormat = workbook_add_format(workbook.get());
    lxw_format* boldNumber = workbook_add_format(workbook.get());
    check(sheet && bold && dateFormat && dayFormat && numberFormat && boldNumber, shownPath);
    format_set_bold(bold);
    format_set_num_format(dateFormat, dateTimeFormat);
    format_set_num_format(dayFormat, "dd/mm/yyyy");
    format_set_num_format(numberFormat, decimalFormat);
    format_set_num_format(boldNumber, decimalFormat);
    format_set_bold(boldNumber);

    const int rowCount = rows.isOpen() ? rows.rowCount() : 0;
    const int columnCount = int(columns.size());
    std::vector<int> widest(std::size_t(columnCount), 0);
    for (int c = 0; c < columnCount; ++c) {
        worksheet_write_string(sheet, 0, lxw_col_t(c), columns.at(c).title.toUtf8().constData(), bold);
        widest[std::size_t(c)] = int(columns.at(c).title.size());
    }
    worksheet_freeze_panes(sheet, 1, 0);
    if (columnCount > 0)
        worksheet_autofilter(sheet, 0, 0, lxw_row_t(rowCount), lxw_col_t(columnCount - 1));

    RowWriter writer(sheet, numberFormat, dateFormat);
    for (int r = 0; r < rowCount; ++r) {
        if (r % rowsBetweenReports == 0 && progress.rows)
            progress.rows(r);
        for (int c = 0; c < columnCount; ++c) {
            const int shown = writer.write(lxw_row_t(r + 1), lxw_col_t(c), rows, r, columns.at(c));
            if (shown > widest[std::size_t(c)])
                widest[std::size_t(c)] = shown;
        }
    }
    if (progress.rows)
        progress.rows(rowCount);

    // The totals under the table, as formulas with their values, so a viewer that does not recalculate
    // shows them too.
    if (rowCount > 0) {
        const lxw_row_t totalsRow = lxw_row_t(rowCount + 1);
        bool labelled = false;
        for (int c = 0; c < columnCount; ++c) {
            if (!columns.at(c).summed || columns.at(c).field < 0)
                continue;
            // One label for the row, in the cell before its first sum: the cells between sums belong to
            // columns of their own, such as the unit value.
            if (!labelled && c > 0) {
                worksheet_write_string(sheet, totalsRow, lxw_col_t(c - 1), "Total", bold);
                widest[std::size_t(c - 1)] = std::max(widest[std::size_t(c - 1)], 5);
            }
            labelled = true;
            double sum = 0;
            for (int r = 0; r < rowCount; ++r)
                sum += rows.number(r, columns.at(c).field);
            const QByteArray formula = "=SUM(" + cellReference(1, c) + ':' + cellReference(rowCount, c) + ')';
            worksheet_write_formula_num(sheet, totalsRow, lxw_col_t(c), formula.constData(),
                                        columns.at(c).decimal ? boldNumber : bold, sum);
            widest[std::size_t(c)] =
                std::max(widest[std::size_t(c)], numberLength(sum, columns.at(c).decimal));
        }
    }
    // The sheet's columns are assembled when the file is closed, so the widths may follow the rows.
    for (int c = 0; c < columnCount; ++c)
        worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), columnWidth(widest[std::size_t(c)]), nullptr);

    writeSummarySheet(workbook.get(), summary, bold, numberFormat, boldNumber, dayFormat, dateFormat,
                      shownPath);

    if (progress.finishing)
        progress.finishing();
    const lxw_error closed = workbook.close();
    if (closed != LXW_NO_ERROR)
        throw ExportError(QStringLiteral("Não foi possível gravar a planilha \"%1\" (%2)")
                              .arg(shownPath, QString::fromUtf8(lxw_strerror(closed))));
    unfinished.finish();
    return path;
}
