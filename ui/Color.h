// Colour notation of the resource package and its conversion to Qt colours.
//
// Accepted forms (nothing else is a colour):
//   "#rrggbb"      alpha ff
//   "#rrggbbaa"
//   "rgb(r,g,b)"   decimal 0..255, the word in any case
//   "rgba(r,g,b,a)"
// A colour is held as one 32-bit value with red in the lowest byte, then green, blue and alpha.
#pragma once

#include <QColor>
#include <QStringView>
#include <cstdint>
#include <optional>

namespace velorin::ui {

using ColorRef = std::uint32_t;

constexpr ColorRef makeColor(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 0xff) {
    return ColorRef(r) | (ColorRef(g) << 8) | (ColorRef(b) << 16) | (ColorRef(a) << 24);
}

std::optional<ColorRef> parseColor(QStringView text);

QColor toQColor(ColorRef c);
ColorRef fromQColor(const QColor& c);

// parseColor() followed by toQColor(); an invalid QColor for anything that is not a colour.
QColor parseQColor(QStringView text);

} // namespace velorin::ui
