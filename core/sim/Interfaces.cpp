#include "core/sim/Interfaces.h"

#include "core/Identity.h"

#include <algorithm>
#include <array>

namespace velorin::sim {
namespace {

struct KindName {
    Kind kind;
    const char* name;
};
constexpr std::array<KindName, 7> kKinds{{
    {Kind::Adapter, "adapter"},
    {Kind::Keyboard, "keyboard"},
    {Kind::Mouse, "mouse"},
    {Kind::Feature, "feature"},
    {Kind::Input64, "input64"},
    {Kind::OtherPage, "page"},
    {Kind::TwoLinks, "twolinks"},
}};

// Ids of other devices: a vendor that is not the adapter's.
constexpr uint16_t kOtherVendor = 0x1D6B;
constexpr uint16_t kKeyboardProduct = 0x0104;
constexpr uint16_t kMouseProduct = 0x0102;

// A boot keyboard: modifiers, a reserved byte, five LEDs out, six key slots (8-byte reports).
const std::vector<uint8_t> kKeyboardDescriptor = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,
    0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01,
    0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06,
    0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};

// A three-button wheel mouse: buttons, X, Y, wheel (4-byte reports).
const std::vector<uint8_t> kMouseDescriptor = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19,
    0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,
    0x95, 0x01, 0x75, 0x05, 0x81, 0x03, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x09,
    0x38, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x03, 0x81, 0x06, 0xC0, 0xC0};

} // namespace

std::optional<Kind> kindFromName(std::string_view name) {
    const auto it =
        std::find_if(kKinds.begin(), kKinds.end(), [&](const KindName& k) { return name == k.name; });
    return it == kKinds.end() ? std::nullopt : std::optional(it->kind);
}

const char* kindName(Kind kind) {
    const auto it =
        std::find_if(kKinds.begin(), kKinds.end(), [&](const KindName& k) { return kind == k.kind; });
    return it == kKinds.end() ? "?" : it->name;
}

InterfaceIdentity interfaceIdentity(Kind kind) {
    switch (kind) {
    case Kind::Keyboard:
        return {kOtherVendor, kKeyboardProduct, kKeyboardDescriptor, 8, 1};
    case Kind::Mouse:
        return {kOtherVendor, kMouseProduct, kMouseDescriptor, 4, 2};
    default:
        break;
    }
    // The adapter's identity, one figure changed for a near miss.
    HidIdentity figures = kAdapterIdentity;
    switch (kind) {
    case Kind::Feature:
        figures.featureBytes = 8;
        break;
    case Kind::Input64:
        figures.inputBytes = 64;
        break;
    case Kind::OtherPage:
        figures.usagePage = static_cast<uint16_t>(figures.usagePage + 1);
        break;
    case Kind::TwoLinks:
        figures.linkCollections = 2;
        break;
    default:
        break;
    }
    const auto longest = std::max({figures.inputBytes, figures.outputBytes, figures.featureBytes});
    return {figures.vendorId, figures.productId, reportDescriptorFor(figures), longest, 0};
}

} // namespace velorin::sim
