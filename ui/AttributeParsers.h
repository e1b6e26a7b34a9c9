// The values of layout attributes, parsed. Layout text is outside input: every parser takes any text,
// returns nothing for text it cannot use and has no side effects, so an element can parse a value in full
// before it changes anything.
#pragma once

#include <QFont>
#include <QMargins>
#include <QStringView>

#include <optional>
#include <utility>
#include <vector>

namespace velorin::ui {

// An integer: optional surrounding whitespace, then decimal digits with an optional sign ("-1", "+7",
// "42") or "0x"/"0X" and hexadecimal digits without sign ("0x25"). The value must fit an int; larger
// values are refused, never wrapped.
std::optional<int> parseInteger(QStringView text);

// Comma-separated integers, at least `minCount` and at most `maxCount` of them; an empty part is refused.
std::optional<std::vector<int>> parseIntegerList(QStringView text, int minCount, int maxCount);

// The extent of an element: an integer from -1 ("fill to the parent's edge") to 100000.
std::optional<int> parseExtent(QStringView text);
// Two extents, "width,height".
std::optional<std::pair<int, int>> parseExtentPair(QStringView text);

// One value (every side), two (horizontal, vertical) or four (left, top, right, bottom).
std::optional<QMargins> parseMargins(QStringView text);

// "left", "center", "right" to the horizontal alignment flag.
std::optional<Qt::Alignment> parseHorizontalAlignment(QStringView text);
// "top", "middle" (or "center"), "bottom" to the vertical alignment flag.
std::optional<Qt::Alignment> parseVerticalAlignment(QStringView text);

// Text-mode flags of the layouts (as hexadecimal numbers) to a Qt alignment.
Qt::Alignment alignmentFromTextMode(unsigned mode);

// A boolean attribute of the generic kind: true unless "0" or "false" (in any case), around spaces.
bool parseFlag(QStringView text);
// A switch such as "animate" or "translucent": on unless empty or "0", around spaces.
bool parseSwitch(QStringView text);

// A font description: comma-separated "key:value" pairs applied over `base`, e.g. "face:微软雅黑,size:14".
// Keys: face, size (pixels at scale 100, 1..500), italic, underline, bold, strike, weight (1..1000), in
// any case; the numbers are integers as above. Unknown keys are ignored. `good` is false when a pair is
// malformed or a value out of range; the other pairs are still applied.
struct ParsedFont {
    QFont font;
    bool good = true;
};
ParsedFont parseFontDescription(const QFont& base, QStringView description, int scale = 100);
// The same, all or nothing: no font when any pair is refused.
std::optional<QFont> parseFont(const QFont& base, QStringView description, int scale = 100);

} // namespace velorin::ui
