#include "device/hid/FdIo.h"

#include "model/Log.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace velorin::hid {

const FdOps& systemFdOps() {
    static constexpr FdOps ops{&::read, &::write};
    return ops;
}

int remainingMs(std::chrono::steady_clock::time_point deadline, bool hasDeadline) {
    if (!hasDeadline)
        return -1;
    // Rounded up: a wait that is handed on (a read waiting in waitReadable) must not lose a
    // millisecond at each step and end before its limit.
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<long long>(0, left.count()));
}

ReadStatus waitReadable(int fd, int timeoutMs, const StopSignal* stop) {
    const bool hasDeadline = timeoutMs >= 0;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stop ? stop->fd() : -1, POLLIN, 0}};
        const int n = ::poll(fds, stop ? 2 : 1, remainingMs(deadline, hasDeadline));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return ReadStatus::Gone;
        }
        if (stop && (fds[1].revents & POLLIN))
            return ReadStatus::Stopped;
        if (fds[0].revents & POLLIN)
            return ReadStatus::Report; // read first: data queued before a hang-up is still delivered
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            return ReadStatus::Gone;
        if (n == 0)
            return ReadStatus::Timeout;
    }
}

namespace {

enum class ReadOnce { Report, Gone, Interrupted, Empty };

// One read() of one report into `out`.
ReadOnce readOnce(int fd, std::span<uint8_t, kInputReportSize> out, bool prependReportId, const FdOps& ops) {
    std::array<uint8_t, kInputReportSize> buf{};
    uint8_t* dst = prependReportId ? buf.data() + 1 : buf.data();
    const std::size_t room = prependReportId ? buf.size() - 1 : buf.size();
    const ssize_t got = ops.read(fd, dst, room);
    if (got < 0) {
        if (errno == EINTR)
            return ReadOnce::Interrupted;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return ReadOnce::Empty;
        if (errno != EIO && errno != ENODEV)
            qCWarning(velorin::lcSoui) << "HID read failed:" << errno;
        return ReadOnce::Gone;
    }
    if (got == 0)
        return ReadOnce::Gone; // end of file: the node (or the peer standing in for it) is gone
    std::copy(buf.begin(), buf.end(), out.begin());
    return ReadOnce::Report;
}

} // namespace

ReadStatus readReportFd(int fd, std::span<uint8_t, kInputReportSize> out, bool prependReportId, int timeoutMs,
                        const StopSignal* stop, const FdOps& ops) {
    const bool hasDeadline = timeoutMs >= 0;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
    for (;;) {
        const ReadStatus w = waitReadable(fd, remainingMs(deadline, hasDeadline), stop);
        if (w != ReadStatus::Report)
            return w;
        switch (readOnce(fd, out, prependReportId, ops)) {
        case ReadOnce::Report:
            return ReadStatus::Report;
        case ReadOnce::Gone:
            return ReadStatus::Gone;
        case ReadOnce::Interrupted:
        case ReadOnce::Empty:
            break; // wait again
        }
    }
}

ReadStatus readQueuedReportFd(int fd, std::span<uint8_t, kInputReportSize> out, bool prependReportId,
                              const FdOps& ops) {
    for (;;) {
        switch (readOnce(fd, out, prependReportId, ops)) {
        case ReadOnce::Report:
            return ReadStatus::Report;
        case ReadOnce::Gone:
            return ReadStatus::Gone;
        case ReadOnce::Empty:
            return ReadStatus::Timeout;
        case ReadOnce::Interrupted:
            break;
        }
    }
}

bool writeReportFd(int fd, std::span<const uint8_t, kOutputReportSize> report, int busyTimeoutMs,
                   const FdOps& ops, WriteFailure* failure) {
    auto fail = [failure](WriteFailure why) {
        if (failure)
            *failure = why;
        return false;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(busyTimeoutMs);
    for (;;) {
        const ssize_t put = ops.write(fd, report.data(), report.size());
        if (put == static_cast<ssize_t>(report.size()))
            return true;
        if (put >= 0)
            return fail(WriteFailure::Refused); // a partial report is not a delivered report
        if (errno == EINTR)
            continue;
        if (errno == ENODEV || errno == ESHUTDOWN || errno == ENXIO)
            return fail(WriteFailure::Gone); // unplugged
        if (errno == ETIMEDOUT)
            return fail(WriteFailure::NoAnswer);
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return fail(WriteFailure::Refused); // EPIPE/EIO when the device refused the transfer
        pollfd p{fd, POLLOUT, 0};
        const int left = remainingMs(deadline, true);
        const int n = left == 0 ? 0 : ::poll(&p, 1, left);
        if (n > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)))
            return fail(WriteFailure::Gone);
        if (n == 0)
            return fail(WriteFailure::NoAnswer); // busy to the end
        if (n < 0 && errno != EINTR)
            return fail(WriteFailure::Refused);
    }
}

} // namespace velorin::hid
