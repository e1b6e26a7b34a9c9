// Any bytes as a mapping link: refused with a kind and a detail, or a block whose own link gives
// the same block back.
#include "core/MappingLink.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto block = velorin::mappinglink::blockFromLink(text);
    if (!block) {
        if (block.error().detail.empty() || block.kind() == velorin::mappinglink::ErrorKind::None)
            std::abort();
        return 0;
    }
    const auto link = velorin::mappinglink::linkForBlock(*block, "http://localhost:8765/");
    if (!link)
        std::abort();
    const auto round = velorin::mappinglink::blockFromLink(*link);
    if (!round || !(*round == *block))
        std::abort();
    return 0;
}
