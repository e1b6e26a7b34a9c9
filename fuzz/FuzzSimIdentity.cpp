// Any packet as the identity a simulated interface hands over on connection.
#include "device/hid/ReportDescriptor.h"
#include "device/hid/SimBus.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const auto id = velorin::hid::sim::decodeIdentity({data, size});
    if (!id)
        return 0;
    if (id->descriptor.size() > velorin::hid::sim::kMaxDescriptorSize)
        std::abort();
    // Encoding what was decoded and decoding that again gives the same identity (the encoding is
    // always the current version, so older packets do not come back byte for byte).
    const auto again = velorin::hid::sim::decodeIdentity(velorin::hid::sim::encodeIdentity(*id));
    if (!again || again->busType != id->busType || again->vendorId != id->vendorId ||
        again->productId != id->productId || again->descriptor != id->descriptor ||
        again->interruptOut.value_or(false) != id->interruptOut.value_or(false))
        std::abort();
    (void)velorin::hid::parseReportDescriptor(id->descriptor);
    return 0;
}
