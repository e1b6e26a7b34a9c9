#include "device/hid/ReportDescriptor.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <limits>

namespace velorin::hid {
namespace {

enum ItemType : uint8_t { kMain = 0, kGlobal = 1, kLocal = 2, kReserved = 3 };

// Main item tags.
constexpr uint8_t kTagInput = 0x8;
constexpr uint8_t kTagOutput = 0x9;
constexpr uint8_t kTagCollection = 0xA;
constexpr uint8_t kTagFeature = 0xB;
constexpr uint8_t kTagEndCollection = 0xC;
// Global item tags.
constexpr uint8_t kTagUsagePage = 0x0;
constexpr uint8_t kTagReportSize = 0x7;
constexpr uint8_t kTagReportId = 0x8;
constexpr uint8_t kTagReportCount = 0x9;
constexpr uint8_t kTagPush = 0xA;
constexpr uint8_t kTagPop = 0xB;
// Local item tags.
constexpr uint8_t kTagUsage = 0x0;
constexpr uint8_t kTagUsageMinimum = 0x1;
constexpr uint8_t kLongItemPrefix = 0xFE;

struct Globals {
    uint32_t usagePage = 0;
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint32_t reportId = 0;
};

// Bits per report ID for the three report kinds of the top-level collection being read. Top-level
// collections follow one another, so one table serves them all and is cleared between them.
struct CollectionBits {
    std::array<std::array<uint64_t, 256>, 3> bits{};
    std::array<std::bitset<256>, 3> present{};
};

uint16_t lengthFromBits(uint64_t bits) {
    const uint64_t bytes = (bits + 7) / 8 + 1; // the report-ID byte always counts
    return static_cast<uint16_t>(std::min<uint64_t>(bytes, std::numeric_limits<uint16_t>::max()));
}

// Turns the table into the collection's report lengths and clears it for the next collection.
void finish(CollectionBits& c, CollectionCaps& caps) {
    uint16_t* lengths[3] = {&caps.inputReportLength, &caps.outputReportLength, &caps.featureReportLength};
    for (std::size_t kind = 0; kind < 3; ++kind) {
        uint64_t maxBits = 0;
        bool any = false;
        for (std::size_t id = 0; id < 256; ++id) {
            if (c.present[kind].test(id)) {
                any = true;
                maxBits = std::max(maxBits, c.bits[kind][id]);
                c.bits[kind][id] = 0;
            }
        }
        *lengths[kind] = any ? lengthFromBits(maxBits) : 0;
        c.present[kind].reset();
    }
}

// The parser's state between items. Each item handler returns why the descriptor is refused, or
// nullptr.
struct Parser {
    DescriptorCaps result;
    Globals g;
    std::vector<Globals> stack;
    // The first usage of the current local set; a 4-byte usage carries its own page.
    bool haveUsage = false;
    bool usageExtended = false;
    uint32_t usage = 0;
    std::size_t depth = 0;
    CollectionBits current;

    const char* global(uint8_t tag, uint32_t value) {
        switch (tag) {
        case kTagUsagePage:
            g.usagePage = value;
            break;
        case kTagReportSize:
            g.reportSize = value;
            break;
        case kTagReportId:
            if (value == 0 || value > 255)
                return "report ID out of range";
            g.reportId = value;
            result.usesReportIds = true;
            break;
        case kTagReportCount:
            g.reportCount = value;
            break;
        case kTagPush:
            if (stack.size() >= kMaxPushDepth)
                return "push stack overflow";
            stack.push_back(g);
            break;
        case kTagPop:
            if (stack.empty())
                return "pop without push";
            g = stack.back();
            stack.pop_back();
            break;
        default:
            break; // logical/physical extents, units: no effect on the figures
        }
        return nullptr;
    }

    void local(uint8_t tag, uint32_t value, std::size_t size) {
        if ((tag == kTagUsage || tag == kTagUsageMinimum) && !haveUsage) {
            haveUsage = true;
            usageExtended = size == 4;
            usage = value;
        }
    }

