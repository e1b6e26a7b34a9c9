#include "KernelSupport.h"

#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <libudev.h>
#include <poll.h>
#include <regex>
#include <sstream>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace velorin::kernel {
namespace {

constexpr const char* kQuirk = "0x0888:0x8831:0x00040000";

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::optional<std::string> readFile(const std::string& path, std::size_t limit = 1 << 16) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string data;
    char buf[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buf, sizeof buf);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || data.size() + static_cast<std::size_t>(got) > limit)
            break;
        data.append(buf, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return data;
}

int readInt(const std::string& path, int base = 10) {
    const auto text = readFile(path);
    if (!text || text->empty())
        return -1;
    return static_cast<int>(std::strtol(text->c_str(), nullptr, base));
}

std::vector<uint8_t> fromHex(const std::string& hex) {
    std::vector<uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// The hidraw handle of the hooked backend: the hook runs before each write is passed on.
class HookedHandle final : public hid::HidHandle {
public:
    HookedHandle(std::unique_ptr<hid::HidHandle> inner, std::function<void()> before)
        : inner_(std::move(inner)), before_(std::move(before)) {}
    bool setOutputReport(std::span<const uint8_t, hid::kOutputReportSize> report) override {
        before_();
        return inner_->setOutputReport(report);
    }
    hid::WriteFailure lastWriteFailure() const override { return inner_->lastWriteFailure(); }
    hid::ReadStatus readInputReport(std::span<uint8_t, hid::kInputReportSize> out, int timeoutMs,
                                    const hid::StopSignal* stop) override {
        return inner_->readInputReport(out, timeoutMs, stop);
    }
    hid::DeviceInfo identity() const override { return inner_->identity(); }

private:
    std::unique_ptr<hid::HidHandle> inner_;
    std::function<void()> before_;
};

class HookedPlatform final : public hid::HidPlatform {
public:
    explicit HookedPlatform(std::function<void(int)> beforeWrite)
        : inner_(hid::makeHidrawPlatform()), beforeWrite_(std::move(beforeWrite)) {}
    std::vector<hid::DeviceInfo> enumerate() override { return inner_->enumerate(); }
    std::unique_ptr<hid::HidHandle> open(const std::string& path, hid::OpenError* error) override {
        auto handle = inner_->open(path, error);
        if (!handle)
            return nullptr;
        return std::make_unique<HookedHandle>(std::move(handle), [this] { beforeWrite_(++writes_); });
    }
    std::unique_ptr<hid::HidMonitor> createMonitor(QObject* parent) override {
        return inner_->createMonitor(parent);
    }

private:
    std::unique_ptr<hid::HidPlatform> inner_;
    std::function<void(int)> beforeWrite_;
    std::atomic<int> writes_{0};
};

} // namespace

std::string unavailableReason() {
    if (env("VELORIN_VM") != "1")
        return "runs only inside the kernel test machine: scripts/kernel-vm -- ctest -L kernel";
    const std::string socket = env("VELORIN_GADGET_CONTROL");
    if (socket.empty() || ::access(socket.c_str(), F_OK) != 0)
        return "no gadget adapter in this machine (scripts/kernel-vm --adapter interrupt|set-report)";
    return {};
}

bool interruptVariant() {
    return env("VELORIN_VM_ADAPTER") == "interrupt";
}

Answer gadget(const std::string& line) {
    Answer answer;
    const std::string path = env("VELORIN_GADGET_CONTROL");
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        answer.final = "err cannot connect to " + path;
        if (fd >= 0)
            ::close(fd);
        return answer;
    }
    const std::string text = line + '\n';
    if (::send(fd, text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size())) {
        ::close(fd);
        answer.final = "err the control socket closed";
        return answer;
    }
    std::string buffer;
    for (;;) {
        for (std::size_t nl; (nl = buffer.find('\n')) != std::string::npos;) {
            std::string l = buffer.substr(0, nl);
            buffer.erase(0, nl + 1);
            if (l.rfind("ok", 0) == 0 || l.rfind("pong", 0) == 0 || l.rfind("err", 0) == 0) {
                answer.final = l;
                ::close(fd);
                return answer;
            }
            answer.lines.push_back(std::move(l));
        }
        pollfd p{fd, POLLIN, 0};
        char buf[4096];
        const ssize_t got = ::poll(&p, 1, kNodeTimeoutMs) > 0 ? ::read(fd, buf, sizeof buf) : -1;
        if (got <= 0) {
            answer.final = "err no answer to " + line;
            ::close(fd);
            return answer;
        }
        buffer.append(buf, static_cast<std::size_t>(got));
    }
}

