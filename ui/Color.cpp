#include "ui/Color.h"

namespace velorin::ui {
namespace {

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

std::optional<ColorRef> parseHex(QStringView hex) {
    if (hex.size() != 6 && hex.size() != 8)
        return std::nullopt;
    std::uint8_t bytes[4] = {0, 0, 0, 0xff};
    for (qsizetype i = 0; i < hex.size(); i += 2) {
        const int hi = hexDigit(hex[i]);
        const int lo = hexDigit(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        bytes[i / 2] = std::uint8_t(hi * 16 + lo);
    }
    return makeColor(bytes[0], bytes[1], bytes[2], bytes[3]);
}

// "r,g,b" or "r,g,b,a" with decimal components 0..255; blanks around a component are allowed.
std::optional<ColorRef> parseComponents(QStringView list, int count) {
    int values[4] = {0, 0, 0, 255};
    int n = 0;
    for (QStringView part : list.split(u',')) {
        part = part.trimmed();
        if (n >= count || part.isEmpty() || part.size() > 3)
            return std::nullopt;
        int v = 0;
        for (QChar c : part) {
            if (c < u'0' || c > u'9')
                return std::nullopt;
            v = v * 10 + (c.unicode() - '0');
        }
        if (v > 255)
            return std::nullopt;
        values[n++] = v;
    }
    if (n != count)
        return std::nullopt;
    return makeColor(std::uint8_t(values[0]), std::uint8_t(values[1]), std::uint8_t(values[2]),
                     std::uint8_t(values[3]));
}

std::optional<ColorRef> parseFunction(QStringView text, QStringView word, int count) {
    if (!text.startsWith(word, Qt::CaseInsensitive))
        return std::nullopt;
    QStringView rest = text.mid(word.size()).trimmed();
    if (!rest.startsWith(u'(') || !rest.endsWith(u')'))
        return std::nullopt;
    return parseComponents(rest.mid(1, rest.size() - 2), count);
}

} // namespace

std::optional<ColorRef> parseColor(QStringView text) {
    text = text.trimmed();
    if (text.startsWith(u'#'))
        return parseHex(text.mid(1));
    if (auto c = parseFunction(text, u"rgba", 4))
        return c;
    return parseFunction(text, u"rgb", 3);
}

QColor toQColor(ColorRef c) {
    return QColor(int(c & 0xff), int((c >> 8) & 0xff), int((c >> 16) & 0xff), int((c >> 24) & 0xff));
}

ColorRef fromQColor(const QColor& c) {
    const QColor rgb = c.toRgb();
    return makeColor(std::uint8_t(rgb.red()), std::uint8_t(rgb.green()), std::uint8_t(rgb.blue()),
                     std::uint8_t(rgb.alpha()));
}

QColor parseQColor(QStringView text) {
    if (auto c = parseColor(text))
        return toQColor(*c);
    return QColor();
}

} // namespace velorin::ui
