// Finding a box by pressing its pad button: a new press of a button (one not held in the pad state
// before) names that button's box. Stick directions count only when the stick is pushed to its edge,
// so that a resting or drifting stick never moves the focus. A press never opens anything.
#pragma once

#include "core/Console.h"
#include "device/AdapterSession.h"

#include <chrono>
#include <cstdint>
#include <optional>

namespace velorin::app {

// How far from its end an axis still counts as pushed to the edge.
inline constexpr uint8_t kStickEdgeMargin = 0x10;

// The buttons of `console` held in `state`, one bit per PadButton (bit = its position in the enum).
uint32_t padPressMask(const device::JoyState& state, ConsoleId console);

class PadPressTracker {
public:
    using Clock = std::chrono::steady_clock;
    // A stream of presses (a pad script, a demo) moves the focus at most this often, so that it
    // costs no more than a few redraws a second; a hand does not press faster.
    static constexpr std::chrono::milliseconds kReportsAtMostEvery{100};

    // A pad state arrived. Returns the new press (the first in button order when several began
    // together), if any. `quiet` states are followed (so that a button held meanwhile is not new
    // afterwards) but report nothing.
    std::optional<PadButton> onState(const device::JoyState& state, ConsoleId console, Clock::time_point now,
                                     bool quiet);

private:
    device::JoyState last_{};
    uint32_t held_ = 0;
    std::optional<Clock::time_point> lastReportAt_;
};

} // namespace velorin::app