    const char* collection() {
        std::vector<CollectionCaps>& tlcs = result.collections;
        if (depth >= kMaxCollectionDepth)
            return "collections nested too deeply";
        if (depth == 0) {
            if (tlcs.size() >= kMaxTopLevelCollections)
                return "too many top-level collections";
            CollectionCaps& c = tlcs.emplace_back();
            // A usage without its own page takes the page current at the main item.
            const uint32_t page = usageExtended ? (usage >> 16) : g.usagePage;
            c.usagePage = static_cast<uint16_t>(page);
            c.usage = static_cast<uint16_t>(haveUsage ? usage : 0);
        }
        CollectionCaps& caps = tlcs.back();
        if (caps.linkCollectionNodes < std::numeric_limits<uint16_t>::max())
            ++caps.linkCollectionNodes;
        ++depth;
        return nullptr;
    }

    const char* report(uint8_t tag) {
        if (depth == 0)
            return "report item outside any collection";
        const int kind = tag == kTagInput ? 0 : tag == kTagOutput ? 1 : 2;
        // Saturate far above any representable length, so no sum can wrap.
        constexpr uint64_t kCap = uint64_t{1} << 40;
        const uint64_t add = std::min<uint64_t>(static_cast<uint64_t>(g.reportSize) * g.reportCount, kCap);
        uint64_t& bits = current.bits[kind][g.reportId];
        bits = std::min<uint64_t>(bits + add, kCap);
        current.present[kind].set(g.reportId);
        return nullptr;
    }

    const char* main(uint8_t tag) {
        const char* error = nullptr;
        switch (tag) {
        case kTagCollection:
            error = collection();
            break;
        case kTagEndCollection:
            if (depth == 0)
                return "end collection without collection";
            if (--depth == 0)
                finish(current, result.collections.back());
            break;
        case kTagInput:
        case kTagOutput:
        case kTagFeature:
            error = report(tag);
            break;
        default:
            break;
        }
        haveUsage = false;
        usageExtended = false;
        usage = 0;
        return error;
    }
};

} // namespace

DescriptorCaps parseReportDescriptor(std::span<const uint8_t> d) {
    Parser p;
    auto fail = [&p](const char* why) {
        p.result.collections.clear();
        p.result.error = why;
        return p.result;
    };
    if (d.size() > kMaxReportDescriptorSize)
        return fail("descriptor too long");

    std::size_t i = 0;
    while (i < d.size()) {
        const uint8_t prefix = d[i];
        if (prefix == kLongItemPrefix) {
            // Long item: prefix, data size, tag, data. No long item tags are defined; skip it.
            if (d.size() - i < 3)
                return fail("truncated long item");
            const std::size_t len = d[i + 1];
            if (d.size() - i - 3 < len)
                return fail("truncated long item");
            i += 3 + len;
            continue;
        }
        static constexpr std::array<std::size_t, 4> kSizes{0, 1, 2, 4};
        const std::size_t size = kSizes[prefix & 3];
        const auto type = static_cast<ItemType>((prefix >> 2) & 3);
        const uint8_t tag = prefix >> 4;
        if (d.size() - i - 1 < size)
            return fail("truncated item");
        uint32_t value = 0;
        for (std::size_t b = 0; b < size; ++b)
            value |= static_cast<uint32_t>(d[i + 1 + b]) << (8 * b);
        i += 1 + size;

        const char* error = nullptr;
        if (type == kGlobal)
            error = p.global(tag, value);
        else if (type == kLocal)
            p.local(tag, value, size);
        else if (type == kMain)
            error = p.main(tag);
        if (error)
            return fail(error);
    }
    // Collections still open at the end are closed there: descriptors of shipping devices omit the
    // final End Collection items and are still taken by the common desktop HID parsers.
    if (p.depth != 0)
        finish(p.current, p.result.collections.back());
    return p.result;
}

} // namespace velorin::hid
