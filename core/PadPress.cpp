#include "core/PadPress.h"

namespace velorin {

static_assert(kPadButtonCount <= 32, "one bit per pad button");

namespace {

bool atEdge(const JoyState& state, PadButton button) {
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

uint32_t padPressMask(const JoyState& state, ConsoleId console) {
    if (!isJoyStateValid(state))
        return 0;
    uint32_t mask = 0;
    for (const PadButton button : consoleInfo(console).buttons)
        if (lampOn(state, button) && atEdge(state, button))
            mask |= uint32_t(1) << unsigned(button);
    return mask;
}

std::optional<PadButton> PadPressTracker::onState(const JoyState& state, ConsoleId console, uint64_t nowMs,
                                                  bool quiet) {
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
        if (lastReportAt_ && nowMs - *lastReportAt_ < atMostEveryMs_)
            return std::nullopt;
        lastReportAt_ = nowMs;
        return button;
    }
    return std::nullopt;
}

void PadPressTracker::reset(const JoyState& state, ConsoleId console) {
    last_ = state;
    held_ = padPressMask(state, console);
}

} // namespace velorin
