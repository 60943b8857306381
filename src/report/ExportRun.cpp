#include "ExportRun.h"

#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <exception>
#include <thread>
#include <utility>

namespace {
// Often enough for a bar to look alive, seldom enough to leave the worker the machine.
constexpr int progressInterval = 50; // milliseconds
} // namespace

ExportRun::ExportRun(QString folder, QString title, QList<ExportColumn> columns, const Query& rows,
                     ExportSummary summary)
    : folder(std::move(folder)), title(std::move(title)), columns(std::move(columns)), rows(rows),
      summary(std::move(summary)) {}

QString ExportRun::exec(const ExportProgress& shown) const {
    std::atomic<int> written{0};
    std::atomic<bool> finishing{false};
    QString path;
    std::exception_ptr failure;
    QEventLoop waiting;
    QTimer showProgress;
    QObject::connect(&showProgress, &QTimer::timeout, &showProgress, [&] {
        if (finishing) {
            if (shown.finishing)
                shown.finishing();
        } else if (shown.rows) {
            shown.rows(written);
        }
    });
    // Everything the worker and the wait use is made before the worker starts, so the join is always reached.
    std::thread worker([&] {
        try {
            path = exportWorkbook(folder, title, columns, rows, summary,
                                  {[&](int count) {
                                       written = count;
                                       if (cancelled)
                                           throw ExportCancelled();
                                   },
                                   [&] { finishing = true; }});
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });
    showProgress.start(progressInterval);
    waiting.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
    return path;
}
