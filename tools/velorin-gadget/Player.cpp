#include "Player.h"

#include "Files.h"
#include "core/sim/PadStates.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace velorin::gadget {
namespace {

constexpr std::size_t kMaxClients = 16;
constexpr int kMaxWaitMs = 60000;
// Input reports waiting for the host to poll them; beyond this the oldest pad states are dropped.
constexpr std::size_t kMaxQueued = 20000;

void sayOut(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

Player::Player(Options options) : opt_(std::move(options)), gadget_(opt_.name, opt_.udc) {
    firmware_.outEndpoint = opt_.layout.outEndpoint;
    firmware_.ignoreInterruptOut = opt_.ignoreInterruptOut;
}

Player::~Player() {
    unplug();
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        ::unlink(opt_.control.c_str());
    }
    for (const Client& c : clients_)
        ::close(c.fd);
    if (signalFd_ >= 0)
        ::close(signalFd_);
}

bool Player::start(std::string* error) {
    records_ = std::make_unique<sim::RecordStore>();
    if (!opt_.flash.empty()) {
        if (!flash_.attach(*records_, opt_.flash, opt_.seed, error))
            return false;
        records_->keepIn(flash_.keeper("velorin-gadget")); // a record it cannot keep is refused
    } else if (!opt_.seed.empty() && !sim::loadSeed(*records_, opt_.seed, error)) {
        return false;
    }
    initialRecords_.assign(records_->records().begin(), records_->records().end());
    if (!opt_.script.empty()) {
        auto states = sim::loadScript(opt_.script);
        if (!states) {
            if (error)
                *error = states.error().detail;
            return false;
        }
        script_ = std::move(*states);
    }

    if (opt_.realtime) {
        sched_param param{};
        param.sched_priority = 10;
        if (::sched_setscheduler(0, SCHED_FIFO, &param) != 0)
            std::fprintf(stderr, "velorin-gadget: no real-time scheduling: %s\n", std::strerror(errno));
    }
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    signalFd_ = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);

    if (!opt_.control.empty()) {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (opt_.control.size() >= sizeof addr.sun_path) {
            *error = "control socket path too long";
            return false;
        }
        std::memcpy(addr.sun_path, opt_.control.c_str(), opt_.control.size() + 1);
        ::unlink(opt_.control.c_str());
        listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(listenFd_, 8) != 0) {
            *error = "control socket " + opt_.control + ": " + std::strerror(errno);
            return false;
        }
        ::chmod(opt_.control.c_str(), 0600);
    }
    if (opt_.demo || !script_.empty())
        startPadStream(std::nullopt);
    if (opt_.plug && !plug(opt_.layout, error))
        return false;
    return true;
}

sim::RecordStore* Player::recordsOf(const std::string& name) {
    return name == adapterName() ? records_.get() : nullptr;
}

bool Player::plug(const std::vector<Kind>& kinds, std::string* error) {
    return plug(Layout{kinds, opt_.layout.outEndpoint}, error);
}

