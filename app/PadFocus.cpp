#include "app/PadFocus.h"

namespace velorin::app {

static_assert(kPadButtonCount <= 32, "one bit per pad button");

namespace {

bool atEdge(const device::JoyState& state, PadButton button) {
    constexpr uint8_t low = kStickEdgeMargin;
    constexpr uint8_t high = 0xFF - kStickEdgeMargin;
    switch (button) {
    case PadButton::lyhih_UP:
        return state[3] <= low;
    case PadButton::lyhih_DOWN:
        return state[3] >= high;
    case PadButton::lxhih_L:
        return state[2] <= low;
    case PadButton::lxhih_R:
        return state[2] >= high;
    default:
        return true;
    }
}

} // namespace

uint32_t padPressMask(const device::JoyState& state, ConsoleId console) {
    if (!device::isJoyStateValid(state))
        return 0;
    uint32_t mask = 0;
    for (const PadButton button : consoleInfo(console).buttons)
        if (device::lampOn(state, button) && atEdge(state, button))
            mask |= uint32_t(1) << unsigned(button);
    return mask;
}

std::optional<PadButton> PadPressTracker::onState(const device::JoyState& state, ConsoleId console,
                                                  Clock::time_point now, bool quiet) {
    if (state == last_)
        return std::nullopt;
    last_ = state;
    const uint32_t mask = padPressMask(state, console);
    const uint32_t fresh = mask & ~held_;
    held_ = mask;
    if (fresh == 0 || quiet)
        return std::nullopt;
    for (const PadButton button : consoleInfo(console).buttons) {
        if ((fresh & (uint32_t(1) << unsigned(button))) == 0)
            continue;
        if (lastReportAt_ && now - *lastReportAt_ < kReportsAtMostEvery)
            return std::nullopt;
        lastReportAt_ = now;
        return button;
    }
    return std::nullopt;
}

} // namespace velorin::app
