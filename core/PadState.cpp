#include "core/PadState.h"

#include <algorithm>

namespace velorin {

bool isJoyStateValid(const JoyState& state) {
    return state[0] == kPadMarker0 && state[1] == kPadMarker1;
}

bool lampOn(const JoyState& state, PadButton button) {
    if (!isJoyStateValid(state))
        return false;
    const LampRule rule = lampRule(button);
    const uint8_t value = state[rule.index];
    constexpr uint8_t centre = 0x80;
    switch (rule.test) {
    case LampTest::Bit:
        return (value & rule.mask) != 0;
    case LampTest::Below:
        return value < centre;
    case LampTest::Above:
        return value > centre;
    }
    return false;
}

std::optional<JoyState> joyStateFromReport(std::span<const uint8_t, kInputReportSize> report) {
    if (!isPadStateReport(report))
        return std::nullopt;
    JoyState state{};
    std::copy_n(report.begin() + 1, kJoyDataSize, state.begin());
    return state;
}

JoyState neutralJoyState(const JoyState& state) {
    JoyState neutral{};
    neutral[0] = state[0];
    neutral[1] = state[1];
    std::fill(neutral.begin() + 2, neutral.begin() + 6, uint8_t{0x80});
    return neutral;
}

} // namespace velorin