bool Player::plug(const Layout& layout, std::string* error) {
    if (gadget_.plugged()) {
        if (error)
            *error = "plugged already (unplug first)";
        return false;
    }
    if (!gadget_.plug(layout, error))
        return false;
    firmware_.outEndpoint = layout.outEndpoint;
    const auto adapter = std::find(layout.interfaces.begin(), layout.interfaces.end(), Kind::Adapter);
    if (adapter == layout.interfaces.end())
        return true; // no adapter among the interfaces: nothing to play
    const std::size_t index = static_cast<std::size_t>(adapter - layout.interfaces.begin());
    // The node is made when the function binds; devtmpfs has it at once, a slower /dev a little later.
    for (int attempt = 0; attempt < 200 && hidg_ < 0; ++attempt) {
        const std::string node = gadget_.deviceNode(index);
        if (!node.empty())
            hidg_ = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (hidg_ < 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (hidg_ < 0) {
        if (error)
            *error = "the adapter's /dev/hidg node cannot be opened";
        gadget_.unplug();
        return false;
    }
    return true;
}

void Player::closeHidg() {
    if (hidg_ >= 0)
        ::close(hidg_);
    hidg_ = -1;
}

void Player::unplug() {
    if (hidg_ >= 0) {
        // What the kernel already took from the host is the firmware's, whatever a stall says.
        const int stall = stallMs_;
        stallMs_ = 0;
        stalledUntil_ = {};
        readHidg();
        stallMs_ = stall;
    }
    // Closed before the unbind: a descriptor held across it crashes some kernels.
    closeHidg();
    gadget_.unplug();
    inputQueue_.clear();
    delayed_.clear();
}

void Player::reset() {
    for (auto& f : firmware_.faults)
        f = sim::Faults{};
    stallMs_ = 0;
    stalledUntil_ = {};
    streaming_ = false;
    inputQueue_.clear();
    delayed_.clear();
    for (const sim::Record& r : initialRecords_)
        records_->store(r);
    received_.clear();
}

void Player::queueInput(std::vector<uint8_t> report) {
    if (report.size() >= 2 && report[0] == 0xA1 && report[1] == 0xC4)
        ++padsSent_;
    if (inputQueue_.size() >= kMaxQueued)
        inputQueue_.pop_front();
    inputQueue_.push_back(std::move(report));
}

void Player::startPadStream(std::optional<double> rate) {
    if (rate)
        opt_.rate = *rate;
    streaming_ = true;
    nextPad_ = Clock::now();
}

void Player::readHidg() {
    while (hidg_ >= 0 && Clock::now() >= stalledUntil_) {
        uint8_t buf[1024];
        const ssize_t got = ::read(hidg_, buf, sizeof buf);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                // A node that fails (the function went away) is closed rather than polled again.
                std::fprintf(stderr, "velorin-gadget: read: %s; the node is closed\n", std::strerror(errno));
                closeHidg();
            }
            return;
        }
        onOutputReport(std::span<const uint8_t>(buf, static_cast<std::size_t>(got)));
        if (stallMs_ > 0)
            stalledUntil_ = Clock::now() + std::chrono::milliseconds(stallMs_);
    }
}

void Player::onOutputReport(std::span<const uint8_t> data) {
    // The host wrote the report ID 0 in front; the adapter declares no report IDs, so only the 64
    // data bytes travel. The firmware model takes the report as the host wrote it.
    std::vector<uint8_t> report(data.size() + 1, 0);
    std::copy(data.begin(), data.end(), report.begin() + 1);
    const sim::Response r = firmware_.onOutputReport(report, records_.get());
    std::string line = sim::outputReportLine(adapterName(), r, report);
    sayOut(line);
    received_.push_back(std::move(line));
    if (!r.reply)
        return;
    if (r.reply->delay.count() == 0)
        queueInput(r.reply->report);
    else
        delayed_.push_back({Clock::now() + r.reply->delay, r.reply->report});
}

void Player::writeHidg() {
    while (hidg_ >= 0 && !inputQueue_.empty()) {
        const std::vector<uint8_t>& report = inputQueue_.front();
        const ssize_t put = ::write(hidg_, report.data(), report.size());
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return; // the host has not polled the last one yet
        if (put < 0)
            std::fprintf(stderr, "velorin-gadget: an input report was dropped: %s\n", std::strerror(errno));
        else
            ++reportsSent_;
        inputQueue_.pop_front();
    }
}

void Player::tick(Clock::time_point now) {
    for (auto it = delayed_.begin(); it != delayed_.end();) {
        if (it->due <= now) {
            queueInput(std::move(it->report));
            it = delayed_.erase(it);
        } else {
            ++it;
        }
    }
    if (streaming_ && now >= nextPad_) {
        queueInput(script_.empty() ? sim::demoPadState(patternStep_)
                                   : script_[patternStep_ % script_.size()]);
        ++patternStep_;
        const auto period =
            std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / opt_.rate));
        nextPad_ = std::max(nextPad_ + period, now - period);
    }
}

int Player::nextTimeoutMs(Clock::time_point now) const {
    Clock::time_point next = Clock::time_point::max();
    for (const Delayed& d : delayed_)
        next = std::min(next, d.due);
    if (streaming_)
        next = std::min(next, nextPad_);
    if (hidg_ >= 0 && stalledUntil_ > now)
        next = std::min(next, stalledUntil_);
    if (next == Clock::time_point::max())
        return -1;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
    return static_cast<int>(std::clamp<long long>(ms, 0, kMaxWaitMs));
}

