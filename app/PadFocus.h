// Finding a box by pressing its pad button: a new press of a button (one not held in the pad state
// before) names that button's box; a second press of the same button soon after names it again to
// be opened. Stick directions count only when the stick is pushed to its edge, so that a resting or
// drifting stick never moves the focus.
#pragma once

#include "core/Console.h"
#include "device/SharedState.h"

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
    static constexpr std::chrono::milliseconds kSecondPressWithin{1500};
    // A stream of presses (a pad script, a demo) moves the focus at most this often, so that it
    // costs no more than a few redraws a second; a hand does not press faster.
    static constexpr std::chrono::milliseconds kReportsAtMostEvery{100};

    struct Press {
        PadButton button;
        bool second; // the same button as the press before, within kSecondPressWithin
    };

    // A pad state arrived. Returns the new press (the first in button order when several began
    // together), if any; `second` only when no other press came in between. `quiet` states are followed (so
    // that a button held meanwhile is not new afterwards) but report nothing.
    std::optional<Press> onState(const device::JoyState& state, ConsoleId console, Clock::time_point now,
                                 bool quiet);
    // Forgets the last press, so that the next one is a first press again.
    void forgetPress() { lastPress_.reset(); }

private:
    device::JoyState last_{};
    uint32_t held_ = 0;
    std::optional<PadButton> lastPress_;
    Clock::time_point lastPressAt_{};
    std::optional<Clock::time_point> lastReportAt_;
};

} // namespace velorin::app
