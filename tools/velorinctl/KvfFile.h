// Reading and writing .kvf files and the other files velorinctl handles. Reads are bounded and
// refuse anything but regular files; writes are atomic, so a failure leaves the earlier file as
// it was and never a partial one.
#pragma once

#include "Ctl.h"

#include "model/Result.h"
#include "model/WorkMode.h"

#include <QByteArray>
#include <QString>

namespace velorin::ctl {

// The largest JSON file import reads.
inline constexpr qint64 kMaxJsonFileSize = 1 << 20;

// A file velorinctl cannot use: the exit code that says so (kExitBadInput, kExitCannotWrite) and
// the one-line message, which names the path.
using FileError = velorin::Error<Exit>;

// A .kvf file: exactly 108 bytes, the four records in block order. Shorter and longer files are
// refused with a message saying what is wrong.
Result<WorkModeBlock, FileError> readKvfFile(const QString& path);
Status<FileError> writeKvfFile(const QString& path, const WorkModeBlock& block);

// Up to `maxBytes` of a regular file; a longer file is refused.
Result<QByteArray, FileError> readBoundedFile(const QString& path, qint64 maxBytes);
// Replaces `path` with `data` atomically (kvf::writeAtomically). The message of a failure names the
// path, the system's reason, and whether the earlier file was left as it was.
Status<FileError> writeFileAtomically(const QString& path, const QByteArray& data);

} // namespace velorin::ctl
