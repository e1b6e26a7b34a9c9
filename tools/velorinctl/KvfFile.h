// Reading and writing .kvf files and the other files velorinctl handles. Reads are bounded and
// refuse anything but regular files; writes are atomic, so a failure leaves the earlier file as
// it was and never a partial one.
#pragma once

#include "model/WorkMode.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace velorin::ctl {

// The largest JSON file import reads.
inline constexpr qint64 kMaxJsonFileSize = 1 << 20;

// A .kvf file: exactly 108 bytes, the four records in block order. Shorter and longer files are
// refused with a message saying what is wrong.
std::optional<WorkModeBlock> readKvfFile(const QString& path, QString* error);
bool writeKvfFile(const QString& path, const WorkModeBlock& block, QString* error);

// Up to `maxBytes` of a regular file; a longer file is refused.
std::optional<QByteArray> readBoundedFile(const QString& path, qint64 maxBytes, QString* error);
// Replaces `path` with `data` atomically.
bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error);

} // namespace velorin::ctl
