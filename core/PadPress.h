// Finding a box by pressing its pad button: a new press of a button (one not held in the pad state
// before) names that button's box. Stick directions count only when the stick is pushed to its
// edge, so that a resting or drifting stick never moves the focus. A press never opens anything.
// Time is an argument: the front end passes its own clock's milliseconds.
#pragma once

#include "core/Console.h"
#include "core/PadState.h"

#include <cstdint>
#include <optional>

namespace velorin {

// How far from its end an axis still counts as pushed to the edge.
inline constexpr uint8_t kStickEdgeMargin = 0x10;

// The buttons of `console` held in `state` for finding a box, one bit per PadButton (bit = its
// position in the enum): the lit lamps, a stick direction only at its edge.
uint32_t padPressMask(const JoyState& state, ConsoleId console);

class PadPressTracker {
public:
    // A stream of presses (a pad script, a demo) moves the window's focus at most this often, so
    // that it costs no more than a few redraws a second; a hand does not press faster.
    static constexpr uint64_t kReportsAtMostEveryMs = 100;

    // `atMostEveryMs`: the shortest time between two reported presses (0: every press), what a
    // focus move costs the front end.
    explicit PadPressTracker(uint64_t atMostEveryMs = kReportsAtMostEveryMs)
        : atMostEveryMs_(atMostEveryMs) {}

    // A pad state arrived at `nowMs` (any clock that does not go back). Returns the new press (the
    // first in button order when several began together), if any. `quiet` states are followed (so
    // that a button held meanwhile is not new afterwards) but report nothing.
    std::optional<PadButton> onState(const JoyState& state, ConsoleId console, uint64_t nowMs, bool quiet);
    // The console changed or the pad went: what is held now is not new.
    void reset(const JoyState& state, ConsoleId console);

private:
    uint64_t atMostEveryMs_;
    JoyState last_{};
    uint32_t held_ = 0;
    std::optional<uint64_t> lastReportAt_;
};

} // namespace velorin
