#pragma once

#include <QString>

#include <functional>

class Messages;
class QWidget;

// The caption of the general error report: the executable's name.
inline const QString applicationTitle = QStringLiteral("KORVAPosto");

// The error text as the report shows it: a "." is added unless the last character already sorts at or
// before ".".
QString withFullStop(const QString& message);

// Entry point from Qt into a handler: any exception is shown as the general error report and swallowed,
// so none crosses the event loop.
void runGuarded(Messages& messages, QWidget* parent, const std::function<void()>& handler);
