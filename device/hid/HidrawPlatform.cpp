// The hidraw + libudev backend.
#include "device/hid/HidrawPlatform.h"

#include "device/hid/FdIo.h"
#include "device/hid/ReportDescriptor.h"
#include "model/Log.h"

#include <QSocketNotifier>

#include <libudev.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <dirent.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace velorin::hid {
namespace {

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
    void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
};
template <typename T> using UdevPtr = std::unique_ptr<T, UdevDeleter>;

class FdHandle final : public HidHandle {
public:
    FdHandle(int fd, bool usesReportIds) : fd_(fd), usesReportIds_(usesReportIds) {}
    ~FdHandle() override {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FdHandle(const FdHandle&) = delete;
    FdHandle& operator=(const FdHandle&) = delete;

    bool setOutputReport(std::span<const uint8_t, kOutputReportSize> report) override {
        return writeReportFd(fd_, report, 1000, systemFdOps(), &writeFailure_);
    }
    WriteFailure lastWriteFailure() const override { return writeFailure_; }
    ReadStatus readInputReport(std::span<uint8_t, kInputReportSize> out, int timeoutMs,
                               const StopSignal* stop) override {
        // The node is opened non-blocking: what is queued is taken without a poll first.
        if (timeoutMs == 0)
            return readQueuedReportFd(fd_, out, !usesReportIds_);
        return readReportFd(fd_, out, !usesReportIds_, timeoutMs, stop);
    }
    DeviceInfo identity() const override { return identityOfHidrawFd(fd_); }

private:
    int fd_;
    bool usesReportIds_;
    WriteFailure writeFailure_ = WriteFailure::Refused;
};

template <typename T> bool parseHex(std::string_view s, T& out) {
    uint64_t v = 0;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 16);
    if (ec != std::errc() || p != s.data() + s.size() || s.empty() || v > std::numeric_limits<T>::max())
        return false;
    out = static_cast<T>(v);
    return true;
}

// The hidraw node's number, for a numeric order (hidraw2 before hidraw10).
long nodeNumber(const std::string& devnode) {
    const auto pos = devnode.find_last_not_of("0123456789");
    if (pos == std::string::npos || pos + 1 >= devnode.size() || devnode.size() - pos > 9)
        return -1;
    return std::stol(devnode.substr(pos + 1));
}

class HidrawMonitor final : public HidMonitor {
public:
    explicit HidrawMonitor(QObject* parent) : HidMonitor(parent), udev_(udev_new()) {
        if (!udev_)
            return;
        // The "udev" source reports devices after the rules ran, so permissions are in place.
        monitor_.reset(udev_monitor_new_from_netlink(udev_.get(), "udev"));
        if (!monitor_ ||
            udev_monitor_filter_add_match_subsystem_devtype(monitor_.get(), "hidraw", nullptr) < 0 ||
            udev_monitor_enable_receiving(monitor_.get()) < 0) {
            qCWarning(velorin::lcSoui) << "cannot monitor hidraw devices";
            monitor_.reset();
            return;
        }
        const int fd = udev_monitor_get_fd(monitor_.get());
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0)
            ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &HidrawMonitor::drain);
    }

private:
    void drain() {
        while (UdevPtr<udev_device> dev{udev_monitor_receive_device(monitor_.get())}) {
            const char* action = udev_device_get_action(dev.get());
            const char* node = udev_device_get_devnode(dev.get());
            if (!action || !node)
                continue;
            const QString path = QString::fromUtf8(node);
            if (qstrcmp(action, "add") == 0)
                Q_EMIT deviceArrived(path);
            else if (qstrcmp(action, "remove") == 0)
                Q_EMIT deviceRemoved(path);
        }
    }

    UdevPtr<udev> udev_;
    UdevPtr<udev_monitor> monitor_;
};

