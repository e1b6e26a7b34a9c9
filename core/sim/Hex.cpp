#include "core/sim/Hex.h"

namespace velorin::sim {

std::optional<std::vector<uint8_t>> parseHex(const std::string& text, std::size_t max) {
    std::vector<uint8_t> out;
    int hi = -1;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == ':')
            continue;
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else
            return std::nullopt;
        if (hi < 0) {
            hi = v;
        } else {
            if (out.size() >= max)
                return std::nullopt;
            out.push_back(static_cast<uint8_t>(hi << 4 | v));
            hi = -1;
        }
    }
    if (hi >= 0)
        return std::nullopt;
    return out;
}

std::string toHex(std::span<const uint8_t> bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (const uint8_t b : bytes) {
        s.push_back(digits[b >> 4]);
        s.push_back(digits[b & 15]);
    }
    return s;
}

} // namespace velorin::sim
