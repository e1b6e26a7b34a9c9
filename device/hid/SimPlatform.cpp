// The host side of the simulated HID bus (see SimBus.h).
#include "device/hid/FdIo.h"
#include "device/hid/HidPlatform.h"
#include "device/hid/ReportDescriptor.h"
#include "device/hid/SimBus.h"
#include "model/Log.h"

#include <QSocketNotifier>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace velorin::hid {
namespace {

constexpr int kIdentityTimeoutMs = 500;
constexpr int kAckTimeoutMs = 2000;
constexpr std::size_t kQueueLimit = 64; // like hidraw's per-descriptor queue

// Owns one file descriptor.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) {
            reset();
            fd_ = std::exchange(o.fd_, -1);
        }
        return *this;
    }
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

Fd connectTo(const std::string& path, OpenError* error) {
    auto setError = [error](OpenError e) {
        if (error)
            *error = e;
    };
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        setError(OpenError::NotFound);
        return Fd();
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    Fd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    if (fd.get() < 0) {
        setError(OpenError::Other);
        return Fd();
    }
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        const int e = errno;
        setError(e == EACCES || e == EPERM                          ? OpenError::PermissionDenied
                 : e == ENOENT || e == ECONNREFUSED || e == ENOTDIR ? OpenError::NotFound
                                                                    : OpenError::Other);
        return Fd();
    }
    setError(OpenError::None);
    return fd;
}

// Receives one packet; returns its length, 0 when the peer has gone, -1 on time-out or error.
ssize_t recvPacket(int fd, std::vector<uint8_t>& buf, int timeoutMs) {
    buf.resize(sim::kMaxMessageSize + 1);
    pollfd p{fd, POLLIN, 0};
    for (;;) {
        const int n = ::poll(&p, 1, timeoutMs);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return -1;
        break;
    }
    for (;;) {
        const ssize_t got = ::recv(fd, buf.data(), buf.size(), MSG_DONTWAIT);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return (errno == EAGAIN || errno == EWOULDBLOCK) ? -1 : 0;
        buf.resize(static_cast<std::size_t>(got));
        return got;
    }
}

DeviceInfo infoFrom(const std::string& path, const sim::Identity& id) {
    DeviceInfo info;
    info.path = path;
    info.busType = id.busType;
    info.vendorId = id.vendorId;
    info.productId = id.productId;
    info.collections = parseReportDescriptor(id.descriptor).collections;
    info.interruptOut = id.interruptOut;
    return info;
}

std::optional<sim::Identity> handshake(int fd) {
    std::vector<uint8_t> buf;
    if (recvPacket(fd, buf, kIdentityTimeoutMs) <= 0)
        return std::nullopt;
    return sim::decodeIdentity(buf);
}

class SimHandle final : public HidHandle {
public:
    SimHandle(Fd fd, DeviceInfo identity, bool usesReportIds)
        : fd_(std::move(fd)), identity_(std::move(identity)), usesReportIds_(usesReportIds) {}

    DeviceInfo identity() const override { return identity_; }

