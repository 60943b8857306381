#include "EngineDialect.h"

#include "ConnectionSettings.h"
#include "SqlServerDialect.h"
#include "SqliteDialect.h"

#include <QDateTime>

std::unique_ptr<const EngineDialect> EngineDialect::make(const ConnectionSettings& settings) {
    switch (settings.engine) {
    case ConnectionSettings::Engine::SqlServer:
        return std::make_unique<SqlServerDialect>();
    case ConnectionSettings::Engine::SQLite:
        break;
    }
    return std::make_unique<SqliteDialect>(settings.driver == QLatin1String("QODBC"));
}

QVariant EngineDialect::wireValue(const QVariant& value) const {
    if (!value.isValid() || value.isNull())
        return QVariant(QMetaType::fromType<QString>());
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return wireDateTime(value.toDateTime());
    case QMetaType::UChar:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Short:
    case QMetaType::UShort:
        return value.toInt();
    default:
        return value;
    }
}
