#include "VirtualAdapter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

namespace velorin::hw {
namespace {

// The adapter's report descriptor: one vendor-defined application collection (usage page 0xFFC0,
// usage 1) with a 32-byte input report and a 64-byte output report, no report IDs, no feature.
constexpr uint8_t kDescriptor[] = {
    0x06, 0xC0, 0xFF, // Usage Page (0xFFC0)
    0x09, 0x01,       // Usage (1)
    0xA1, 0x01,       // Collection (Application)
    0x09, 0x02,       //   Usage (2)
    0x15, 0x00,       //   Logical Minimum (0)
    0x26, 0xFF, 0x00, //   Logical Maximum (255)
    0x75, 0x08,       //   Report Size (8)
    0x95, 0x20,       //   Report Count (32)
    0x81, 0x02,       //   Input (Data, Variable, Absolute)
    0x09, 0x03,       //   Usage (3)
    0x95, 0x40,       //   Report Count (64)
    0x91, 0x02,       //   Output (Data, Variable, Absolute)
    0xC0,             // End Collection
};

constexpr uint16_t kBusUsb = 0x03;

bool writeEvent(int fd, const uhid_event& ev) {
    for (;;) {
        const ssize_t n = ::write(fd, &ev, sizeof ev);
        if (n == static_cast<ssize_t>(sizeof ev))
            return true;
        if (n < 0 && errno == EINTR)
            continue;
        return false;
    }
}

int slotOf(uint8_t console) {
    switch (console) {
    case 1:
        return 0;
    case 2:
        return 1;
    case 4:
        return 2;
    case 3:
        return 3;
    default:
        return -1;
    }
}

} // namespace

std::string VirtualAdapter::unavailableReason() {
    const int fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return std::string("/dev/uhid cannot be opened: ") + std::strerror(errno) +
               " (needs the uhid module and root, or write access to /dev/uhid)";
    ::close(fd);
    return {};
}

VirtualAdapter::VirtualAdapter() {
    for (std::size_t s = 0; s < records_.size(); ++s) {
        records_[s][0] = static_cast<uint8_t>(s == 2 ? 4 : s == 3 ? 3 : s + 1);
        for (std::size_t b = 1; b < 27; ++b)
            records_[s][b] = static_cast<uint8_t>(0x04 + s * 27 + b);
    }
}

VirtualAdapter::~VirtualAdapter() {
    unplug();
}

bool VirtualAdapter::plug(std::string* error) {
    if (fd_ >= 0)
        return true;
    fd_ = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd_ < 0) {
        if (error)
            *error = std::string("/dev/uhid: ") + std::strerror(errno);
        return false;
    }
    uhid_event ev{};
    ev.type = UHID_CREATE2;
    std::strncpy(reinterpret_cast<char*>(ev.u.create2.name), "Velorin virtual adapter",
                 sizeof ev.u.create2.name - 1);
    ev.u.create2.rd_size = sizeof kDescriptor;
    ev.u.create2.bus = kBusUsb;
    ev.u.create2.vendor = 0x0888;
    ev.u.create2.product = 0x8831;
    std::memcpy(ev.u.create2.rd_data, kDescriptor, sizeof kDescriptor);
    if (!writeEvent(fd_, ev)) {
        if (error)
            *error = std::string("UHID_CREATE2: ") + std::strerror(errno);
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    stop_ = false;
    thread_ = std::thread([this] { loop(); });
    return true;
}

void VirtualAdapter::unplug() {
    if (fd_ < 0)
        return;
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    uhid_event ev{};
    ev.type = UHID_DESTROY;
    writeEvent(fd_, ev);
    ::close(fd_);
    fd_ = -1;
}

bool VirtualAdapter::sendInput(const std::array<uint8_t, 32>& data) {
    if (fd_ < 0)
        return false;
    uhid_event ev{};
    ev.type = UHID_INPUT2;
    ev.u.input2.size = data.size();
    std::memcpy(ev.u.input2.data, data.data(), data.size());
    return writeEvent(fd_, ev);
}

std::array<VirtualAdapter::Record, 4> VirtualAdapter::records() const {
    std::lock_guard lock(mutex_);
    return records_;
}

void VirtualAdapter::setRecords(const std::array<Record, 4>& records) {
    std::lock_guard lock(mutex_);
    records_ = records;
}

std::vector<VirtualAdapter::Received> VirtualAdapter::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

void VirtualAdapter::loop() {
    while (!stop_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        uhid_event ev{};
        const ssize_t n = ::read(fd_, &ev, sizeof ev);
        if (n <= 0)
            continue;
        switch (ev.type) {
        case UHID_OUTPUT:
            onOutput(ev.u.output.data, ev.u.output.size, "output");
            break;
        case UHID_SET_REPORT: {
            onOutput(ev.u.set_report.data, ev.u.set_report.size, "set_report");
            uhid_event reply{};
            reply.type = UHID_SET_REPORT_REPLY;
            reply.u.set_report_reply.id = ev.u.set_report.id;
            reply.u.set_report_reply.err = 0;
            writeEvent(fd_, reply);
            break;
        }
        case UHID_GET_REPORT: {
            uhid_event reply{};
            reply.type = UHID_GET_REPORT_REPLY;
            reply.u.get_report_reply.id = ev.u.get_report.id;
            reply.u.get_report_reply.err = EIO; // the adapter has no feature or input report to fetch
            writeEvent(fd_, reply);
            break;
        }
        default:
            break; // START, STOP, OPEN, CLOSE
        }
    }
}

void VirtualAdapter::onOutput(const uint8_t* data, std::size_t size, const char* way) {
    // hidraw hands over the report ID byte (0x00) first; uhid passes it through.
    std::vector<uint8_t> bytes(data, data + std::min<std::size_t>(size, UHID_DATA_MAX));
    std::optional<std::array<uint8_t, 32>> reply;
    {
        std::lock_guard lock(mutex_);
        received_.push_back({bytes, way});
        if (bytes.size() < 5 || bytes[0] != 0x00 || bytes[2] != 0xAA || bytes[3] != 0x55)
            return;
        if (bytes[1] == 0x30 && bytes.size() >= 31) {
            const int slot = slotOf(bytes[4]);
            if (slot >= 0)
                std::copy(bytes.begin() + 4, bytes.begin() + 31, records_[std::size_t(slot)].begin());
        } else if (bytes[1] == 0x31) {
            const int slot = slotOf(bytes[4]);
            if (slot >= 0) {
                reply.emplace();
                reply->fill(0);
                std::copy(records_[std::size_t(slot)].begin(), records_[std::size_t(slot)].end(),
                          reply->begin());
            }
        }
    }
    if (reply)
        sendInput(*reply);
}

} // namespace velorin::hw
