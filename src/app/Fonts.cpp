#include "Fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace {
const QString tahomaFolder = QStringLiteral("/usr/share/wine/fonts/");
const QString fallbackFamily = QStringLiteral("DejaVu Sans");
} // namespace

void registerFonts() {
    for (const QString& file : {QStringLiteral("tahoma.ttf"), QStringLiteral("tahomabd.ttf")})
        QFontDatabase::addApplicationFont(tahomaFolder + file);
    const QStringList families = QFontDatabase::families();
    for (const QString& family : {QStringLiteral("Tahoma"), QStringLiteral("Segoe UI")}) {
        if (!families.contains(family, Qt::CaseInsensitive))
            QFont::insertSubstitution(family, fallbackFamily);
    }
}
