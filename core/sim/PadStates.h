// The live pad states the simulator sends to its adapters: one from a control line, the demo's
// walk over the buttons, or a script's lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velorin::sim {

// Data bytes after the A1 C4 marker that a pad state may set.
inline constexpr std::size_t kPadStateBytes = 30;
// Pad states per second for the demo and a script.
inline constexpr double kMinRate = 0.1;
inline constexpr double kMaxRate = 1000.0;

// A rate in kMinRate..kMaxRate; nullopt for anything else.
std::optional<double> parseRate(const std::string& text);

// A1 C4 followed by `bytes` (at most 30), the rest neutral: sticks 80, everything else 0.
std::vector<uint8_t> padState(std::span<const uint8_t> bytes = {});
// State number `step` of the demo (it starts over after the last).
std::vector<uint8_t> demoPadState(std::size_t step);
// The states of a script: one line each, hex bytes after the marker, `#` comments; nullopt with
// `error` set at the first bad line. (velorin-sim reads the file: tools/velorin-sim/Files.h.)
std::optional<std::vector<std::vector<uint8_t>>> parseScript(std::string_view text, std::string* error);

} // namespace velorin::sim
