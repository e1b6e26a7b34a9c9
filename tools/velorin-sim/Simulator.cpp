#include "Simulator.h"

#include "model/KvfCodec.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace velorin::sim {
namespace {

using hid::sim::Identity;

constexpr uint16_t kAdapterVendor = 0x0888;
constexpr uint16_t kAdapterProduct = 0x8831;
constexpr uint32_t kBusUsb = 0x0003;
constexpr std::size_t kMaxInterfaces = 64;
constexpr std::size_t kMaxConnections = 32;
constexpr std::size_t kMaxPending = 256;

// Vendor collection: usage page 0xFFC0, usage 1, 32-byte input, 64-byte output, no report IDs.
// `variant` changes one property for the near misses.
std::vector<uint8_t> adapterDescriptor(Kind variant) {
    std::vector<uint8_t> d = {0x06, 0xC0, 0xFF, 0x09, 0x01, 0xA1, 0x01};
    if (variant == Kind::OtherPage)
        d[1] = 0xC1;
    if (variant == Kind::TwoLinks)
        d.insert(d.end(), {0x09, 0x01, 0xA1, 0x00}); // a physical collection inside
    const uint8_t inCount = variant == Kind::Input64 ? 0x40 : 0x20;
    d.insert(d.end(), {0x09, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, inCount, 0x81, 0x02});
    d.insert(d.end(), {0x09, 0x01, 0x95, 0x40, 0x91, 0x02});
    if (variant == Kind::Feature)
        d.insert(d.end(), {0x09, 0x01, 0x95, 0x08, 0xB1, 0x02});
    if (variant == Kind::TwoLinks)
        d.push_back(0xC0);
    d.push_back(0xC0);
    return d;
}

// A boot keyboard: modifiers, reserved byte, LEDs out, six key slots.
const std::vector<uint8_t> kKeyboardDescriptor = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,
    0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01,
    0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06,
    0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};

// A three-button wheel mouse.
const std::vector<uint8_t> kMouseDescriptor = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19,
    0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,
    0x95, 0x01, 0x75, 0x05, 0x81, 0x03, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x09,
    0x38, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x03, 0x81, 0x06, 0xC0, 0xC0};

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

std::optional<std::vector<uint8_t>> readFileBounded(const std::string& path, std::size_t limit) {
    // Non-blocking, and regular files only: a FIFO or a device could block the loop for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::vector<uint8_t> data;
    uint8_t buf[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buf, sizeof buf);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || data.size() + static_cast<std::size_t>(got) > limit) {
            if (got != 0)
                data.assign(limit + 1, 0); // marks "too long or unreadable"
            break;
        }
        data.insert(data.end(), buf, buf + got);
    }
    ::close(fd);
    return data;
}

std::optional<uint8_t> consoleFromWord(const std::string& w) {
    if (w == "1" || w == "ps3" || w == "PS3")
        return 1;
    if (w == "2" || w == "ps4" || w == "PS4")
        return 2;
    if (w == "3" || w == "xbox" || w == "XBOX")
        return 3;
    if (w == "4" || w == "switch" || w == "SWITCH")
        return 4;
    return std::nullopt;
}

// The buttons the demo presses one after another: (data byte, bit mask), then the stick
// directions as (data byte, value).
struct Step {
    std::size_t index;
    uint8_t value;
    bool stick;
};
constexpr Step kPattern[] = {
    {8, 0x01, false},  {8, 0x02, false},  {8, 0x08, false},  {8, 0x10, false}, {8, 0x40, false},
    {8, 0x80, false},  {9, 0x01, false},  {9, 0x02, false},  {9, 0x04, false}, {9, 0x08, false},
    {9, 0x10, false},  {9, 0x20, false},  {9, 0x40, false},  {9, 0x80, false}, {10, 0x01, false},
    {10, 0x02, false}, {10, 0x04, false}, {10, 0x08, false}, {3, 0x00, true},  {3, 0xFF, true},
    {2, 0x00, true},   {2, 0xFF, true},
};

std::vector<uint8_t> neutralPad() {
    std::vector<uint8_t> r(32, 0);
    r[0] = 0xA1;
    r[1] = 0xC4;
    for (std::size_t i = 2; i <= 5; ++i)
        r[i] = 0x80;
    return r;
}

} // namespace