class HidrawPlatform final : public HidPlatform {
public:
    std::vector<DeviceInfo> enumerate() override {
        std::vector<std::pair<long, DeviceInfo>> found;
        UdevPtr<udev> u{udev_new()};
        if (!u)
            return {};
        UdevPtr<udev_enumerate> en{udev_enumerate_new(u.get())};
        if (!en || udev_enumerate_add_match_subsystem(en.get(), "hidraw") < 0 ||
            udev_enumerate_scan_devices(en.get()) < 0)
            return {};
        const auto quirks = readSmallFile(kUsbhidQuirksPath, 64 * 1024);
        udev_list_entry* entry = nullptr;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(en.get())) {
            const char* syspath = udev_list_entry_get_name(entry);
            if (!syspath)
                continue;
            UdevPtr<udev_device> dev{udev_device_new_from_syspath(u.get(), syspath)};
            const char* node = dev ? udev_device_get_devnode(dev.get()) : nullptr;
            if (!node)
                continue;
            // <syspath>/device is the HID device: identity and descriptor without opening the node.
            const std::string base = std::string(syspath) + "/device/";
            const auto uevent = readSmallFile(base + "uevent", 64 * 1024);
            const auto hidId = uevent ? parseHidIdFromUevent(*uevent) : std::nullopt;
            if (!hidId)
                continue;
            DeviceInfo info;
            info.path = node;
            info.busType = hidId->busType;
            info.vendorId = hidId->vendorId;
            info.productId = hidId->productId;
            if (const auto desc = readSmallFile(base + "report_descriptor", kMaxReportDescriptorSize)) {
                const auto* bytes = reinterpret_cast<const uint8_t*>(desc->data());
                info.collections = parseReportDescriptor(std::span(bytes, desc->size())).collections;
            }
            if (udev_device* intf =
                    udev_device_get_parent_with_subsystem_devtype(dev.get(), "usb", "usb_interface")) {
                if (const char* intfPath = udev_device_get_syspath(intf))
                    info.interruptOut = interruptOutFromSysfs(intfPath);
            }
            if (quirks)
                info.usbhidQuirks = usbhidQuirksFor(*quirks, info.vendorId, info.productId);
            found.emplace_back(nodeNumber(info.path), std::move(info));
        }
        std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
            return a.first != b.first ? a.first < b.first : a.second.path < b.second.path;
        });
        std::vector<DeviceInfo> out;
        out.reserve(found.size());
        for (auto& f : found)
            out.push_back(std::move(f.second));
        return out;
    }

    std::unique_ptr<HidHandle> open(const std::string& path, OpenError* error) override {
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            const int e = errno;
            if (error)
                *error = (e == EACCES || e == EPERM)                  ? OpenError::PermissionDenied
                         : (e == ENOENT || e == ENODEV || e == ENXIO) ? OpenError::NotFound
                                                                      : OpenError::Other;
            return nullptr;
        }
        if (error)
            *error = OpenError::None;
        return makeFdHandle(fd, descriptorUsesReportIds(path));
    }

    std::unique_ptr<HidMonitor> createMonitor(QObject* parent) override {
        return std::make_unique<HidrawMonitor>(parent);
    }

private:
    // Reads the node's descriptor from sysfs to learn whether reads carry a report-ID byte.
    static bool descriptorUsesReportIds(const std::string& devnode) {
        const auto slash = devnode.find_last_of('/');
        const std::string name = slash == std::string::npos ? devnode : devnode.substr(slash + 1);
        const auto desc = readSmallFile("/sys/class/hidraw/" + name + "/device/report_descriptor",
                                        kMaxReportDescriptorSize);
        if (!desc)
            return false;
        const auto* bytes = reinterpret_cast<const uint8_t*>(desc->data());
        return parseReportDescriptor(std::span(bytes, desc->size())).usesReportIds;
    }
};

} // namespace

std::optional<HidId> parseHidIdFromUevent(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        constexpr std::string_view key = "HID_ID=";
        if (!line.starts_with(key))
            continue;
        const std::string_view v = line.substr(key.size());
        const auto c1 = v.find(':');
        const auto c2 = c1 == std::string_view::npos ? c1 : v.find(':', c1 + 1);
        if (c2 == std::string_view::npos)
            return std::nullopt;
        HidId id;
        uint32_t vendor = 0, product = 0;
        if (!parseHex(v.substr(0, c1), id.busType) || !parseHex(v.substr(c1 + 1, c2 - c1 - 1), vendor) ||
            !parseHex(v.substr(c2 + 1), product) || vendor > 0xFFFF || product > 0xFFFF)
            return std::nullopt;
        id.vendorId = static_cast<uint16_t>(vendor);
        id.productId = static_cast<uint16_t>(product);
        return id;
    }
    return std::nullopt;
}

