// The .kvf file as bytes: the 108-byte block, the four records in block order, with no header.
// Reading and writing the file itself is each front end's (model/KvfCodec.h for the window and the
// tools); the rule for which bytes make a block, and the error kinds every front end reports, are
// here.
#pragma once

#include "core/Result.h"
#include "core/WorkMode.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace velorin::kvf {

inline constexpr std::size_t kFileSize = kBlockSize;

// How long a file may be. The window and the simulator's seed take the first 108 bytes of a longer
// file; velorinctl and the simulator's flash file want exactly 108.
enum class SizeRule { AtLeastBlock, ExactlyBlock };

enum class ErrorKind {
    None,
    NotFound,     // no such file
    NotRegular,   // a folder, FIFO or device: never opened, since reading one may block for ever
    CannotOpen,   // exists but cannot be opened for reading
    CannotRead,   // a read failed
    TooShort,     // fewer than 108 bytes
    TooLong,      // more than 108 bytes under ExactlyBlock
    CannotCreate, // the file (or its temporary) cannot be created
    CannotWrite,  // a write or the final rename failed; the earlier file is as it was
};

// The kind, the system's detail, and the file's length for TooShort and TooLong.
struct Error : velorin::Error<ErrorKind> {
    int64_t size = -1;
};

// The block a file holds, from the start of its bytes: the first 108 bytes, taken as they are.
// `bytes` need not be the whole file, only at least one byte past the block when the file is
// longer; `fileSize` is the whole file's length when known (for TooLong), else bytes.size().
Result<WorkModeBlock, Error> blockFromFileBytes(std::span<const uint8_t> bytes, SizeRule rule,
                                                int64_t fileSize = -1);

} // namespace velorin::kvf
