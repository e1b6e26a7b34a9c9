#include "Simulator.h"

#include "core/sim/PadStates.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <poll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace velorin::sim {
namespace {

constexpr std::size_t kMaxInterfaces = 64;
constexpr std::size_t kMaxConnections = 32;
constexpr std::size_t kMaxPending = 256;
constexpr std::size_t kMaxNameSize = 40;
constexpr uint32_t kBusUsb = 0x0003;

bool writeAll(int fd, const void* data, std::size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t put = ::write(fd, p, size);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        p += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

// The acknowledgement must not be lost to a socket buffer filled by input reports: wait a little
// for room (the host drains input reports while it waits for the acknowledgement).
void sendAck(int fd, bool taken) {
    const uint8_t ack[2] = {hid::sim::kMsgAck, static_cast<uint8_t>(taken ? 1 : 0)};
    const auto deadline = Clock::now() + std::chrono::milliseconds(500);
    for (;;) {
        if (::send(fd, ack, sizeof ack, MSG_DONTWAIT | MSG_NOSIGNAL) == sizeof ack)
            return;
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return;
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, static_cast<int>(left));
    }
}

// Termination signals arrive as a readable descriptor in the event loop: never lost, never
// starved by busy sockets.
int signalDescriptor() {
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    sigaddset(&block, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &block, nullptr);
    return ::signalfd(-1, &block, SFD_CLOEXEC | SFD_NONBLOCK);
}

} // namespace

Simulator::Simulator(Options options)
    : opt_(std::move(options)), mainRecords_(std::make_shared<RecordStore>()) {
    firmware_.outEndpoint = opt_.outEndpoint;
    firmware_.ignoreInterruptOut = opt_.ignoreInterruptOut;
}

Simulator::~Simulator() {
    while (!interfaces_.empty())
        unplug(interfaces_.front()->name);
    if (signalFd_ >= 0)
        ::close(signalFd_);
}

bool Simulator::start(std::string* error) {
    if (!hid::sim::ensureBusDir(opt_.busDir, error))
        return false;
    if (!opt_.flash.empty()) {
        if (!flash_.attach(*mainRecords_, opt_.flash, opt_.seed, error))
            return false;
        mainRecords_->keepIn(flash_.keeper("velorin-sim")); // a record it cannot keep is refused
    } else if (!opt_.seed.empty() && !loadSeed(*mainRecords_, opt_.seed, error)) {
        return false;
    }
    if (!opt_.script.empty()) {
        auto script = loadScript(opt_.script);
        if (!script) {
            if (error)
                *error = script.error().detail;
            return false;
        }
        script_ = std::move(*script);
        streaming_ = !script_.empty();
    }
    streaming_ = streaming_ || opt_.demo;
    if (opt_.plugAdapter && !plug(Kind::Adapter, opt_.adapterName, false, error))
        return false;
    for (const auto& [kind, name] : opt_.extra) {
        if (!plug(kind, name, false, error))
            return false;
    }
    signalFd_ = signalDescriptor();
    ::signal(SIGPIPE, SIG_IGN);
    nextPad_ = Clock::now();
    say("ready " + opt_.busDir);
    return true;
}

Simulator::Interface* Simulator::find(const std::string& name) const {
    for (const auto& in : interfaces_) {
        if (in->name == name)
            return in.get();
    }
    return nullptr;
}

bool Simulator::plug(Kind kind, const std::string& name, bool noAccess, std::string* error) {
    if (!hid::sim::isInterfaceName(name) || name.size() > kMaxNameSize) {
        *error = "bad interface name";
        return false;
    }
    if (find(name)) {
        *error = name + " is plugged already";
        return false;
    }
    if (interfaces_.size() >= kMaxInterfaces) {
        *error = "too many interfaces";
        return false;
    }
    auto in = std::make_unique<Interface>();
    in->name = name;
    in->kind = kind;
    const InterfaceIdentity identity = interfaceIdentity(kind);
    in->identity.busType = kBusUsb;
    in->identity.vendorId = identity.vendorId;
    in->identity.productId = identity.productId;
    in->identity.descriptor = identity.descriptor;
    // The adapter named by --adapter-name keeps the (flash-backed) records across re-plugs;
    // further adapters get their own.
    if (kind == Kind::Adapter) {
        in->identity.interruptOut = opt_.outEndpoint;
        in->records = name == opt_.adapterName ? mainRecords_ : std::make_shared<RecordStore>();
    }
    if (!listenOn(*in, noAccess, error))
        return false;
    interfaces_.push_back(std::move(in));
    return true;
}

