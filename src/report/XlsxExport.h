#pragma once

#include <QList>
#include <QString>

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
    QString title;
    int field = -1;
};

// Writes a title row and one row per row of the result into a new workbook with a unique name in `folder`,
// the workbook's title being `title`, and returns its path. Values keep their types: numbers as numbers,
// date-times as dates with a date-time format, texts as texts, NULL as an empty cell. `keepResponsive`
// runs every few thousand rows. On failure nothing is left in the folder and ExportError is thrown.
QString exportWorkbook(const QString& folder, const QString& title, const QList<ExportColumn>& columns,
                       const Query& rows, const std::function<void()>& keepResponsive);