std::vector<Received> received() {
    std::vector<Received> out;
    for (const std::string& l : gadget("received").lines) {
        std::istringstream in(l);
        std::string word, iface, way, outcome, hex;
        if (in >> word >> iface >> way >> outcome >> hex && word == "out")
            out.push_back({way, outcome, fromHex(hex)});
    }
    return out;
}

std::vector<Received> receivedAtLeast(std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kNodeTimeoutMs);
    std::vector<Received> got = received();
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        got = received();
    }
    return got;
}

std::array<Record, 4> records() {
    std::array<Record, 4> out{};
    for (const std::string& l : gadget("dump").lines) {
        std::istringstream in(l);
        std::string word, iface, hex;
        std::size_t slot = 0;
        if (in >> word >> iface >> slot >> hex && word == "record" && slot < 4) {
            const auto bytes = fromHex(hex);
            std::copy_n(bytes.begin(), std::min(bytes.size(), out[slot].size()), out[slot].begin());
        }
    }
    return out;
}

bool storeRecord(const Record& record) {
    std::string hex;
    char buf[3];
    for (const uint8_t b : record) {
        std::snprintf(buf, sizeof buf, "%02x", b);
        hex += buf;
    }
    return gadget("store " + hex).ok();
}

std::vector<Node> nodes() {
    std::vector<Node> out;
    DIR* dir = ::opendir("/sys/class/hidraw");
    if (!dir)
        return out;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.rfind("hidraw", 0) != 0)
            continue;
        const std::string sys = "/sys/class/hidraw/" + name;
        Node n;
        n.sysname = name;
        n.devnode = "/dev/" + name;
        const std::string uevent = readFile(sys + "/device/uevent").value_or("");
        const std::regex id("HID_ID=([0-9A-Fa-f:]+)");
        std::smatch m;
        if (std::regex_search(uevent, m, id))
            n.hidId = m[1];
        const auto desc = readFile(sys + "/device/report_descriptor").value_or("");
        n.descriptor.assign(desc.begin(), desc.end());
        // hidrawN/device is the HID device; its parent the USB interface, whose parent the device.
        n.interfaceNumber = readInt(sys + "/device/../bInterfaceNumber", 16);
        n.busnum = readInt(sys + "/device/../../busnum");
        n.devnum = readInt(sys + "/device/../../devnum");
        out.push_back(std::move(n));
    }
    ::closedir(dir);
    return out;
}

std::vector<Node> gadgetNodes() {
    std::vector<Node> found;
    for (Node& n : nodes())
        if (n.interfaceNumber >= 0)
            found.push_back(std::move(n));
    std::sort(found.begin(), found.end(),
              [](const Node& a, const Node& b) { return a.interfaceNumber < b.interfaceNumber; });
    return found;
}

UdevWatch::UdevWatch() : udev_(udev_new()) {
    monitor_ = udev_ ? udev_monitor_new_from_netlink(udev_, "udev") : nullptr;
    if (monitor_) {
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr);
        udev_monitor_enable_receiving(monitor_);
    }
}

UdevWatch::~UdevWatch() {
    if (monitor_)
        udev_monitor_unref(monitor_);
    if (udev_)
        udev_unref(udev_);
}

std::vector<std::string> UdevWatch::waitFor(const std::string& action, std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kNodeTimeoutMs);
    auto matching = [&] {
        std::vector<std::string> names;
        for (const auto& [a, name] : seen_)
            if (a == action)
                names.push_back(name);
        return names;
    };
    while (monitor_ && matching().size() < count && std::chrono::steady_clock::now() < deadline) {
        pollfd p{udev_monitor_get_fd(monitor_), POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0)
            continue;
        if (udev_device* d = udev_monitor_receive_device(monitor_)) {
            const char* a = udev_device_get_action(d);
            const char* name = udev_device_get_sysname(d);
            if (a && name)
                seen_.emplace_back(a, name);
            udev_device_unref(d);
        }
    }
    return matching();
}

bool unplugGadget() {
    const std::size_t present = gadgetNodes().size();
    UdevWatch watch;
    const Answer a = gadget("unplug");
    if (!a.ok())
        return a.final == "err not plugged" && present == 0;
    return watch.waitFor("remove", present).size() == present;
}

std::vector<Node> plugGadget(const std::string& kinds) {
    if (!unplugGadget())
        return {};
    const std::size_t count = static_cast<std::size_t>(std::count(kinds.begin(), kinds.end(), ' ')) + 1;
    UdevWatch watch;
    if (!gadget("plug " + kinds).ok() || watch.waitFor("add", count).size() != count)
        return {};
    std::vector<Node> found = gadgetNodes();
    return found.size() == count ? found : std::vector<Node>{};
}

