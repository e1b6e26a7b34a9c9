// Any byte string as a HID report descriptor: no crash, no read past the end, bounded work.
#include "device/hid/ReportDescriptor.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const auto caps = velorin::hid::parseReportDescriptor({data, size});
    if (!caps.ok() && !caps.collections.empty())
        std::abort(); // an error never comes with figures
    for (const auto& c : caps.collections) {
        if (c.linkCollectionNodes == 0)
            std::abort(); // a top-level collection counts itself
    }
    return 0;
}
