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

QString installCjkFontSubstitutions() {
    static const QStringList candidates = {
        QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("Noto Sans SC"),        QStringLiteral("Source Han Sans SC"),
        QStringLiteral("Droid Sans Fallback"), QStringLiteral("AR PL UMing CN")};
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
        QFont::insertSubstitution(face, found); // adds nothing when already there
    }
    return found;
}

} // namespace velorin::ui
