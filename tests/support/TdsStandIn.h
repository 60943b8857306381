#pragma once

#include "db/UntConexao.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The scripted TDS server of tds_standin.py, started on 127.0.0.1 for one test: FreeTDS's ODBC driver,
// through Qt's, meets it as it would meet SQL Server. The script is the server's list of rules (see the
// Python file); every request it receives is recorded, so the test can read back what was sent.
class TdsStandIn final {
    Q_DISABLE_COPY_MOVE(TdsStandIn)

public:
    // Starts the server and waits for its port; throws std::runtime_error when it does not come up.
    // With an instance name it also answers the browser service (UDP 1434 on 127.0.0.1) for that instance.
    explicit TdsStandIn(const QJsonArray& script, int lifetimeSeconds = 120, const QString& instance = {});
    explicit TdsStandIn(const QByteArray& scriptJson, int lifetimeSeconds = 120,
                        const QString& instance = {});
    // Removes the server's script, which ends it.
    ~TdsStandIn();

    // The same server as the administrator's connection file would name it, for the program's own
    // connection string.
    SqlServerLogin login() const;
    // Every request received so far, oldest first: logins, batches, procedure calls, transaction requests
    // and attentions, as the server recorded them.
    QList<QJsonObject> requests() const;
    // What the server wrote to its error output (a request it could not read shows there).
    QString serverErrors();

    // FreeTDS's ODBC driver as a connection string names it: FreeTDS when registered with unixODBC,
    // otherwise its library's path; empty when neither is found.
    static QString driver();
    // Empty when python3 and the FreeTDS driver are present; otherwise why not, for a QSKIP.
    static QString unavailableReason();

private:
    QTemporaryDir folder;
    QProcess server;
    QString errorText;
    int serverPort = 0;
};
