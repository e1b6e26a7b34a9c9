// Reading and writing .kvf files and the other files velorinctl handles. Reads are bounded and
// refuse anything but regular files; writes are atomic, so a failure leaves the earlier file as
// it was and never a partial one.
#pragma once

#include "Ctl.h"

#include "core/Result.h"
#include "core/WorkMode.h"

#include <QByteArray>
#include <QString>

namespace velorin::ctl {

// The largest JSON file import reads.
inline constexpr qint64 kMaxJsonFileSize = 1 << 20;

// A file velorinctl cannot use: the exit code that says so (kExitBadInput, kExitCannotWrite) and
// the one-line message (UTF-8), which names the path.
using FileError = velorin::Error<Exit>;

// A .kvf file: exactly 108 bytes, the four records in block order. Shorter and longer files are
// refused with a message saying what is wrong.
Result<WorkModeBlock, FileError> readKvfFile(const QString& path);
Status<FileError> writeKvfFile(const QString& path, const WorkModeBlock& block);

// Up to `maxBytes` of a regular file; a longer file is refused.
Result<QByteArray, FileError> readBoundedFile(const QString& path, qint64 maxBytes);
// Replaces `path` with `data` atomically.
Status<FileError> writeFileAtomically(const QString& path, const QByteArray& data);

} // namespace velorin::ctl
