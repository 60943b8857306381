#include "ErrorReport.h"

#include "Messages.h"

#include <exception>

QString withFullStop(const QString& message) {
    if (message.isEmpty() || message.back() <= QChar('.'))
        return message;
    return message + QLatin1Char('.');
}

void runGuarded(Messages& messages, QWidget* parent, const std::function<void()>& handler) {
    QString error;
    try {
        handler();
        return;
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    } catch (...) {
        error = QStringLiteral("Erro desconhecido");
    }
    messages.show(parent, withFullStop(error), applicationTitle, Messages::Icon::Error);
}
