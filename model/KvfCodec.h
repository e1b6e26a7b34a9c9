// The one reader and the one atomic writer of .kvf files: the 108-byte block, byte for byte, with
// no header. Every program of the suite reads and writes .kvf files through these and turns the
// error kinds into its own texts.
#pragma once

#include "core/Kvf.h"
#include "core/Result.h"
#include "core/WorkMode.h"

#include <QByteArrayView>
#include <QIODevice>
#include <QString>

namespace velorin::kvf {

// SizeRule, ErrorKind and Error are the core's (core/Kvf.h): the byte rule every front end shares.

// Reads a .kvf file.
Result<WorkModeBlock, Error> read(const QString& path, SizeRule rule);

// Replaces `path` with `data` atomically: the file changes only when every byte was written.
Status<Error> writeAtomically(const QString& path, QByteArrayView data);
Status<Error> write(const QString& path, const WorkModeBlock& block);

// How writeAtomically() puts bytes into the file; tests replace it to simulate a short or failed
// write. nullptr restores the real one.
using Writer = qint64 (*)(QIODevice& file, const char* data, qint64 size);
void setWriterForTesting(Writer writer);

} // namespace velorin::kvf
