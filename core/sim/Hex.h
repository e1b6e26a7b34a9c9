// Hex text of the control lines and the log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velorin::sim {

// Parses hex digits, ignoring spaces; nullopt for odd counts, other characters or more than `max` bytes.
std::optional<std::vector<uint8_t>> parseHex(const std::string& text, std::size_t max);
std::string toHex(std::span<const uint8_t> bytes);

} // namespace velorin::sim
