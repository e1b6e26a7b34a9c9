#include "ui/Font.h"

#include "model/Log.h"
#include "ui/AttributeParsers.h"

#include <QFontDatabase>
#include <QStringList>

namespace velorin::ui {

QFont applyFontDescription(const QFont& base, QStringView description, int scale, bool* ok) {
    ParsedFont parsed = parseFontDescription(base, description, scale);
    if (ok)
        *ok = parsed.good;
    return std::move(parsed.font);
}

QString installCjkFontSubstitutions(const QStringList& preferred) {
    static const QStringList defaults = {
        QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("Noto Sans SC"),        QStringLiteral("Source Han Sans SC"),
        QStringLiteral("Droid Sans Fallback"), QStringLiteral("AR PL UMing CN")};
    const QStringList candidates = preferred + defaults;
    const QStringList families = QFontDatabase::families();
    QString found;
    for (const QString& c : candidates) {
        if (families.contains(c, Qt::CaseInsensitive)) {
            found = c;
            break;
        }
    }
    if (found.isEmpty()) {
        qCWarning(lcSoui) << "no CJK font installed; Chinese texts may not render";
        return {};
    }
    for (const QString& face : {QStringLiteral("微软雅黑"), QStringLiteral("宋体"),
                                QStringLiteral("Microsoft YaHei"), QStringLiteral("SimSun")}) {
        QFont::removeSubstitutions(face); // the family found first is the one drawn
        QFont::insertSubstitution(face, found);
    }
    return found;
}

} // namespace velorin::ui
