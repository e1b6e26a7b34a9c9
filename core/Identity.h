// The adapter's identity: the one record of what makes a HID interface the adapter. Discovery and
// velorinctl doctor test interfaces against it, velorin-sim and velorin-gadget present it, and the
// web page asks the browser for it (web/wasm/identity.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velorin {

// What a HID interface shows of itself: the device's ids and the figures of its one top-level
// collection.
struct HidIdentity {
    uint16_t vendorId;
    uint16_t productId;
    uint16_t usagePage;
    uint16_t usage;
    // Data bytes of the largest report of each kind, without a report-ID byte (the adapter numbers
    // none of its reports); 0 for no report of that kind.
    uint16_t inputBytes;
    uint16_t outputBytes;
    uint16_t featureBytes;
    // The top-level collection and every collection nested in it.
    uint16_t linkCollections;

    friend bool operator==(const HidIdentity&, const HidIdentity&) = default;
};

inline constexpr HidIdentity kAdapterIdentity{
    .vendorId = 0x0888,
    .productId = 0x8831,
    .usagePage = 0xFFC0, // vendor-defined
    .usage = 0x0001,
    .inputBytes = 32,
    .outputBytes = 64,
    .featureBytes = 0,
    .linkCollections = 1,
};

// The report descriptor of one top-level collection with these figures (the ids play no part):
// byte-wide input, output and feature fields in an application collection, nested in physical
// collections as linkCollections says. For kAdapterIdentity it is the adapter's own descriptor;
// for a copy with one figure changed, a near miss that shares the adapter's ids.
std::vector<uint8_t> reportDescriptorFor(const HidIdentity& identity);

} // namespace velorin
