#include "core/Identity.h"

#include <algorithm>

namespace velorin {
namespace {

// Short-item prefixes: the item's tag and type, with the size bits (0) left for add() to set.
enum Prefix : uint8_t {
    UsagePage = 0x04,
    LogicalMinimum = 0x14,
    LogicalMaximum = 0x24,
    ReportSize = 0x74,
    ReportCount = 0x94,
    Usage = 0x08,
    Input = 0x80,
    Output = 0x90,
    Feature = 0xB0,
    Collection = 0xA0,
    EndCollection = 0xC0,
};

constexpr uint8_t kApplication = 0x01;
constexpr uint8_t kPhysical = 0x00;
constexpr uint8_t kDataVariableAbsolute = 0x02;
// Nested collections beyond the top-level one are capped here.
constexpr int kMaxNested = 15;

class Writer {
public:
    // One item with its value in as few bytes as hold it: 1 or 2, little-endian. Logical values
    // are signed, so 255 takes two bytes there.
    void add(Prefix prefix, unsigned value, bool isSigned = false) {
        const bool oneByte = value <= (isSigned ? 0x7Fu : 0xFFu);
        bytes.push_back(static_cast<uint8_t>(prefix | (oneByte ? 1 : 2)));
        bytes.push_back(static_cast<uint8_t>(value & 0xFF));
        if (!oneByte)
            bytes.push_back(static_cast<uint8_t>(value >> 8 & 0xFF));
    }
    void end() { bytes.push_back(EndCollection); }
    // A field of `count` bytes of one report kind (Usage 1 of the page); nothing for no bytes.
    void field(Prefix kind, unsigned count) {
        if (count == 0)
            return;
        add(Usage, 1);
        add(ReportCount, count);
        add(kind, kDataVariableAbsolute);
    }

    std::vector<uint8_t> bytes;
};

} // namespace

std::vector<uint8_t> reportDescriptorFor(const HidIdentity& identity) {
    const int nested =
        identity.linkCollections > 1 ? std::min<int>(identity.linkCollections - 1, kMaxNested) : 0;
    Writer w;
    w.add(UsagePage, identity.usagePage);
    w.add(Usage, identity.usage);
    w.add(Collection, kApplication);
    for (int i = 0; i < nested; ++i) {
        w.add(Usage, identity.usage);
        w.add(Collection, kPhysical);
    }
    w.add(LogicalMinimum, 0, true);
    w.add(LogicalMaximum, 0xFF, true);
    w.add(ReportSize, 8);
    w.field(Input, identity.inputBytes);
    w.field(Output, identity.outputBytes);
    w.field(Feature, identity.featureBytes);
    for (int i = 0; i < nested; ++i)
        w.end();
    w.end();
    return w.bytes;
}

} // namespace velorin
