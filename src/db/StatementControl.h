#pragma once
// Private to src/db: bounding and stopping a running statement, each driver its own way.

#include <functional>

class QSqlDatabase;
class QSqlQuery;

namespace StatementControl {

// Gives a prepared ODBC statement its time-out (SQL_ATTR_QUERY_TIMEOUT): the driver then stops a statement
// the server leaves unanswered. The embedded engine takes none; the wait's own clock cancels it instead.
void limitTime(QSqlQuery& query, int seconds);

// How another thread stops the statement `query` runs on `db`: SQLCancel on its ODBC statement, the
// embedded engine's interrupt on its connection; empty where the driver offers no way.
std::function<void()> canceller(QSqlDatabase& db, QSqlQuery& query);

} // namespace StatementControl
