// The one reader and the one atomic writer of .kvf files: the 108-byte block, byte for byte, with
// no header. Every program of the suite reads and writes .kvf files through these and turns the
// error kinds into its own texts.
#pragma once

#include "core/Kvf.h"
#include "core/Result.h"
#include "core/WorkMode.h"

#include <QByteArrayView>
#include <QString>

namespace velorin::kvf {

// SizeRule, ErrorKind and Error are the core's (core/Kvf.h): the byte rule every front end shares.

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
