// The simulated bus seen from the host side alone: identities, hostile bus entries, selection of
// the bus by environment.
#include "device/hid/SimBus.h"
#include "device/hid/HidPlatform.h"
#include "device/hid/ReportDescriptor.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace velorin::hid;

namespace {

// A listening socket on the bus that the test answers by hand.
struct FakeInterface {
    int listenFd = -1;
    explicit FakeInterface(const std::string& path) {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
        listenFd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        if (::bind(listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(listenFd, 4) != 0) {
            ::close(listenFd);
            listenFd = -1;
        }
    }
    ~FakeInterface() {
        if (listenFd >= 0)
            ::close(listenFd);
    }
    // Accepts one connection and sends `packet` as the identity.
    void answerOnce(std::vector<uint8_t> packet) {
        server = std::thread([this, packet] {
            const int fd = ::accept(listenFd, nullptr, nullptr);
            if (fd < 0)
                return;
            (void)::send(fd, packet.data(), packet.size(), MSG_NOSIGNAL);
            char buf[8];
            (void)::recv(fd, buf, sizeof buf, 0); // until the host closes
            ::close(fd);
        });
    }
    std::thread server;
};

} // namespace

TEST(SimIdentity, EncodesAndDecodesAndRejectsMalformedPackets) {
    sim::Identity id{3, 0x0888, 0x8831, {0x06, 0xC0, 0xFF}, true};
    const auto packet = sim::encodeIdentity(id);
    const auto back = sim::decodeIdentity(packet);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->busType, 3u);
    EXPECT_EQ(back->vendorId, 0x0888);
    EXPECT_EQ(back->productId, 0x8831);
    EXPECT_EQ(back->descriptor, id.descriptor);
    EXPECT_EQ(back->interruptOut, std::optional<bool>(true));
    // A version 1 packet has no flags byte: the endpoints are unknown, the descriptor intact.
    const std::vector<uint8_t> v1 = {'I', 1, 3, 0, 0, 0, 0x88, 0x08, 0x31, 0x88, 0x06, 0xC0, 0xFF};
    const auto old = sim::decodeIdentity(v1);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->descriptor, id.descriptor);
    EXPECT_FALSE(old->interruptOut);

    auto wrongKind = packet;
    wrongKind[0] = 'R';
    auto wrongVersion = packet;
    wrongVersion[1] = 3;
    std::vector<uint8_t> tooLong = packet;
    tooLong.resize(sim::kIdentityHeaderSize + sim::kMaxDescriptorSize + 1);
    for (const auto& bad : {wrongKind, wrongVersion, tooLong,
                            std::vector<uint8_t>(packet.begin(), packet.begin() + 9), std::vector<uint8_t>{}})
        EXPECT_FALSE(sim::decodeIdentity(bad));
}

TEST(SimBus, HostileEntriesAreSkippedWithoutHangingTheScan) {
    QTemporaryDir dir;
    const std::string bus = dir.path().toStdString();
    // A socket whose identity is garbage, a plain file, a stale socket nobody listens on, a
    // huge sidecar, and a hidden name.
    FakeInterface garbage(bus + "/garbage");
    ASSERT_GE(garbage.listenFd, 0);
    garbage.answerOnce({'I', 9, 1, 2, 3});
    { FakeInterface stale(bus + "/stale"); }
    const int plain = ::open((bus + "/plain").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    ::close(plain);
    const int big = ::open((bus + "/.stale.id").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    std::vector<char> junk(100000, 'I');
    ASSERT_EQ(::write(big, junk.data(), junk.size()), static_cast<ssize_t>(junk.size()));
    ::close(big);
    FakeInterface hidden(bus + "/.hidden");

    auto p = makeSimPlatform(bus);
    const auto all = p->enumerate(); // a scan that hung on an entry would end only by the test's time-out
    garbage.server.join();
    EXPECT_TRUE(all.empty()) << all.size() << " entries, first " << (all.empty() ? "" : all[0].path);
    OpenError e = OpenError::None;
    EXPECT_EQ(p->open(bus + "/stale", &e), nullptr);
    EXPECT_EQ(e, OpenError::NotFound);
    EXPECT_EQ(p->open(bus + "/" + std::string(200, 'x'), &e), nullptr) << "path beyond a socket address";
}

TEST(SimBus, ReportsOfAnInterfaceWithReportIdsKeepTheirIdByte) {
    QTemporaryDir dir;
    const std::string bus = dir.path().toStdString();
    FakeInterface iface(bus + "/numbered");
    ASSERT_GE(iface.listenFd, 0);
    // Report ID 5, 2 data bytes in.
    const std::vector<uint8_t> desc = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85,
                                       0x05, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0xC0};
    ASSERT_TRUE(parseReportDescriptor(desc).usesReportIds);
    std::thread server([&] {
        const int fd = ::accept(iface.listenFd, nullptr, nullptr);
        const auto id = sim::encodeIdentity({3, 1, 2, desc});
        (void)::send(fd, id.data(), id.size(), MSG_NOSIGNAL);
        const uint8_t report[] = {'R', 0x05, 0x11, 0x22};
        (void)::send(fd, report, sizeof report, MSG_NOSIGNAL);
        char buf[8];
        (void)::recv(fd, buf, sizeof buf, 0);
        ::close(fd);
    });
    auto h = makeSimPlatform(bus)->open(bus + "/numbered");
    ASSERT_TRUE(h);
    InputReport r{};
    ASSERT_EQ(h->readInputReport(r, 2000), ReadStatus::Report);
    EXPECT_EQ(r[0], 0x05);
    EXPECT_EQ(r[1], 0x11);
    EXPECT_EQ(r[2], 0x22);
    h.reset();
    server.join();
}

TEST(PlatformSelection, TheSimBusEnvironmentVariableSelectsTheSimulatedBus) {
    QTemporaryDir dir;
    const std::string bus = dir.path().toStdString() + "/bus";
    ASSERT_EQ(::setenv("VELORIN_SIM_BUS", bus.c_str(), 1), 0);
    EXPECT_EQ(sim::defaultBusDir(), bus);
    // The platform --simulate makes without a folder is that bus; it made the folder, private to
    // the user.
    EXPECT_TRUE(sim::makePlatform()->enumerate().empty());
    struct stat st {};
    ASSERT_EQ(::stat(bus.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ::unsetenv("VELORIN_SIM_BUS");
}

TEST(HidrawMonitor, CanBeCreatedWithOrWithoutUdev) {
    test::app();
    auto monitor = makeHidrawPlatform()->createMonitor();
    EXPECT_NE(monitor, nullptr);
}