    bool setOutputReport(std::span<const uint8_t, kOutputReportSize> report) override {
        auto fail = [this](WriteFailure why) {
            writeFailure_ = why;
            return false;
        };
        std::array<uint8_t, kOutputReportSize + 1> msg{};
        msg[0] = sim::kMsgOutput;
        std::copy(report.begin(), report.end(), msg.begin() + 1);
        if (::send(fd_.get(), msg.data(), msg.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(msg.size()))
            return fail(errno == EPIPE || errno == ECONNRESET || errno == ENOTCONN ? WriteFailure::Gone
                                                                                   : WriteFailure::Refused);
        // Wait for the acknowledgement; input reports arriving meanwhile stay queued for reads.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAckTimeoutMs);
        std::vector<uint8_t> buf;
        for (;;) {
            const int left = remainingMs(deadline, true);
            const ssize_t got = recvPacket(fd_.get(), buf, left);
            if (got == 0)
                return fail(WriteFailure::Gone); // the interface was unplugged
            if (got < 0)
                return fail(WriteFailure::NoAnswer);
            if (buf[0] == sim::kMsgAck)
                return (buf.size() >= 2 && buf[1] == 1) || fail(WriteFailure::Refused);
            if (buf[0] == sim::kMsgInput)
                queue(buf);
            if (left == 0)
                return fail(WriteFailure::NoAnswer);
        }
    }
    WriteFailure lastWriteFailure() const override { return writeFailure_; }

    ReadStatus readInputReport(std::span<uint8_t, kInputReportSize> out, int timeoutMs,
                               const StopSignal* stop) override {
        if (!pending_.empty()) {
            fill(pending_.front(), out);
            pending_.pop_front();
            return ReadStatus::Report;
        }
        // A read without a wait takes what is queued without a poll first: one call per report.
        const bool wait = timeoutMs != 0;
        const bool hasDeadline = timeoutMs >= 0;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
        for (;;) {
            if (wait) {
                const ReadStatus w = waitReadable(fd_.get(), remainingMs(deadline, hasDeadline), stop);
                if (w != ReadStatus::Report)
                    return w;
            }
            const ssize_t got = receiveQueued();
            if (got == 0)
                return ReadStatus::Gone;
            if (got < 0 && !wait)
                return ReadStatus::Timeout; // nothing queued
            if (got > 0 && packet_[0] == sim::kMsgInput) {
                fill(std::span(packet_).first(static_cast<std::size_t>(got)), out);
                return ReadStatus::Report;
            }
            // A stray acknowledgement or an unknown packet: ignore it and read (or wait) on.
        }
    }

private:
    void queue(const std::vector<uint8_t>& packet) {
        if (pending_.size() >= kQueueLimit)
            pending_.pop_front();
        pending_.push_back(packet);
    }

    // Receives one queued packet into packet_ without waiting: its length, 0 when the peer has
    // gone (or the socket failed), -1 when nothing is queued.
    ssize_t receiveQueued() {
        for (;;) {
            const ssize_t got = ::recv(fd_.get(), packet_.data(), packet_.size(), MSG_DONTWAIT);
            if (got >= 0)
                return got;
            if (errno == EINTR)
                continue;
            return (errno == EAGAIN || errno == EWOULDBLOCK) ? -1 : 0;
        }
    }

    void fill(std::span<const uint8_t> packet, std::span<uint8_t, kInputReportSize> out) const {
        std::fill(out.begin(), out.end(), uint8_t{0});
        const auto data = packet.subspan(1); // past the kind byte
        const std::size_t offset = usesReportIds_ ? 0 : 1;
        const std::size_t n = std::min(data.size(), out.size() - offset);
        std::copy_n(data.begin(), n, out.begin() + static_cast<std::ptrdiff_t>(offset));
    }

    Fd fd_;
    DeviceInfo identity_;
    bool usesReportIds_;
    WriteFailure writeFailure_ = WriteFailure::Refused;
    std::deque<std::vector<uint8_t>> pending_;
    std::array<uint8_t, sim::kMaxMessageSize + 1> packet_{}; // +1: a longer packet shows as too long
};

class SimMonitor final : public HidMonitor {
public:
    SimMonitor(const std::string& busDir, QObject* parent) : HidMonitor(parent), busDir_(busDir) {
        fd_ = Fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
        if (fd_.get() < 0 || ::inotify_add_watch(fd_.get(), busDir.c_str(),
                                                 IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM) < 0) {
            qCWarning(velorin::lcSoui) << "cannot watch the simulated bus" << busDir.c_str() << errno;
            return;
        }
        notifier_ = new QSocketNotifier(fd_.get(), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &SimMonitor::drain);
    }

private:
    void drain() {
        alignas(inotify_event) std::array<char, 8192> buf;
        for (;;) {
            const ssize_t got = ::read(fd_.get(), buf.data(), buf.size());
            if (got <= 0)
                return;
            std::size_t pos = 0;
            while (pos + sizeof(inotify_event) <= static_cast<std::size_t>(got)) {
                inotify_event ev;
                std::memcpy(&ev, buf.data() + pos, sizeof ev);
                const std::size_t next = pos + sizeof(inotify_event) + ev.len;
                if (next > static_cast<std::size_t>(got))
                    break;
                const std::string name = ev.len ? std::string(buf.data() + pos + sizeof(inotify_event),
                                                              ::strnlen(buf.data() + pos + sizeof ev, ev.len))
                                                : std::string();
                pos = next;
                if (!sim::isInterfaceName(name))
                    continue;
                const QString path = QString::fromStdString(busDir_ + "/" + name);
                if (ev.mask & (IN_CREATE | IN_MOVED_TO))
                    Q_EMIT deviceArrived(path);
                else if (ev.mask & (IN_DELETE | IN_MOVED_FROM))
                    Q_EMIT deviceRemoved(path);
            }
        }
    }

