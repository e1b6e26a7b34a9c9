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
    // Encoding what was decoded gives the packet back.
    const auto again = velorin::hid::sim::encodeIdentity(*id);
    if (again.size() != size || !std::equal(again.begin(), again.end(), data))
        std::abort();
    (void)velorin::hid::parseReportDescriptor(id->descriptor);
    return 0;
}
