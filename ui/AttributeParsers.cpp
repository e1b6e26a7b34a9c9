#include "ui/AttributeParsers.h"

#include <QList>

#include <algorithm>
#include <climits>
#include <cstdint>

namespace velorin::ui {
namespace {

int digitValue(QChar c, int base) {
    const char16_t u = c.unicode();
    int d = -1;
    if (u >= u'0' && u <= u'9')
        d = u - u'0';
    else if (u >= u'a' && u <= u'f')
        d = u - u'a' + 10;
    else if (u >= u'A' && u <= u'F')
        d = u - u'A' + 10;
    return d < base ? d : -1;
}

// Digits only (at least one) in `base`; nothing when the magnitude passes `limit`.
std::optional<std::int64_t> parseMagnitude(QStringView digits, int base, std::int64_t limit) {
    if (digits.isEmpty())
        return std::nullopt;
    std::int64_t v = 0;
    for (const QChar c : digits) {
        const int d = digitValue(c, base);
        if (d < 0)
            return std::nullopt;
        v = v * base + d;
        if (v > limit)
            return std::nullopt;
    }
    return v;
}

bool equalsAnyCase(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

std::optional<int> parseInteger(QStringView text) {
    text = text.trimmed();
    if (text.startsWith(u"0x", Qt::CaseInsensitive)) {
        const auto v = parseMagnitude(text.mid(2), 16, INT_MAX);
        return v ? std::optional<int>(int(*v)) : std::nullopt;
    }
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text = text.mid(1);
    }
    const std::int64_t limit = negative ? -std::int64_t(INT_MIN) : INT_MAX;
    const auto v = parseMagnitude(text, 10, limit);
    if (!v)
        return std::nullopt;
    return int(negative ? -*v : *v);
}

std::optional<std::vector<int>> parseIntegerList(QStringView text, int minCount, int maxCount) {
    std::vector<int> values;
    for (const QStringView part : text.split(u',')) {
        const auto v = parseInteger(part);
        if (!v || int(values.size()) >= maxCount)
            return std::nullopt;
        values.push_back(*v);
    }
    if (int(values.size()) < minCount)
        return std::nullopt;
    return values;
}

std::optional<int> parseExtent(QStringView text) {
    const auto v = parseInteger(text);
    if (!v || *v < -1 || *v > 100000)
        return std::nullopt;
    return v;
}

std::optional<std::pair<int, int>> parseExtentPair(QStringView text) {
    const QList<QStringView> parts = text.split(u',');
    if (parts.size() != 2)
        return std::nullopt;
    const auto w = parseExtent(parts[0]);
    const auto h = parseExtent(parts[1]);
    if (!w || !h)
        return std::nullopt;
    return std::pair{*w, *h};
}

std::optional<QMargins> parseMargins(QStringView text) {
    const auto v = parseIntegerList(text, 1, 4);
    if (!v || v->size() == 3)
        return std::nullopt;
    const std::vector<int>& m = *v;
    if (m.size() == 1)
        return QMargins(m[0], m[0], m[0], m[0]);
    if (m.size() == 2)
        return QMargins(m[0], m[1], m[0], m[1]);
    return QMargins(m[0], m[1], m[2], m[3]);
}

std::optional<Qt::Alignment> parseHorizontalAlignment(QStringView text) {
    if (text == u"left")
        return Qt::AlignLeft;
    if (text == u"center")
        return Qt::AlignHCenter;
    if (text == u"right")
        return Qt::AlignRight;
    return std::nullopt;
}

std::optional<Qt::Alignment> parseVerticalAlignment(QStringView text) {
    if (text == u"top")
        return Qt::AlignTop;
    if (text == u"middle" || text == u"center")
        return Qt::AlignVCenter;
    if (text == u"bottom")
        return Qt::AlignBottom;
    return std::nullopt;
}

Qt::Alignment alignmentFromTextMode(unsigned mode) {
    Qt::Alignment a;
    a |= (mode & 0x1) ? Qt::AlignHCenter : (mode & 0x2) ? Qt::AlignRight : Qt::AlignLeft;
    a |= (mode & 0x4) ? Qt::AlignVCenter : (mode & 0x8) ? Qt::AlignBottom : Qt::AlignTop;
    return a;
}

bool parseFlag(QStringView text) {
    text = text.trimmed();
    return text != u"0" && !equalsAnyCase(text, u"false");
}

bool parseSwitch(QStringView text) {
    text = text.trimmed();
    return text != u"0" && !text.isEmpty();
}

ParsedFont parseFontDescription(const QFont& base, QStringView description, int scale) {
    ParsedFont out{base, true};
    QFont& font = out.font;
    for (const QStringView pair : description.split(u',', Qt::SkipEmptyParts)) {
        const qsizetype colon = pair.indexOf(u':');
        if (colon <= 0) {
            out.good = false;
            continue;
        }
        const QStringView key = pair.left(colon).trimmed();
        const QStringView value = pair.mid(colon + 1).trimmed();
        if (equalsAnyCase(key, u"face")) {
            if (value.isEmpty())
                out.good = false;
            else
                font.setFamily(value.toString());
            continue;
        }
        const std::optional<int> n = parseInteger(value);
        if (!n) {
            out.good = false;
        } else if (equalsAnyCase(key, u"size")) {
            if (*n > 0 && *n <= 500)
                font.setPixelSize(std::max(1, *n * scale / 100));
            else
                out.good = false;
        } else if (equalsAnyCase(key, u"italic")) {
            font.setItalic(*n != 0);
        } else if (equalsAnyCase(key, u"underline")) {
            font.setUnderline(*n != 0);
        } else if (equalsAnyCase(key, u"bold")) {
            font.setBold(*n != 0);
        } else if (equalsAnyCase(key, u"strike")) {
            font.setStrikeOut(*n != 0);
        } else if (equalsAnyCase(key, u"weight")) {
            if (*n >= 1 && *n <= 1000)
                font.setWeight(QFont::Weight(*n));
            else
                out.good = false;
        }
    }
    return out;
}

std::optional<QFont> parseFont(const QFont& base, QStringView description, int scale) {
    ParsedFont parsed = parseFontDescription(base, description, scale);
    if (!parsed.good)
        return std::nullopt;
    return std::move(parsed.font);
}

} // namespace velorin::ui