bool Simulator::listenOn(Interface& in, bool noAccess, std::string* error) {
    const std::string path = opt_.busDir + "/" + in.name;
    const std::string tmp = opt_.busDir + "/." + in.name + ".tmp";
    const std::string idFile = opt_.busDir + "/." + in.name + ".id";
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path || tmp.size() >= sizeof addr.sun_path) {
        *error = "bus directory path too long for a socket";
        return false;
    }
    // The identity first (readable without a connection), then the socket, renamed into place
    // only once it listens, so its appearance means "ready to open".
    const auto packet = hid::sim::encodeIdentity(in.identity);
    {
        ::unlink(idFile.c_str());
        const int fd = ::open(idFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || !writeAll(fd, packet.data(), packet.size())) {
            if (fd >= 0)
                ::close(fd);
            *error = "cannot write " + idFile;
            return false;
        }
        ::close(fd);
    }
    ::unlink(tmp.c_str());
    std::memcpy(addr.sun_path, tmp.c_str(), tmp.size() + 1);
    in.listenFd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (in.listenFd < 0 || ::bind(in.listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(in.listenFd, 16) != 0 || ::chmod(tmp.c_str(), noAccess ? 0 : 0600) != 0 ||
        ::rename(tmp.c_str(), path.c_str()) != 0) {
        *error = std::string("cannot create the socket ") + path + ": " + std::strerror(errno);
        if (in.listenFd >= 0)
            ::close(in.listenFd);
        ::unlink(tmp.c_str());
        ::unlink(idFile.c_str());
        return false;
    }
    return true;
}

bool Simulator::unplug(const std::string& name) {
    const auto it = std::find_if(interfaces_.begin(), interfaces_.end(),
                                 [&](const auto& in) { return in->name == name; });
    if (it == interfaces_.end())
        return false;
    Interface& in = **it;
    // Removal first, then every open handle ends at once.
    ::unlink((opt_.busDir + "/" + name).c_str());
    ::unlink((opt_.busDir + "/." + name + ".id").c_str());
    for (auto& c : in.connections)
        ::close(c.fd);
    ::close(in.listenFd);
    std::erase_if(pending_, [&](const Pending& p) { return p.iface == name; });
    interfaces_.erase(it);
    return true;
}

std::vector<std::pair<std::string, std::size_t>> Simulator::interfaces() const {
    std::vector<std::pair<std::string, std::size_t>> list;
    for (const auto& in : interfaces_)
        list.emplace_back(in->name, in->connections.size());
    return list;
}

RecordStore* Simulator::recordsOf(const std::string& name) {
    const Interface* in = find(name);
    return in ? in->records.get() : nullptr;
}

void Simulator::say(const std::string& line) {
    const std::string out = line + "\n";
    writeAll(STDOUT_FILENO, out.data(), out.size());
}