    std::string busDir_;
    Fd fd_;
    QSocketNotifier* notifier_ = nullptr;
};

class SimPlatform final : public HidPlatform {
public:
    explicit SimPlatform(std::string busDir) : busDir_(std::move(busDir)) {
        while (busDir_.size() > 1 && busDir_.back() == '/')
            busDir_.pop_back();
        std::string error;
        if (!sim::ensureBusDir(busDir_, &error))
            qCWarning(velorin::lcSoui) << "simulated bus:" << error.c_str();
    }

    std::vector<DeviceInfo> enumerate() override {
        std::vector<std::string> names;
        if (DIR* dir = ::opendir(busDir_.c_str())) {
            while (const dirent* e = ::readdir(dir)) {
                const std::string name = e->d_name;
                if (sim::isInterfaceName(name) && (e->d_type == DT_SOCK || e->d_type == DT_UNKNOWN))
                    names.push_back(name);
            }
            ::closedir(dir);
        }
        std::sort(names.begin(), names.end());
        std::vector<DeviceInfo> out;
        out.reserve(names.size());
        for (const std::string& name : names) {
            const std::string path = busDir_ + "/" + name;
            if (auto id = identityFromSidecar(name)) {
                out.push_back(infoFrom(path, *id));
                continue;
            }
            Fd fd = connectTo(path, nullptr);
            if (fd.get() < 0)
                continue;
            if (auto id = handshake(fd.get()))
                out.push_back(infoFrom(path, *id));
        }
        return out;
    }

    std::unique_ptr<HidHandle> open(const std::string& path, OpenError* error) override {
        Fd fd = connectTo(path, error);
        if (fd.get() < 0)
            return nullptr;
        const auto id = handshake(fd.get());
        if (!id) {
            if (error)
                *error = OpenError::Other;
            return nullptr;
        }
        // The identity the connection itself handed over, which is what an identity check must see.
        return std::make_unique<SimHandle>(std::move(fd), infoFrom(path, *id),
                                           parseReportDescriptor(id->descriptor).usesReportIds);
    }

    std::unique_ptr<HidMonitor> createMonitor(QObject* parent) override {
        return std::make_unique<SimMonitor>(busDir_, parent);
    }

private:
    // velorin-sim leaves a copy of each identity packet in ".<name>.id", readable without a
    // connection, the way sysfs gives a hidraw node's identity without opening it.
    std::optional<sim::Identity> identityFromSidecar(const std::string& name) const {
        const std::string file = busDir_ + "/." + name + ".id";
        Fd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        if (fd.get() < 0)
            return std::nullopt;
        std::vector<uint8_t> buf(sim::kMaxMessageSize + 1);
        std::size_t have = 0;
        while (have < buf.size()) {
            const ssize_t got = ::read(fd.get(), buf.data() + have, buf.size() - have);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            have += static_cast<std::size_t>(got);
        }
        if (have > sim::kMaxMessageSize)
            return std::nullopt;
        buf.resize(have);
        return sim::decodeIdentity(buf);
    }

    std::string busDir_;
};

} // namespace

std::unique_ptr<HidPlatform> makeSimPlatform(const std::string& busDir) {
    return std::make_unique<SimPlatform>(busDir);
}

} // namespace velorin::hid