std::string Player::handleLine(const std::string& line, std::vector<std::string>& said) {
    return sim::runControlLine(*this, line, said);
}

void Player::answer(int fd, const std::vector<std::string>& said, const std::string& final) {
    std::string text;
    for (const std::string& s : said)
        text += s + '\n';
    text += final + '\n';
    if (fd == STDOUT_FILENO) {
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
        return;
    }
    // A client that does not read its answers loses them; the control socket is for tests and tools.
    std::size_t off = 0;
    while (off < text.size()) {
        const ssize_t put = ::send(fd, text.data() + off, text.size() - off, MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 1000) <= 0)
                return;
            continue;
        }
        if (put <= 0)
            return;
        off += static_cast<std::size_t>(put);
    }
}

bool Player::readClient(Client& client, bool isStdin) {
    char buf[4096];
    const ssize_t got = ::read(client.fd, buf, sizeof buf);
    if (got < 0)
        return errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK;
    if (got == 0)
        return false;
    client.buffer.append(buf, static_cast<std::size_t>(got));
    const int out = isStdin ? STDOUT_FILENO : client.fd;
    for (std::size_t nl; (nl = client.buffer.find('\n')) != std::string::npos;) {
        const std::string line = client.buffer.substr(0, nl);
        client.buffer.erase(0, nl + 1);
        if (client.discarding) {
            client.discarding = false;
            continue;
        }
        std::vector<std::string> said;
        const std::string final = handleLine(line, said);
        if (!final.empty())
            answer(out, said, final);
    }
    if (client.buffer.size() > sim::kMaxLine) {
        client.buffer.clear();
        client.discarding = true;
        answer(out, {}, sim::kLineTooLong);
    }
    return true;
}

void Player::acceptClient() {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
        return;
    if (clients_.size() >= kMaxClients) {
        ::close(fd);
        return;
    }
    clients_.push_back(Client{fd, {}, false});
}

int Player::run() {
    stdin_.fd = STDIN_FILENO;
    while (!quit_) {
        std::vector<pollfd> fds;
        fds.push_back({signalFd_, POLLIN, 0});
        const std::size_t stdinAt = fds.size();
        fds.push_back({stdinOpen_ ? STDIN_FILENO : -1, POLLIN, 0});
        const std::size_t listenAt = fds.size();
        fds.push_back({listenFd_, POLLIN, 0});
        const std::size_t hidgAt = fds.size();
        const auto now = Clock::now();
        short hidgEvents = now >= stalledUntil_ ? POLLIN : 0;
        if (!inputQueue_.empty())
            hidgEvents |= POLLOUT;
        fds.push_back({hidg_, hidgEvents, 0});
        const std::size_t clientsAt = fds.size();
        for (const Client& c : clients_)
            fds.push_back({c.fd, POLLIN, 0});

        const int n = ::poll(fds.data(), fds.size(), nextTimeoutMs(now));
        if (n < 0 && errno != EINTR) {
            std::perror("velorin-gadget: poll");
            return 1;
        }
        if (n > 0 && (fds[0].revents & POLLIN)) {
            signalfd_siginfo info{};
            while (::read(signalFd_, &info, sizeof info) > 0) {
            }
            quit_ = true;
            break;
        }
        if (n > 0 && fds[hidgAt].revents & (POLLIN | POLLERR | POLLHUP))
            readHidg();
        if (n > 0 && fds[listenAt].revents & POLLIN)
            acceptClient();
        // Clients are read from the copy of the list taken for poll: answers may change nothing
        // in it but the list itself (a new client is added at the end).
        for (std::size_t i = clientsAt; n > 0 && i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            auto it = std::find_if(clients_.begin(), clients_.end(),
                                   [&](const Client& c) { return c.fd == fds[i].fd; });
            if (it != clients_.end() && !readClient(*it, false)) {
                ::close(it->fd);
                clients_.erase(it);
            }
        }
        if (n > 0 && stdinOpen_ && (fds[stdinAt].revents & (POLLIN | POLLHUP | POLLERR)) &&
            !readClient(stdin_, true)) {
            stdinOpen_ = false;
            if (listenFd_ < 0)
                quit_ = true; // nothing else can ever ask it to stop
        }
        tick(Clock::now());
        writeHidg();
    }
    unplug();
    return 0;
}

} // namespace velorin::gadget