void Simulator::acceptOn(Interface& in) {
    for (;;) {
        const int fd = ::accept4(in.listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        if (in.connections.size() >= kMaxConnections) {
            ::close(fd);
            continue;
        }
        const auto packet = hid::sim::encodeIdentity(in.identity);
        if (::send(fd, packet.data(), packet.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(packet.size())) {
            ::close(fd);
            continue;
        }
        in.connections.push_back({fd, nextConnectionId_++});
    }
}

void Simulator::readFrom(Interface& in, std::size_t index) {
    std::vector<uint8_t> buf(hid::sim::kMaxMessageSize + 1);
    const int fd = in.connections[index].fd;
    for (;;) {
        const ssize_t got = ::recv(fd, buf.data(), buf.size(), MSG_DONTWAIT);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (got <= 0) {
            ::close(fd);
            in.connections.erase(in.connections.begin() + static_cast<std::ptrdiff_t>(index));
            return;
        }
        const std::optional<Ack> ack = handlePacket(in, std::span(buf.data(), static_cast<std::size_t>(got)));
        if (!ack)
            continue; // nothing else travels host -> device
        if (ack->delay.count() > 0 && pending_.size() < kMaxPending) {
            pending_.push_back(
                {Clock::now() + ack->delay, in.name, {}, in.connections[index].id, ack->taken});
            return;
        }
        // Like a SET_REPORT: the writer learns whether the device took the report.
        sendAck(fd, ack->taken);
        return; // one report per wake-up keeps the loop fair between connections
    }
}

std::optional<Simulator::Ack> Simulator::handlePacket(Interface& in, std::span<const uint8_t> packet) {
    if (packet.empty() || packet[0] != hid::sim::kMsgOutput)
        return std::nullopt;
    return onOutputReport(in, packet.subspan(1));
}

std::optional<bool> Simulator::handlePacket(const std::string& name, std::span<const uint8_t> packet) {
    Interface* in = find(name);
    if (!in)
        return std::nullopt;
    const std::optional<Ack> ack = handlePacket(*in, packet);
    if (!ack)
        return std::nullopt;
    return ack->taken;
}

Simulator::Ack Simulator::onOutputReport(Interface& in, std::span<const uint8_t> report) {
    const Response r = firmware_.onOutputReport(report, in.records.get());
    say(outputReportLine(in.name, r, report));
    if (r.reply) {
        const uint8_t console = r.reply->report.empty() ? 0 : r.reply->report[0];
        if (console < hold_.size() && hold_[console]) {
            if (in.held.size() < kMaxPending)
                in.held.push_back(r.reply->report);
            return {r.taken(), r.ackDelay};
        }
        // What is held for other consoles goes out first, in the order it came, at the moment this
        // reply does; a held reply for this console waits for another console's reply.
        std::vector<std::vector<uint8_t>> replies;
        const auto ours = std::stable_partition(in.held.begin(), in.held.end(), [&](const auto& held) {
            return !held.empty() && held.front() != console;
        });
        std::move(in.held.begin(), ours, std::back_inserter(replies));
        in.held.erase(in.held.begin(), ours);
        // Pad states "lead" puts between the request and its reply.
        for (int i = 0; console < lead_.size() && i < lead_[console]; ++i)
            replies.push_back(padState());
        replies.push_back(r.reply->report);
        for (auto& report : replies) {
            if (r.reply->delay.count() > 0 && pending_.size() < kMaxPending)
                pending_.push_back({Clock::now() + r.reply->delay, in.name, std::move(report)});
            else
                sendInput(in, report);
        }
    }
    return {r.taken(), r.ackDelay};
}

void Simulator::sendInput(Interface& in, std::span<const uint8_t> report) {
    std::vector<uint8_t> msg;
    msg.reserve(report.size() + 1);
    msg.push_back(hid::sim::kMsgInput);
    msg.insert(msg.end(), report.begin(), report.end());
    // One copy per connection; a connection whose queue is full loses this report, like hidraw.
    for (const auto& c : in.connections)
        (void)::send(c.fd, msg.data(), msg.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
}

bool Simulator::sendInput(const std::string& name, std::span<const uint8_t> report) {
    Interface* in = find(name);
    if (!in)
        return false;
    sendInput(*in, report);
    return true;
}

void Simulator::sendPadToAdapters(std::span<const uint8_t> report) {
    ++padsSent_;
    for (auto& in : interfaces_) {
        if (in->kind == Kind::Adapter)
            sendInput(*in, report);
    }
}

void Simulator::startPadStream(std::optional<double> rate) {
    if (rate)
        opt_.rate = *rate;
    streaming_ = true;
    nextPad_ = Clock::now();
}

std::vector<uint8_t> Simulator::nextPatternReport() {
    if (!script_.empty())
        return script_[patternStep_++ % script_.size()];
    return demoPadState(patternStep_++);
}

int Simulator::nextTimeoutMs(Clock::time_point now) const {
    auto next = Clock::time_point::max();
    for (const auto& p : pending_)
        next = std::min(next, p.due);
    if (streaming_)
        next = std::min(next, nextPad_);
    if (next == Clock::time_point::max())
        return -1;
    if (next <= now)
        return 0;
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count()) + 1;
}

void Simulator::tick(Clock::time_point now) {
    std::vector<Pending> due;
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->due <= now) {
            due.push_back(std::move(*it));
            it = pending_.erase(it);
        } else {
            ++it;
        }
    }
    for (const auto& p : due) {
        Interface* in = find(p.iface);
        if (!in)
            continue;
        if (p.ackConnection == 0) {
            sendInput(*in, p.report);
            continue;
        }
        for (const auto& c : in->connections) {
            if (c.id == p.ackConnection) {
                sendAck(c.fd, p.ackTaken);
            }
        }
    }
    if (streaming_ && now >= nextPad_) {
        sendPadToAdapters(nextPatternReport());
        const auto period = std::chrono::duration<double>(1.0 / std::clamp(opt_.rate, kMinRate, kMaxRate));
        nextPad_ = std::max(nextPad_ + std::chrono::duration_cast<Clock::duration>(period), now);
    }
}