std::optional<bool> interruptOutFromSysfs(const std::string& usbInterfaceDir) {
    DIR* dir = ::opendir(usbInterfaceDir.c_str());
    if (!dir)
        return std::nullopt;
    bool any = false;
    bool interruptOut = false;
    auto trimmed = [](std::optional<std::string> text) {
        if (!text)
            return std::string();
        while (!text->empty() && (text->back() == '\n' || text->back() == ' '))
            text->pop_back();
        return *text;
    };
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (!name.starts_with("ep_"))
            continue;
        const std::string ep = usbInterfaceDir + "/" + name + "/";
        const std::string type = trimmed(readSmallFile(ep + "type", 64));
        const std::string direction = trimmed(readSmallFile(ep + "direction", 64));
        if (type.empty() || direction.empty())
            continue;
        any = true;
        if (type == "Interrupt" && direction == "out")
            interruptOut = true;
    }
    ::closedir(dir);
    if (!any)
        return std::nullopt; // an interface always has an endpoint: this is not one we can read
    return interruptOut;
}

uint32_t usbhidQuirksFor(std::string_view text, uint16_t vendorId, uint16_t productId) {
    uint32_t quirks = 0;
    auto number = [](std::string_view field, uint32_t& out) {
        if (field.starts_with("0x") || field.starts_with("0X"))
            field.remove_prefix(2);
        return parseHex(field, out);
    };
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find_first_of(", \n\t", pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view entry = text.substr(pos, end - pos);
        pos = end + 1;
        const auto c1 = entry.find(':');
        const auto c2 = c1 == std::string_view::npos ? c1 : entry.find(':', c1 + 1);
        if (c2 == std::string_view::npos)
            continue;
        uint32_t vid = 0, pid = 0, q = 0;
        if (number(entry.substr(0, c1), vid) && number(entry.substr(c1 + 1, c2 - c1 - 1), pid) &&
            number(entry.substr(c2 + 1), q) && vid == vendorId && pid == productId)
            quirks |= q;
    }
    return quirks;
}

DeviceInfo identityOfHidrawFd(int fd) {
    DeviceInfo info;
    hidraw_devinfo raw{};
    if (::ioctl(fd, HIDIOCGRAWINFO, &raw) < 0)
        return info;
    info.busType = raw.bustype;
    info.vendorId = static_cast<uint16_t>(raw.vendor);
    info.productId = static_cast<uint16_t>(raw.product);
    int size = 0;
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0 || size <= 0 || size > HID_MAX_DESCRIPTOR_SIZE)
        return info;
    auto desc = std::make_unique<hidraw_report_descriptor>();
    desc->size = static_cast<uint32_t>(size);
    if (::ioctl(fd, HIDIOCGRDESC, desc.get()) < 0)
        return info;
    info.collections = parseReportDescriptor(std::span<const uint8_t>(desc->value, desc->size)).collections;
    return info;
}

std::unique_ptr<HidHandle> makeFdHandle(int fd, bool usesReportIds) {
    if (const int flags = ::fcntl(fd, F_GETFL); flags >= 0 && !(flags & O_NONBLOCK))
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    return std::make_unique<FdHandle>(fd, usesReportIds);
}

std::optional<std::string> readSmallFile(const std::string& path, std::size_t limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string data;
    std::array<char, 4096> buf;
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(fd, buf.data(), buf.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        if (data.size() + static_cast<std::size_t>(got) > limit) {
            ok = false;
            break;
        }
        data.append(buf.data(), static_cast<std::size_t>(got));
    }
    ::close(fd);
    if (!ok)
        return std::nullopt;
    return data;
}

std::unique_ptr<HidPlatform> makeHidrawPlatform() {
    return std::make_unique<HidrawPlatform>();
}

} // namespace velorin::hid
