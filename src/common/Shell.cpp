#include "Shell.h"

#include <QDesktopServices>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

namespace {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
// The desktop's opener only reports that it started, not that a program took the file: ask first which
// program opens this kind of file. Nothing is known when the question cannot be asked.
bool noProgramOpens(const QString& file) {
    const QString ask = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (ask.isEmpty())
        return false;
    QProcess query;
    query.start(ask, {QStringLiteral("query"), QStringLiteral("default"),
                      QMimeDatabase().mimeTypeForFile(file, QMimeDatabase::MatchExtension).name()});
    if (!query.waitForFinished(5000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return false;
    return query.readAllStandardOutput().trimmed().isEmpty();
}
#endif
} // namespace

bool DesktopShell::open(const QUrl& url) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    if (url.isLocalFile()) {
        if (noProgramOpens(url.toLocalFile()))
            return false;
        const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (!opener.isEmpty())
            return QProcess::startDetached(opener, {url.toLocalFile()});
    }
#endif
    // Elsewhere the opener's own answer says whether a program took the file.
    return QDesktopServices::openUrl(url);
}
