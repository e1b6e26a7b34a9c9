// The kinds of HID interface velorin-sim and velorin-gadget plug: the adapter, a keyboard, a
// mouse, and the near misses that share the adapter's ids and differ from it in one figure.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace velorin::sim {

enum class Kind { Adapter, Keyboard, Mouse, Feature, Input64, OtherPage, TwoLinks };

// "adapter", "keyboard", "mouse", "feature", "input64", "page", "twolinks".
std::optional<Kind> kindFromName(std::string_view name);
const char* kindName(Kind kind);

struct InterfaceIdentity {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::vector<uint8_t> descriptor;
    // The longest report in bytes, and the boot protocol (0 none, 1 keyboard, 2 mouse): what a
    // USB HID function declares besides the descriptor.
    uint16_t reportLength = 0;
    uint8_t bootProtocol = 0;
};

InterfaceIdentity interfaceIdentity(Kind kind);

} // namespace velorin::sim