std::optional<Kind> kindFromName(const std::string& n) {
    static const std::map<std::string, Kind> kinds = {
        {"adapter", Kind::Adapter},  {"keyboard", Kind::Keyboard}, {"mouse", Kind::Mouse},
        {"feature", Kind::Feature},  {"input64", Kind::Input64},   {"page", Kind::OtherPage},
        {"twolinks", Kind::TwoLinks}};
    const auto it = kinds.find(n);
    return it == kinds.end() ? std::nullopt : std::optional(it->second);
}

Identity identityFor(Kind kind) {
    Identity id;
    id.busType = kBusUsb;
    switch (kind) {
    case Kind::Keyboard:
        id.vendorId = 0x1D6B;
        id.productId = 0x0101;
        id.descriptor = kKeyboardDescriptor;
        break;
    case Kind::Mouse:
        id.vendorId = 0x1D6B;
        id.productId = 0x0102;
        id.descriptor = kMouseDescriptor;
        break;
    default:
        id.vendorId = kAdapterVendor;
        id.productId = kAdapterProduct;
        id.descriptor = adapterDescriptor(kind);
        break;
    }
    return id;
}

std::optional<std::size_t> slotOfConsole(uint8_t id) {
    switch (id) {
    case 1:
        return 0; // PS3
    case 2:
        return 1; // PS4
    case 4:
        return 2; // SWITCH
    case 3:
        return 3; // XBOX
    default:
        return std::nullopt;
    }
}

std::optional<std::vector<uint8_t>> parseHex(const std::string& text, std::size_t max) {
    std::vector<uint8_t> out;
    int hi = -1;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == ':')
            continue;
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else
            return std::nullopt;
        if (hi < 0) {
            hi = v;
        } else {
            if (out.size() >= max)
                return std::nullopt;
            out.push_back(static_cast<uint8_t>(hi << 4 | v));
            hi = -1;
        }
    }
    if (hi >= 0)
        return std::nullopt;
    return out;
}

std::string toHex(std::span<const uint8_t> bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (const uint8_t b : bytes) {
        s.push_back(digits[b >> 4]);
        s.push_back(digits[b & 15]);
    }
    return s;
}

// ---- Firmware ---------------------------------------------------------------------------------

Firmware::Firmware() {
    for (uint8_t id = 1; id <= 4; ++id)
        records_[*slotOfConsole(id)][0] = id;
}

bool Firmware::loadSeed(const std::string& seed, std::string* error) {
    // Like the window's load: the first 108 bytes of a regular file.
    const auto block = kvf::read(QString::fromStdString(seed), kvf::SizeRule::AtLeastBlock);
    if (!block) {
        if (error)
            *error = "seed file " + seed + " does not hold a 108-byte record block";
        return false;
    }
    setRecords(*block);
    return true;
}

void Firmware::setRecords(const WorkModeBlock& block) {
    const auto raw = block.raw();
    for (std::size_t s = 0; s < 4; ++s)
        std::copy_n(raw.begin() + static_cast<std::ptrdiff_t>(s * 27), 27, records_[s].begin());
}

bool Firmware::attachFlash(const std::string& flash, const std::string& seed, std::string* error) {
    flash_ = flash;
    if (::access(flash.c_str(), F_OK) == 0) {
        // An existing flash file is the adapter's memory: never overwritten when it is unreadable.
        const auto block = kvf::read(QString::fromStdString(flash), kvf::SizeRule::ExactlyBlock);
        if (!block) {
            if (error)
                *error = "flash file " + flash + " is not a 108-byte record block";
            return false;
        }
        setRecords(*block);
        return true;
    }
    if (!seed.empty() && !loadSeed(seed, error))
        return false;
    return save(error);
}

bool Firmware::store(const Record& r) {
    const auto slot = slotOfConsole(r[0]);
    if (!slot)
        return false;
    records_[*slot] = r;
    if (!flash_.empty()) {
        std::string error;
        if (!save(&error))
            std::fprintf(stderr, "velorin-sim: %s\n", error.c_str());
    }
    return true;
}

std::optional<Record> Firmware::record(uint8_t consoleId) const {
    const auto slot = slotOfConsole(consoleId);
    if (!slot)
        return std::nullopt;
    return records_[*slot];
}

bool Firmware::save(std::string* error) const {
    WorkModeBlock block;
    for (std::size_t s = 0; s < 4; ++s)
        block.replaceRecord(kBlockOrder[s], records_[s]);
    kvf::Error e;
    if (kvf::write(QString::fromStdString(flash_), block, &e))
        return true;
    if (error)
        *error = "cannot write the flash file " + flash_ + ": " + e.detail.toStdString();
    return false;
}

