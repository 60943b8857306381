#pragma once

#include "XlsxExport.h"

#include <QList>
#include <QString>

#include <atomic>
#include <stdexcept>

class Query;

// An export stopped by cancel(); nothing of it is left in the folder.
class ExportCancelled : public std::runtime_error {
public:
    ExportCancelled() : std::runtime_error("Exportação cancelada.") {}
};

// One workbook written on a worker thread from a result that stays open and is only read meanwhile. The
// calling thread waits in a local event loop that keeps the windows painted and user input out; it is told
// there how far the worker is, and a failure on the worker is thrown again on it.
class ExportRun final {
    Q_DISABLE_COPY_MOVE(ExportRun)

public:
    ExportRun(QString folder, QString title, QList<ExportColumn> columns, const Query& rows,
              ExportSummary summary);

    // Writes the workbook and returns its path. `shown` is called on this thread now and then while the
    // worker writes: with the rows written so far, then once the file is being finished.
    // Throws ExportCancelled when cancel() came first.
    QString exec(const ExportProgress& shown) const;
    // Stops the worker at its next row report; safe from any thread, and from `shown` itself.
    void cancel() { cancelled = true; }

private:
    QString folder;
    QString title;
    QList<ExportColumn> columns;
    const Query& rows;
    ExportSummary summary;
    std::atomic<bool> cancelled{false};
};
