#include "core/Boxes.h"

#include "core/Texts.h"

#include <algorithm>
#include <tuple>

namespace velorin {

std::vector<PadButton> boxFocusOrder(std::span<const BoxPlace> boxes, int pageWidth) {
    std::vector<BoxPlace> sorted(boxes.begin(), boxes.end());
    // Columns by the box's centre, in whole pixels: the page's thirds rounded down.
    const int third = pageWidth / 3;
    const auto column = [&](const BoxPlace& b) {
        const int centre = b.x + b.w / 2;
        return centre < third ? 0 : centre >= pageWidth - third ? 1 : 2;
    };
    std::stable_sort(sorted.begin(), sorted.end(), [&](const BoxPlace& a, const BoxPlace& b) {
        return std::tuple(column(a), a.y, a.x) < std::tuple(column(b), b.y, b.x);
    });
    std::vector<PadButton> order;
    order.reserve(sorted.size());
    for (const BoxPlace& b : sorted)
        order.push_back(b.button);
    return order;
}

std::string_view spokenButton(PadButton button) {
    switch (button) {
    case PadButton::ARROW_UP:
        return VELORIN_TEXT("pad", "方向键上");
    case PadButton::ARROW_DOWN:
        return VELORIN_TEXT("pad", "方向键下");
    case PadButton::ARROW_L:
        return VELORIN_TEXT("pad", "方向键左");
    case PadButton::ARROW_R:
        return VELORIN_TEXT("pad", "方向键右");
    case PadButton::lyhih_UP:
        return VELORIN_TEXT("pad", "左摇杆上");
    case PadButton::lyhih_DOWN:
        return VELORIN_TEXT("pad", "左摇杆下");
    case PadButton::lxhih_L:
        return VELORIN_TEXT("pad", "左摇杆左");
    case PadButton::lxhih_R:
        return VELORIN_TEXT("pad", "左摇杆右");
    case PadButton::LSTICK_KEY:
        return VELORIN_TEXT("pad", "左摇杆按下");
    case PadButton::RSTICK_KEY:
        return VELORIN_TEXT("pad", "右摇杆按下");
    default:
        return padButtonName(button);
    }
}

} // namespace velorin
