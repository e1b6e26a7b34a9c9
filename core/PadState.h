// The live pad state: the first 12 data bytes of the last pad-state input report (`joyData`),
// when it is valid, and which status lamp each button's test lights.
#pragma once

#include "core/Console.h"
#include "core/Reports.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace velorin {

inline constexpr std::size_t kJoyDataSize = 12;
// Data bytes 0-11 of a live pad-state report: 0-1 marker A1 C4, 2-3 left stick X/Y, 4-5 two more
// axes, 8-9 button bits, 10 direction pad bits.
using JoyState = std::array<uint8_t, kJoyDataSize>;
static_assert(sizeof(JoyState) == 12);

// Whether the state carries the A1 C4 marker.
bool isJoyStateValid(const JoyState& state);

// Whether the lamp of `button` is on for `state`: requires a valid state; stick tests are strict
// (exactly 0x80 lights neither lamp of that axis). SHARE and CAPTURE both test index 9 bit 7; which
// of the two a console has is the caller's business.
bool lampOn(const JoyState& state, PadButton button);

// Data bytes 0-11 of an input report when it is a live pad state; nothing for any other report.
std::optional<JoyState> joyStateFromReport(std::span<const uint8_t, kInputReportSize> report);

// The state a console selection leaves: indexes 2-5 0x80, indexes 6-11 0, the marker bytes 0-1
// as they were.
JoyState neutralJoyState(const JoyState& state);

} // namespace velorin
