// The one reader and the one atomic writer of .kvf files: the 108-byte block, byte for byte, with
// no header. Every program of the suite reads and writes .kvf files through these and turns the
// error kinds into its own texts.
#pragma once

#include "model/Result.h"
#include "model/WorkMode.h"

#include <QByteArrayView>
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
    CannotCreate, // the file (or its temporary) cannot be created; the earlier file is as it was
    CannotWrite,  // a write, the sync or the rename failed; the earlier file is as it was
    NotSynced,    // the new file replaced the earlier one, but its folder could not be synced, so
                  // the replacement may not survive a power loss
};

// The kind, the system's detail, and the file's length for TooShort and TooLong.
struct Error : velorin::Error<ErrorKind> {
    qint64 size = -1;
};

// Reads a .kvf file.
Result<WorkModeBlock, Error> read(const QString& path, SizeRule rule);

// Replaces `path` with `data` atomically. The bytes go into a temporary file beside it, which is
// synced and renamed over `path`, and then the folder is synced: on success the new bytes are
// complete and on disk; on any failure up to the rename the earlier file is byte for byte as it
// was and no temporary file is left. Every write, the sync and the close are checked, so a full
// disk (ENOSPC, EDQUOT, EFBIG, EIO) is an error, never an empty file.
//
// The rules of the file: a symbolic link is followed and its target replaced; an existing file
// keeps its permission bits and must be writable; a new one gets 0666 less the umask; a folder,
// FIFO or device in the way is refused. The detail of an error is the system's reason
// ("No space left on device").
Status<Error> writeAtomically(const QString& path, QByteArrayView data);
Status<Error> write(const QString& path, const WorkModeBlock& block);

// The steps of writeAtomically() once its temporary file exists. Tests make one of them fail with
// a given errno, as a disk would; WriteStep::None (or error 0) ends that.
enum class WriteStep { None, Write, SyncFile, Close, Rename, SyncFolder };
void failStepForTesting(WriteStep step, int error);

} // namespace velorin::kvf
