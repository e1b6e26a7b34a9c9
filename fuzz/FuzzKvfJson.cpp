// Any bytes as a velorinctl JSON import: refused with a message or taken; what was taken survives
// an export and a second import unchanged.
#include "tools/velorinctl/KvfJson.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto block = velorin::ctl::blockFromJson(json);
    if (!block) {
        if (block.error().detail.empty() || block.kind() == velorin::ctl::JsonErrorKind::None)
            std::abort();
        return 0;
    }
    const auto round = velorin::ctl::blockFromJson(velorin::ctl::blockToJson(*block));
    if (!round || !(*round == *block))
        std::abort();
    return 0;
}