// ---- Simulator --------------------------------------------------------------------------------

Simulator::Simulator(Options options)
    : opt_(std::move(options)), mainFirmware_(std::make_shared<Firmware>()) {}

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
        if (!mainFirmware_->attachFlash(opt_.flash, opt_.seed, error))
            return false;
    } else if (!opt_.seed.empty() && !mainFirmware_->loadSeed(opt_.seed, error)) {
        return false;
    }
    if (!opt_.script.empty()) {
        const auto text = readFileBounded(opt_.script, 1 << 20);
        if (!text || text->size() > (1u << 20)) {
            *error = "cannot read the script " + opt_.script;
            return false;
        }
        std::istringstream in(std::string(text->begin(), text->end()));
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#')
                continue;
            auto bytes = parseHex(line, 30);
            if (!bytes) {
                *error = "bad script line: " + line.substr(0, 80);
                return false;
            }
            auto report = neutralPad();
            std::copy(bytes->begin(), bytes->end(), report.begin() + 2);
            script_.push_back(std::move(report));
        }
        streaming_ = !script_.empty();
    }
    streaming_ = streaming_ || opt_.demo;
    if (opt_.plugAdapter && !plug(Kind::Adapter, opt_.adapterName, false, error))
        return false;
    for (const auto& [kind, name] : opt_.extra) {
        if (!plug(kind, name, false, error))
            return false;
    }
    // Termination signals arrive as a readable descriptor in the event loop: never lost, never
    // starved by busy sockets.
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    sigaddset(&block, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &block, nullptr);
    signalFd_ = ::signalfd(-1, &block, SFD_CLOEXEC | SFD_NONBLOCK);
    ::signal(SIGPIPE, SIG_IGN);
    nextPad_ = Clock::now();
    say("ready " + opt_.busDir);
    return true;
}

Simulator::Interface* Simulator::find(const std::string& name) {
    for (auto& in : interfaces_) {
        if (in->name == name)
            return in.get();
    }
    return nullptr;
}

