#include "core/sim/PadStates.h"

#include "core/Reports.h"
#include "core/sim/Hex.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace velorin::sim {
namespace {

// The buttons the demo presses one after another: (data byte, bit mask), then the stick
// directions as (data byte, value).
struct Step {
    std::size_t index;
    uint8_t value;
    bool stick;
};
constexpr Step kPattern[] = {
    {8, 0x01, false},  {8, 0x02, false},  {8, 0x08, false},  {8, 0x10, false}, {8, 0x40, false},
    {8, 0x80, false},  {9, 0x01, false},  {9, 0x02, false},  {9, 0x04, false}, {9, 0x08, false},
    {9, 0x10, false},  {9, 0x20, false},  {9, 0x40, false},  {9, 0x80, false}, {10, 0x01, false},
    {10, 0x02, false}, {10, 0x04, false}, {10, 0x08, false}, {3, 0x00, true},  {3, 0xFF, true},
    {2, 0x00, true},   {2, 0xFF, true},
};

} // namespace

std::optional<double> parseRate(const std::string& text) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (!end || *end || !(v >= kMinRate && v <= kMaxRate))
        return std::nullopt;
    return v;
}

std::vector<uint8_t> padState(std::span<const uint8_t> bytes) {
    std::vector<uint8_t> r(kInputReportSize - 1, 0);
    r[0] = kPadMarker0;
    r[1] = kPadMarker1;
    for (std::size_t i = 2; i <= 5; ++i)
        r[i] = 0x80;
    std::copy_n(bytes.begin(), std::min(bytes.size(), kPadStateBytes), r.begin() + 2);
    return r;
}

std::vector<uint8_t> demoPadState(std::size_t step) {
    const Step& s = kPattern[step % std::size(kPattern)];
    auto r = padState();
    if (s.stick)
        r[s.index] = s.value;
    else
        r[s.index] |= s.value;
    return r;
}

std::optional<std::vector<std::vector<uint8_t>>> parseScript(std::string_view text, std::string* error) {
    std::vector<std::vector<uint8_t>> states;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string line(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line[0] == '#')
            continue;
        const auto bytes = parseHex(line, kPadStateBytes);
        if (!bytes) {
            if (error)
                *error = "bad script line: " + line.substr(0, 80);
            return std::nullopt;
        }
        states.push_back(padState(*bytes));
    }
    return states;
}

} // namespace velorin::sim
