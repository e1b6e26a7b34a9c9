#include "device/hid/HidPlatform.h"

#include "device/hid/SimBus.h"
#include "model/Log.h"

#include <cerrno>
#include <cstdlib>
#include <mutex>
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

namespace {

std::mutex& platformMutex() {
    static std::mutex m;
    return m;
}

std::unique_ptr<HidPlatform>& platformSlot() {
    static std::unique_ptr<HidPlatform> p;
    return p;
}

} // namespace

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

HidPlatform& platform() {
    std::lock_guard lock(platformMutex());
    auto& slot = platformSlot();
    if (!slot) {
        // VELORIN_SIM_BUS selects the simulated bus for any program of the suite.
        const char* bus = std::getenv("VELORIN_SIM_BUS");
        if (bus && *bus) {
            qCInfo(velorin::lcSoui) << "using the simulated HID bus in" << bus;
            slot = makeSimPlatform(bus);
        } else {
            slot = makeHidrawPlatform();
        }
    }
    return *slot;
}

void setPlatform(std::unique_ptr<HidPlatform> p) {
    std::lock_guard lock(platformMutex());
    platformSlot() = std::move(p);
}

} // namespace velorin::hid