bool Simulator::plug(Kind kind, const std::string& name, bool noAccess, std::string* error) {
    if (!hid::sim::isInterfaceName(name) || name.size() > 40) {
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
    in->identity = identityFor(kind);
    if (kind == Kind::Adapter)
        in->identity.interruptOut = opt_.outEndpoint;
    // The adapter named by --adapter-name keeps the (flash-backed) firmware across re-plugs;
    // further adapters get their own records.
    if (kind == Kind::Adapter)
        in->firmware = name == opt_.adapterName ? mainFirmware_ : std::make_shared<Firmware>();

    const std::string path = opt_.busDir + "/" + name;
    const std::string tmp = opt_.busDir + "/." + name + ".tmp";
    const std::string idFile = opt_.busDir + "/." + name + ".id";
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path || tmp.size() >= sizeof addr.sun_path) {
        *error = "bus directory path too long for a socket";
        return false;
    }
    // The identity first (readable without a connection), then the socket, renamed into place
    // only once it listens, so its appearance means "ready to open".
    const auto packet = hid::sim::encodeIdentity(in->identity);
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
    in->listenFd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (in->listenFd < 0 || ::bind(in->listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(in->listenFd, 16) != 0 || ::chmod(tmp.c_str(), noAccess ? 0 : 0600) != 0 ||
        ::rename(tmp.c_str(), path.c_str()) != 0) {
        *error = std::string("cannot create the socket ") + path + ": " + std::strerror(errno);
        if (in->listenFd >= 0)
            ::close(in->listenFd);
        ::unlink(tmp.c_str());
        ::unlink(idFile.c_str());
        return false;
    }
    interfaces_.push_back(std::move(in));
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

namespace {

// The acknowledgement must not be lost to a socket buffer filled by input reports: wait a little
// for room (the host drains input reports while it waits for the acknowledgement).
void sendAck(int fd, const uint8_t (&ack)[2]) {
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

} // namespace

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
        const std::optional<bool> ok = handlePacket(in, std::span(buf.data(), static_cast<std::size_t>(got)));
        if (!ok)
            continue; // nothing else travels host -> device
        if (stallMs_ > 0 && in.kind == Kind::Adapter && pending_.size() < kMaxPending) {
            pending_.push_back({Clock::now() + std::chrono::milliseconds(stallMs_),
                                in.name,
                                {},
                                in.connections[index].id,
                                *ok});
            return;
        }
        // Like a SET_REPORT: the writer learns whether the device took the report.
        const uint8_t ack[2] = {hid::sim::kMsgAck, static_cast<uint8_t>(*ok ? 1 : 0)};
        sendAck(fd, ack);
        return; // one report per wake-up keeps the loop fair between connections
    }
}

std::optional<bool> Simulator::handlePacket(Interface& in, std::span<const uint8_t> packet) {
    if (packet.empty() || packet[0] != hid::sim::kMsgOutput)
        return std::nullopt;
    return onOutputReport(in, packet.subspan(1));
}

std::optional<bool> Simulator::handlePacket(const std::string& name, std::span<const uint8_t> packet) {
    Interface* in = find(name);
    if (!in)
        return std::nullopt;
    return handlePacket(*in, packet);
}

bool Simulator::onOutputReport(Interface& in, std::span<const uint8_t> report) {
    bool ok = report.size() == 65 && report[0] == 0x00;
    const uint8_t cmd = report.size() > 1 ? report[1] : 0;
    const bool framed = ok && report[2] == 0xAA && report[3] == 0x55;
    uint8_t console = 0;
    if (framed && (cmd == 0x30 || cmd == 0x31))
        console = report[4];
    else if (framed && cmd == 0x32)
        console = report[5];
    const bool adapter = in.kind == Kind::Adapter && in.firmware;
    if (adapter && framed && console >= 1 && console <= 4 && faults_[console].refuse)
        ok = false;
    // The kernel sends a write on the interrupt OUT endpoint when the interface has one.
    const Way way = adapter && opt_.outEndpoint ? Way::Interrupt : Way::SetReport;
    const bool ignored = ok && way == Way::Interrupt && opt_.ignoreInterruptOut;
    say("out " + in.name + (way == Way::Interrupt ? " interrupt" : " set_report") +
        (!ok       ? " refused "
         : ignored ? " ignored "
                   : " ok ") +
        toHex(report));

    if (ok && !ignored && adapter && framed) {
        if (cmd == 0x30) {
            Record r;
            std::copy_n(report.begin() + 4, r.size(), r.begin());
            in.firmware->store(r);
        } else if (cmd == 0x31) {
            if (const auto r = in.firmware->record(console); r && !faults_[console].drop) {
                std::vector<uint8_t> reply(32, 0);
                std::copy(r->begin(), r->end(), reply.begin());
                if (faults_[console].delayMs > 0 && pending_.size() < kMaxPending)
                    pending_.push_back(
                        {Clock::now() + std::chrono::milliseconds(faults_[console].delayMs), in.name, reply});
                else
                    sendInput(in, reply);
            }
        }
        // 0x32 (mode select) is taken without visible effect.
    }
    return ok;
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

void Simulator::sendPadToAdapters(std::span<const uint8_t> report) {
    ++padsSent_;
    for (auto& in : interfaces_) {
        if (in->kind == Kind::Adapter)
            sendInput(*in, report);
    }
}

std::vector<uint8_t> Simulator::nextPatternReport() {
    if (!script_.empty())
        return script_[patternStep_++ % script_.size()];
    const Step& s = kPattern[patternStep_++ % std::size(kPattern)];
    auto r = neutralPad();
    if (s.stick)
        r[s.index] = s.value;
    else
        r[s.index] |= s.value;
    return r;
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
                const uint8_t ack[2] = {hid::sim::kMsgAck, static_cast<uint8_t>(p.ackTaken ? 1 : 0)};
                sendAck(c.fd, ack);
            }
        }
    }
    if (streaming_ && now >= nextPad_) {
        sendPadToAdapters(nextPatternReport());
        const auto period = std::chrono::duration<double>(1.0 / std::clamp(opt_.rate, 0.1, 1000.0));
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
                say("err line too long");
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

bool Simulator::handleLine(const std::string& rawLine) {
    std::string line = rawLine;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    std::istringstream in(line);
    std::string cmd;
    in >> cmd;
    std::vector<std::string> args;
    for (std::string w; in >> w && args.size() < 64;)
        args.push_back(w);
    auto rest = [&args](std::size_t from) {
        std::string s;
        for (std::size_t i = from; i < args.size(); ++i)
            s += args[i];
        return s;
    };
    auto err = [this](const std::string& why) {
        say("err " + why);
        return true;
    };
    if (cmd.empty() || cmd[0] == '#')
        return true;
    if (cmd == "quit") {
        say("ok quit");
        return false;
    }
    if (cmd == "ping") {
        say("pong" + (args.empty() ? std::string() : " " + args[0]));
        return true;
    }
    if (cmd == "plug") {
        if (args.size() < 2 || args.size() > 3 || (args.size() == 3 && args[2] != "noaccess"))
            return err("usage: plug KIND NAME [noaccess]");
        const auto kind = kindFromName(args[0]);
        if (!kind)
            return err("unknown kind " + args[0].substr(0, 40));
        std::string error;
        if (!plug(*kind, args[1], args.size() == 3, &error))
            return err(error);
        say("ok plug " + args[1]);
        return true;
    }
    if (cmd == "unplug") {
        if (args.size() != 1)
            return err("usage: unplug NAME");
        if (!unplug(args[0]))
            return err("no interface " + args[0].substr(0, 40));
        say("ok unplug " + args[0]);
        return true;
    }
    if (cmd == "pad") {
        const auto bytes = parseHex(rest(0), 30);
        if (!bytes)
            return err("usage: pad HEX (up to 30 bytes after the A1 C4 marker)");
        auto report = neutralPad();
        std::copy(bytes->begin(), bytes->end(), report.begin() + 2);
        sendPadToAdapters(report);
        say("ok pad");
        return true;
    }
    if (cmd == "input") {
        Interface* target = args.empty() ? nullptr : find(args[0]);
        const auto bytes = parseHex(rest(1), hid::sim::kMaxReportSize);
        if (!target || !bytes || bytes->empty())
            return err("usage: input NAME HEX");
        sendInput(*target, *bytes);
        say("ok input");
        return true;
    }
    if (cmd == "refuse" || cmd == "drop") {
        const auto console = args.size() == 2 ? consoleFromWord(args[0]) : std::nullopt;
        if (!console || (args[1] != "on" && args[1] != "off"))
            return err("usage: " + cmd + " CONSOLE on|off");
        (cmd == "refuse" ? faults_[*console].refuse : faults_[*console].drop) = args[1] == "on";
        say("ok " + cmd);
        return true;
    }
    if (cmd == "delay") {
        const auto console = args.size() == 2 ? consoleFromWord(args[0]) : std::nullopt;
        int ms = -1;
        if (console && args[1].size() <= 6 && std::all_of(args[1].begin(), args[1].end(), ::isdigit))
            ms = std::stoi(args[1]);
        if (ms < 0 || ms > 60000)
            return err("usage: delay CONSOLE MS (0..60000)");
        faults_[*console].delayMs = ms;
        say("ok delay");
        return true;
    }
    if (cmd == "stall") {
        int ms = -1;
        if (args.size() == 1 && args[0].size() <= 6 && std::all_of(args[0].begin(), args[0].end(), ::isdigit))
            ms = std::stoi(args[0]);
        if (ms < 0 || ms > 60000)
            return err("usage: stall MS (0..60000)");
        stallMs_ = ms;
        say("ok stall");
        return true;
    }
    if (cmd == "demo") {
        if (args.size() == 1 && args[0] == "off") {
            streaming_ = false;
        } else {
            double rate = opt_.rate;
            if (args.size() == 1) {
                char* end = nullptr;
                rate = std::strtod(args[0].c_str(), &end);
                if (!end || *end || !(rate >= 0.1 && rate <= 1000.0))
                    return err("usage: demo [RATE|off] (0.1..1000 per second)");
            }
            opt_.rate = rate;
            streaming_ = true;
            nextPad_ = Clock::now();
        }
        say("ok demo");
        return true;
    }
    if (cmd == "dump") {
        Interface* target = find(args.empty() ? opt_.adapterName : args[0]);
        if (!target || !target->firmware)
            return err("no adapter " + (args.empty() ? opt_.adapterName : args[0].substr(0, 40)));
        const auto& recs = target->firmware->records();
        for (std::size_t s = 0; s < recs.size(); ++s)
            say("record " + target->name + " " + std::to_string(s) + " " + toHex(recs[s]));
        say("ok dump");
        return true;
    }
    if (cmd == "stats") {
        say("stats pads " + std::to_string(padsSent_));
        say("ok stats");
        return true;
    }
    if (cmd == "list") {
        for (const auto& i : interfaces_)
            say("interface " + i->name + " " + std::to_string(i->connections.size()));
        say("ok list");
        return true;
    }
    return err("unknown command " + cmd.substr(0, 40));
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
