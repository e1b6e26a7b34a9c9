// Report I/O on a file descriptor that behaves like a hidraw node: one input report per read(),
// one output report per write(), POLLHUP/POLLERR/EIO/ENODEV when the device is gone. Kept apart
// from the udev code so it can be driven over a socketpair in tests.
#pragma once

#include "device/hid/HidPlatform.h"

#include <chrono>
#include <cstdint>
#include <span>
#include <sys/types.h>

namespace velorin::hid {

// The system calls the report I/O goes through; tests replace them to inject errors such as the
// EIO and ENODEV of an unplugged node.
struct FdOps {
    ssize_t (*read)(int fd, void* buf, std::size_t count);
    ssize_t (*write)(int fd, const void* buf, std::size_t count);
};
const FdOps& systemFdOps();

// Waits until `fd` is readable, the device is gone, `stop` is raised or the time-out passes.
// timeoutMs < 0 waits without limit. Returns Report when the fd is readable.
ReadStatus waitReadable(int fd, int timeoutMs, const StopSignal* stop);

// Reads one input report from a hidraw-like fd into `out` (report ID first). When the device uses
// no report IDs the node delivers the data bytes only, so 0x00 is put in front; longer reports are
// cut to the buffer, shorter ones are padded with zeros.
ReadStatus readReportFd(int fd, std::span<uint8_t, kInputReportSize> out, bool prependReportId, int timeoutMs,
                        const StopSignal* stop, const FdOps& ops = systemFdOps());

// Takes one input report already queued on a non-blocking hidraw-like fd, in the layout of
// readReportFd, without waiting and without a poll: Timeout when none is queued, Gone when the
// device is gone. One read() per report, for a reader that takes what gathered while it slept.
ReadStatus readQueuedReportFd(int fd, std::span<uint8_t, kInputReportSize> out, bool prependReportId,
                              const FdOps& ops = systemFdOps());

// Writes one output report (report ID first) to a hidraw-like fd. True when the whole report was
// taken; a node that stays busy longer than `busyTimeoutMs` counts as a failed write. `failure`
// (when given) says how a failed write ended: ENODEV, ESHUTDOWN, ENXIO or a hang-up mean the device
// went away, ETIMEDOUT or a node busy to the end that it did not answer, anything else (EPIPE for a
// stalled transfer, EIO, a partial report) that it refused the report.
bool writeReportFd(int fd, std::span<const uint8_t, kOutputReportSize> report, int busyTimeoutMs = 1000,
                   const FdOps& ops = systemFdOps(), WriteFailure* failure = nullptr);

// Milliseconds left until `deadline` (never negative); -1 when there is no deadline.
int remainingMs(std::chrono::steady_clock::time_point deadline, bool hasDeadline);

} // namespace velorin::hid
