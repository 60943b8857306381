#include "XlsxExport.h"

#include "QueryTableModel.h"

#include "db/UntConexao.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <algorithm>

namespace {
constexpr int rowsBetweenRepaints = 2000;
constexpr double widestColumn = 100;
const char* const dateTimeFormat = "dd/mm/yyyy hh:mm:ss";

enum class CellKind { Empty, Number, DateTime, Text };

CellKind kindOf(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return CellKind::Empty;
    if (isNumber(value))
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
        return value.toDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
    if (value.metaType().id() == QMetaType::QDate)
        return value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
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
               lxw_format* dateFormat) {
    lxw_error written = LXW_NO_ERROR;
    switch (kindOf(value)) {
    case CellKind::Empty:
        return;
    case CellKind::Number:
        written = worksheet_write_number(sheet, row, column, value.toDouble(), nullptr);
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
    QTemporaryFile reserved(QDir(folder).filePath(title + QStringLiteral("_XXXXXX.xlsx")));
    reserved.setAutoRemove(false);
    if (!reserved.open())
        throw ExportError(
            QStringLiteral("Não foi possível criar a planilha na pasta \"%1\": a pasta não existe "
                           "ou não permite gravação")
                .arg(QDir::toNativeSeparators(folder)));
    const QString path = reserved.fileName();
    reserved.close();
    return path;
}
} // namespace

QString exportWorkbook(const QString& folder, const QString& title, const QList<ExportColumn>& columns,
                       const Query& rows, const std::function<void()>& keepResponsive) {
    const QString path = reserveUniqueName(folder, title);
    UnfinishedFile unfinished(path);
    const QString shownPath = QDir::toNativeSeparators(path);

    Workbook workbook(path);
    if (!workbook.get())
        throw ExportError(QStringLiteral("Não foi possível preparar a planilha \"%1\"").arg(shownPath));
    QByteArray titleText = title.toUtf8();
    lxw_doc_properties properties{};
    properties.title = titleText.data();
    workbook_set_properties(workbook.get(), &properties);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook.get(), nullptr);
    lxw_format* dateFormat = workbook_add_format(workbook.get());
    if (!sheet || !dateFormat)
        throw ExportError(QStringLiteral("Não foi possível preparar a planilha \"%1\"").arg(shownPath));
    format_set_num_format(dateFormat, dateTimeFormat);

    // Column widths must be known before the first row goes to disk.
    const int rowCount = rows.isOpen() ? rows.rowCount() : 0;
    for (int c = 0; c < columns.size(); ++c) {
        int widest = int(columns.at(c).title.size());
        if (columns.at(c).field >= 0) {
            for (int r = 0; r < rowCount; ++r)
                widest = std::max(widest, shownLength(rows.value(r, columns.at(c).field)));
        }
        worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), std::min(widestColumn, widest * 1.1 + 1.5),
                             nullptr);
    }

    for (int c = 0; c < columns.size(); ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), columns.at(c).title.toUtf8().constData(), nullptr);
    for (int r = 0; r < rowCount; ++r) {
        if (r > 0 && r % rowsBetweenRepaints == 0 && keepResponsive)
            keepResponsive();
        for (int c = 0; c < columns.size(); ++c) {
            if (columns.at(c).field >= 0)
                writeCell(sheet, lxw_row_t(r + 1), lxw_col_t(c), rows.value(r, columns.at(c).field),
                          dateFormat);
        }
    }

    const lxw_error closed = workbook.close();
    if (closed != LXW_NO_ERROR)
        throw ExportError(QStringLiteral("Não foi possível gravar a planilha \"%1\" (%2)")
                              .arg(shownPath, QString::fromUtf8(lxw_strerror(closed))));
    unfinished.finish();
    return path;
}
