#include "device/hid/HidPlatform.h"

#include <cerrno>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

namespace velorin::hid {

StopSignal::StopSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd_ < 0)
        throw std::runtime_error("eventfd failed");
}

StopSignal::~StopSignal() {
    if (fd_ >= 0)
        ::close(fd_);
}

void StopSignal::raise() {
    const uint64_t one = 1;
    // The counter only needs to be non-zero; a full counter (EAGAIN) is raised already.
    while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void StopSignal::reset() {
    uint64_t value = 0;
    while (::read(fd_, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

bool StopSignal::raised() const {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

OutputPath outputPath(const DeviceInfo& info) {
    if (info.usbhidQuirks & kQuirkNoOutputReportsOnIntrEp)
        return OutputPath::SetReport;
    if (!info.interruptOut)
        return OutputPath::Unknown;
    return *info.interruptOut ? OutputPath::Interrupt : OutputPath::SetReport;
}

const char* outputPathName(OutputPath path) {
    switch (path) {
    case OutputPath::Interrupt:
        return "interrupt";
    case OutputPath::SetReport:
        return "set_report";
    case OutputPath::Unknown:
        break;
    }
    return "unknown";
}

} // namespace velorin::hid
