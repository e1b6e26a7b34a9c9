#include "ui/LayoutSize.h"

#include <QString>
#include <cmath>

namespace velorin::ui {

std::optional<LayoutSize> LayoutSize::parse(QStringView text) {
    text = text.trimmed();
    struct Suffix {
        const char16_t* text;
        Unit unit;
    };
    static constexpr Suffix suffixes[] = {
        {u"dip", Unit::Dip}, {u"dp", Unit::Dp}, {u"sp", Unit::Sp}, {u"px", Unit::Px}};
    LayoutSize size;
    for (const Suffix& s : suffixes) {
        if (text.endsWith(QStringView(s.text), Qt::CaseInsensitive)) {
            size.unit = s.unit;
            text.chop(QStringView(s.text).size());
            break;
        }
    }
    if (text.isEmpty())
        return std::nullopt;
    bool ok = false;
    size.value = text.toString().toDouble(&ok);
    if (!ok || !std::isfinite(size.value) || std::fabs(size.value) > 1e6)
        return std::nullopt;
    return size;
}

int LayoutSize::toPixels(int scale) const {
    const double v = unit == Unit::Px ? value : value * scale / 100.0;
    return int(std::lround(v));
}

int layoutPixels(QStringView text, int fallback, int scale) {
    const auto s = LayoutSize::parse(text);
    return s ? s->toPixels(scale) : fallback;
}

} // namespace velorin::ui