void Simulator::readStdin() {
    char buf[4096];
    const ssize_t got = ::read(STDIN_FILENO, buf, sizeof buf);
    if (got < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (got <= 0) {
        quit_ = true; // the controlling side has gone
        return;
    }
    for (ssize_t i = 0; i < got && !quit_; ++i) {
        const char c = buf[i];
        if (c == '\n') {
            if (discarding_)
                say(kLineTooLong);
            else if (!handleLine(stdinBuf_))
                quit_ = true;
            stdinBuf_.clear();
            discarding_ = false;
        } else if (!discarding_) {
            if (stdinBuf_.size() >= kMaxLine) {
                discarding_ = true;
                stdinBuf_.clear();
            } else {
                stdinBuf_.push_back(c);
            }
        }
    }
}

bool Simulator::handleLine(const std::string& line) {
    std::vector<std::string> said;
    const std::string final = runControlLine(*this, line, said);
    for (const std::string& s : said)
        say(s);
    if (!final.empty())
        say(final);
    return !quit_;
}

int Simulator::run() {
    const int flags = ::fcntl(STDIN_FILENO, F_GETFL);
    if (flags >= 0)
        ::fcntl(STDIN_FILENO, F_SETFL, flags | O_NONBLOCK);
    std::vector<pollfd> fds;
    std::vector<std::pair<std::size_t, std::ptrdiff_t>> owners; // interface, connection (-1: listener)
    while (!quit_) {
        fds.clear();
        owners.clear();
        fds.push_back({STDIN_FILENO, POLLIN, 0});
        owners.emplace_back(0, -2);
        for (std::size_t i = 0; i < interfaces_.size(); ++i) {
            fds.push_back({interfaces_[i]->listenFd, POLLIN, 0});
            owners.emplace_back(i, -1);
            for (std::size_t c = 0; c < interfaces_[i]->connections.size(); ++c) {
                fds.push_back({interfaces_[i]->connections[c].fd, POLLIN, 0});
                owners.emplace_back(i, static_cast<std::ptrdiff_t>(c));
            }
        }
        fds.push_back({signalFd_, POLLIN, 0});
        const int n = ::poll(fds.data(), fds.size(), nextTimeoutMs(Clock::now()));
        if (n > 0 && (fds.back().revents & POLLIN))
            break; // SIGINT or SIGTERM: the destructor removes the sockets
        fds.pop_back();
        if (n < 0 && errno != EINTR)
            break;
        tick(Clock::now());
        if (n <= 0)
            continue;
        // Connections are handled last to first so erasing one keeps the others' indexes valid;
        // standard input goes last, since a control line may unplug interfaces.
        const std::size_t count = interfaces_.size();
        for (std::size_t k = fds.size(); k-- > 1;) {
            if (!fds[k].revents)
                continue;
            const auto [i, c] = owners[k];
            if (i >= count || i >= interfaces_.size())
                continue;
            Interface& in = *interfaces_[i];
            if (c == -1)
                acceptOn(in);
            else if (static_cast<std::size_t>(c) < in.connections.size() &&
                     in.connections[static_cast<std::size_t>(c)].fd == fds[k].fd)
                readFrom(in, static_cast<std::size_t>(c));
        }
        if (fds[0].revents)
            readStdin();
    }
    return 0;
}

} // namespace velorin::sim
