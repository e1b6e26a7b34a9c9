#include "ui/Font.h"

#include "model/Log.h"

#include <QFontDatabase>
#include <QStringList>

#include <algorithm>
#include <optional>

namespace velorin::ui {
namespace {

std::optional<int> toInt(QStringView v) {
    bool ok = false;
    const int n = v.trimmed().toInt(&ok);
    return ok ? std::optional<int>(n) : std::nullopt;
}

} // namespace

QFont applyFontDescription(const QFont& base, QStringView description, int scale, bool* ok) {
    QFont font = base;
    bool good = true;
    for (QStringView pair : description.split(u',', Qt::SkipEmptyParts)) {
        const qsizetype colon = pair.indexOf(u':');
        if (colon <= 0) {
            good = false;
            continue;
        }
        const QStringView key = pair.left(colon).trimmed();
        const QStringView value = pair.mid(colon + 1).trimmed();
        if (key.compare(u"face", Qt::CaseInsensitive) == 0) {
            if (value.isEmpty())
                good = false;
            else
                font.setFamily(value.toString());
            continue;
        }
        const std::optional<int> n = toInt(value);
        if (!n) {
            good = false;
            continue;
        }
        if (key.compare(u"size", Qt::CaseInsensitive) == 0) {
            if (*n > 0 && *n <= 500)
                font.setPixelSize(std::max(1, *n * scale / 100));
            else
                good = false;
        } else if (key.compare(u"italic", Qt::CaseInsensitive) == 0) {
            font.setItalic(*n != 0);
        } else if (key.compare(u"underline", Qt::CaseInsensitive) == 0) {
            font.setUnderline(*n != 0);
        } else if (key.compare(u"bold", Qt::CaseInsensitive) == 0) {
            font.setBold(*n != 0);
        } else if (key.compare(u"strike", Qt::CaseInsensitive) == 0) {
            font.setStrikeOut(*n != 0);
        } else if (key.compare(u"weight", Qt::CaseInsensitive) == 0) {
            if (*n >= 1 && *n <= 1000)
                font.setWeight(QFont::Weight(*n));
            else
                good = false;
        }
    }
    if (ok)
        *ok = good;
    return font;
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
