#include "InterfaceKinds.h"

#include <cstdint>
#include <initializer_list>
#include <map>
#include <vector>

namespace velorin::sim {
namespace {

constexpr uint16_t kAdapterVendor = 0x0888;
constexpr uint16_t kAdapterProduct = 0x8831;
constexpr uint32_t kBusUsb = 0x0003;

// Vendor collection: usage page 0xFFC0, usage 1, 32-byte input, 64-byte output, no report IDs.
// `variant` changes one property for the near misses.
std::vector<uint8_t> adapterDescriptor(Kind variant) {
    std::vector<uint8_t> d;
    d.reserve(48);
    // Byte by byte: GCC 12 at -O3 misjudges inserts of initializer lists here (-Wstringop-overflow).
    auto add = [&d](std::initializer_list<uint8_t> bytes) {
        for (const uint8_t b : bytes)
            d.push_back(b);
    };
    add({0x06, variant == Kind::OtherPage ? uint8_t{0xC1} : uint8_t{0xC0}, 0xFF, 0x09, 0x01, 0xA1, 0x01});
    if (variant == Kind::TwoLinks)
        add({0x09, 0x01, 0xA1, 0x00}); // a physical collection inside
    const uint8_t inCount = variant == Kind::Input64 ? 0x40 : 0x20;
    add({0x09, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, inCount, 0x81, 0x02});
    add({0x09, 0x01, 0x95, 0x40, 0x91, 0x02});
    if (variant == Kind::Feature)
        add({0x09, 0x01, 0x95, 0x08, 0xB1, 0x02});
    if (variant == Kind::TwoLinks)
        add({0xC0});
    add({0xC0});
    return d;
}

// A boot keyboard: modifiers, reserved byte, LEDs out, six key slots.
const std::vector<uint8_t> kKeyboardDescriptor = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,
    0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01,
    0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06,
    0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};

// A three-button wheel mouse.
const std::vector<uint8_t> kMouseDescriptor = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19,
    0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,
    0x95, 0x01, 0x75, 0x05, 0x81, 0x03, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x09,
    0x38, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x03, 0x81, 0x06, 0xC0, 0xC0};

} // namespace

std::optional<Kind> kindFromName(const std::string& n) {
    static const std::map<std::string, Kind> kinds = {
        {"adapter", Kind::Adapter},  {"keyboard", Kind::Keyboard}, {"mouse", Kind::Mouse},
        {"feature", Kind::Feature},  {"input64", Kind::Input64},   {"page", Kind::OtherPage},
        {"twolinks", Kind::TwoLinks}};
    const auto it = kinds.find(n);
    return it == kinds.end() ? std::nullopt : std::optional(it->second);
}

hid::sim::Identity identityFor(Kind kind) {
    hid::sim::Identity id;
    id.busType = kBusUsb;
    switch (kind) {
    case Kind::Keyboard:
        id.vendorId = 0x1D6B;
        id.productId = 0x0101;
        id.descriptor = kKeyboardDescriptor;
        break;
    case Kind::Mouse:
        id.vendorId = 0x1D6B;
        id.productId = 0x0102;
        id.descriptor = kMouseDescriptor;
        break;
    default:
        id.vendorId = kAdapterVendor;
        id.productId = kAdapterProduct;
        id.descriptor = adapterDescriptor(kind);
        break;
    }
    return id;
}

} // namespace velorin::sim