bool resetGadget() {
    if (!gadget("reset").ok())
        return false;
    const auto found = plugGadget();
    return gadget("clear").ok() && found.size() == 1 && found[0].hidId == kAdapterHidId;
}

bool usbhidQuirkSet() {
    return readFile("/sys/module/usbhid/parameters/quirks").value_or("").find(kQuirk) != std::string::npos;
}

bool setUsbhidQuirk(bool on, std::string* error) {
    if (usbhidQuirkSet() == on)
        return true;
    const std::string module = env("VELORIN_VM_MODULES") + "/usbhid.ko";
    const std::size_t present = gadgetNodes().size();
    UdevWatch watch;
    // rmmod and insmod without the tools: the machine's root is the host's, which may lack kmod.
    if (::syscall(SYS_delete_module, "usbhid", O_NONBLOCK) != 0) {
        *error = std::string("cannot unload usbhid: ") + std::strerror(errno);
        return false;
    }
    const int fd = ::open(module.c_str(), O_RDONLY | O_CLOEXEC);
    const std::string params = on ? std::string("quirks=") + kQuirk : std::string();
    const bool loaded = fd >= 0 && ::syscall(SYS_finit_module, fd, params.c_str(), 0) == 0;
    const int e = errno;
    if (fd >= 0)
        ::close(fd);
    if (!loaded) {
        *error = "cannot load " + module + ": " + std::strerror(e);
        return false;
    }
    if (watch.waitFor("remove", present).size() != present ||
        watch.waitFor("add", present).size() != present) {
        *error = "the gadget's nodes did not come back after usbhid was reloaded";
        return false;
    }
    return usbhidQuirkSet() == on;
}

Usbmon::Usbmon(int bus) {
    const std::string path = "/sys/kernel/debug/usb/usbmon/" + std::to_string(bus) + "u";
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

Usbmon::~Usbmon() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::vector<std::string> Usbmon::take() {
    std::vector<std::string> lines;
    char buf[8192];
    for (;;) {
        const ssize_t got = fd_ >= 0 ? ::read(fd_, buf, sizeof buf) : -1;
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        partial_.append(buf, static_cast<std::size_t>(got));
    }
    for (std::size_t nl; (nl = partial_.find('\n')) != std::string::npos;) {
        lines.push_back(partial_.substr(0, nl));
        partial_.erase(0, nl + 1);
    }
    return lines;
}

Travelled travelled(const std::vector<std::string>& lines, int busnum, int devnum) {
    // "URB time S Io:B:DDD:2 ..." is a submission on interrupt OUT endpoint 2; a SET_REPORT of an
    // Output report with ID 0 is "S Co:B:DDD:0 s 21 09 0200 ..." and its completion
    // "C Co:B:DDD:0 STATUS ...".
    char address[32];
    std::snprintf(address, sizeof address, ":%d:%03d:", busnum, devnum);
    Travelled t;
    int interrupt = 0, setReport = 0;
    std::vector<std::string> pendingControl; // URB tags of SET_REPORT submissions
    for (const std::string& l : lines) {
        std::istringstream in(l);
        std::string tag, time, event, where;
        if (!(in >> tag >> time >> event >> where) || where.find(address) == std::string::npos)
            continue;
        const std::string kind = where.substr(0, 2);
        if (event == "S" && kind == "Io")
            ++interrupt;
        if (event == "S" && kind == "Co") {
            std::string s, type, request, value;
            if (in >> s >> type >> request >> value && s == "s" && type == "21" && request == "09" &&
                value == "0200") {
                ++setReport;
                pendingControl.push_back(tag);
            }
        }
        if (event == "C" && kind == "Co") {
            const auto it = std::find(pendingControl.begin(), pendingControl.end(), tag);
            std::string status;
            if (it != pendingControl.end() && in >> status) {
                pendingControl.erase(it);
                if (status == "-32")
                    ++t.stalled;
            }
        }
    }
    t.reports = interrupt + setReport;
    t.path = t.reports == 0 ? "none" : setReport == 0 ? "interrupt" : interrupt == 0 ? "set_report" : "mixed";
    return t;
}

std::unique_ptr<hid::HidPlatform> makeHookedHidraw(std::function<void(int)> beforeWrite) {
    return std::make_unique<HookedPlatform>(std::move(beforeWrite));
}

CtlRun runVelorinctl(const std::vector<std::string>& args) {
    QProcess p;
    QStringList list;
    for (const std::string& a : args)
        list << QString::fromStdString(a);
    p.start(QStringLiteral(VELORINCTL_PATH), list);
    CtlRun r;
    if (!p.waitForFinished(kNodeTimeoutMs))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

} // namespace velorin::kernel
