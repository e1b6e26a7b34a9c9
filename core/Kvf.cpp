#include "core/Kvf.h"

namespace velorin::kvf {

Result<WorkModeBlock, Error> blockFromFileBytes(std::span<const uint8_t> bytes, SizeRule rule,
                                                int64_t fileSize) {
    const auto length = static_cast<int64_t>(bytes.size());
    if (bytes.size() < kFileSize) {
        Error e;
        e.kind = ErrorKind::TooShort;
        e.size = length;
        return e;
    }
    if (bytes.size() > kFileSize && rule == SizeRule::ExactlyBlock) {
        Error e;
        e.kind = ErrorKind::TooLong;
        e.size = fileSize >= 0 ? fileSize : length;
        return e;
    }
    WorkModeBlock block;
    block.replaceAll(bytes.first<kFileSize>());
    return block;
}

} // namespace velorin::kvf
