// The adapter's identity as the page and the stand-in see it: the core's one record of it
// (core/Identity.h). The page asks the browser's chooser for these ids and checks a device's
// collections against these figures; the stand-in presents them.
#include "core/Identity.h"

#include <emscripten/emscripten.h>

#include <array>
#include <cstdint>

extern "C" {

// Eight numbers: vendor, product, usage page, usage, the data bytes of the largest input, output
// and feature report (0: none), and the number of link collections.
EMSCRIPTEN_KEEPALIVE const uint32_t* vw_adapter_identity() {
    static constexpr velorin::HidIdentity id = velorin::kAdapterIdentity;
    static constexpr std::array<uint32_t, 8> figures{id.vendorId,     id.productId,      id.usagePage,
                                                     id.usage,        id.inputBytes,     id.outputBytes,
                                                     id.featureBytes, id.linkCollections};
    return figures.data();
}

} // extern "C"
