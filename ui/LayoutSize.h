// Layout sizes: a number with an optional unit. Plain numbers, "dp", "dip" and "sp" are pixels at scale 100
// and grow with the scale; "px" is device-independent pixels that ignore the scale.
#pragma once

#include <QStringView>
#include <optional>

namespace velorin::ui {

struct LayoutSize {
    enum class Unit { Plain, Px, Dp, Dip, Sp };
    double value = 0;
    Unit unit = Unit::Plain;

    static std::optional<LayoutSize> parse(QStringView text);
    int toPixels(int scale = 100) const;
};

// Parses and converts in one step; `fallback` when the text is not a layout size.
int layoutPixels(QStringView text, int fallback, int scale = 100);

} // namespace velorin::ui
