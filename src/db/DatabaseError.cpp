#include "DatabaseError.h"

#include <QSqlError>

QString DatabaseError::providerMessage(const QSqlError& error, const QString& fallback) {
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
