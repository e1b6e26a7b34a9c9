// The one reader and the one atomic writer of .kvf files: the 108-byte block, byte for byte, with
// no header. Every program of the suite reads and writes .kvf files through these and turns the
// error kinds into its own texts.
#pragma once

#include "model/Result.h"
#include "model/WorkMode.h"

#include <QByteArrayView>
#include <QIODevice>
#include <QString>

namespace velorin::kvf {

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
    qint64 size = -1;
};

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
