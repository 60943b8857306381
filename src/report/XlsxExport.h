#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <stdexcept>

class Query;

// An export that could not be written or opened; what() is the message the user reads.
class ExportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    explicit ExportError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// One sheet column: its title and the result's field written under it (-1: the column stays empty).
struct ExportColumn {
    using Mark = std::function<bool(const Query& rows, int row)>;

    QString title;
    int field = -1;
    bool decimal = false; // shown as #,##0.00
    bool summed = false;  // added up in the totals row
    Mark mark;            // when set, the cell is "S" on the rows it marks and empty on the others
};

// The second sheet: what the report was run for, and the per-fuel summary as its grid shows it.
struct ExportSummary {
    QString clientCode;
    QString clientName;
    QDate from;
    QDate to;
    QString status;
    QStringList titles;       // Despesa, Qtde., Valor UN, Valor Total
    QList<QVariantList> rows; // the fuel's name, then its numbers; NULL an empty cell
};

// How far an export is: rows written so far, then the file being finished.
struct ExportProgress {
    std::function<void(int rowsWritten)> rows;
    std::function<void()> finishing;
};

// The folder exports go to when none is set: the user's temporary folder, as the environment names it.
QString temporaryFolder();

// Writes a title row, one row per row of the result and a totals row into a new workbook with a unique
// name in `folder`, its first sheet named and the workbook titled `title`, and a "Resumo" sheet from
// `summary`; returns its path. Values keep their types: numbers as numbers, date-times as dates with a
// date-time format, texts as texts, NULL as an empty cell. It only reads `rows`, so it may run on a worker
// thread while the result's owner waits. On failure nothing is left in the folder and ExportError is thrown.
QString exportWorkbook(const QString& folder, const QString& title, const QList<ExportColumn>& columns,
                       const Query& rows, const ExportSummary& summary, const ExportProgress& progress);
