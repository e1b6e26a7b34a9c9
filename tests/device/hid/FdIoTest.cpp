// The hidraw report path, driven over a SOCK_SEQPACKET socketpair standing in for the device
// node: one packet per report, like one read() per report on hidraw.
#include "device/hid/FdIo.h"
#include "device/hid/HidrawPlatform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace velorin::hid;
using namespace std::chrono;

namespace {

struct Pair {
    int host = -1;   // what the backend reads and writes (the "/dev/hidrawN" fd)
    int device = -1; // the test plays the device here
    Pair() {
        int sv[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sv) == 0) {
            host = sv[0];
            device = sv[1];
        }
    }
    ~Pair() {
        closeHost();
        closeDevice();
    }
    void closeHost() {
        if (host >= 0)
            ::close(host);
        host = -1;
    }
    void closeDevice() {
        if (device >= 0)
            ::close(device);
        device = -1;
    }
    void send(std::vector<uint8_t> bytes) const {
        ASSERT_EQ(::send(device, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    }
};

std::vector<uint8_t> pattern(std::size_t n, uint8_t first) {
    std::vector<uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(first + i);
    return v;
}

} // namespace

TEST(HidrawFdPath, PrependsTheReportIdWhenTheDeviceUsesNone) {
    Pair p;
    p.send(pattern(32, 1));
    InputReport r{};
    ASSERT_EQ(readReportFd(p.host, r, true, 1000, nullptr), ReadStatus::Report);
    EXPECT_EQ(r[0], 0x00);
    for (std::size_t i = 1; i < r.size(); ++i)
        EXPECT_EQ(r[i], i) << i;
}

TEST(HidrawFdPath, KeepsTheReportIdOfNumberedReports) {
    Pair p;
    p.send({0x05, 0xAA, 0xBB});
    InputReport r;
    r.fill(0xEE);
    ASSERT_EQ(readReportFd(p.host, r, false, 1000, nullptr), ReadStatus::Report);
    EXPECT_EQ(r[0], 0x05);
    EXPECT_EQ(r[1], 0xAA);
    EXPECT_EQ(r[2], 0xBB);
    EXPECT_EQ(r[3], 0x00) << "the rest of a short report is zero, not stale";
}

TEST(HidrawFdPath, ReadsOneReportPerCallAndCutsLongOnes) {
    Pair p;
    p.send(pattern(64, 0x40)); // longer than the buffer: the excess of this report is dropped
    p.send(pattern(4, 0x90));  // short: not merged with the previous one
    p.send(pattern(32, 0x10));
    InputReport a{}, b{}, c{};
    ASSERT_EQ(readReportFd(p.host, a, true, 1000, nullptr), ReadStatus::Report);
    ASSERT_EQ(readReportFd(p.host, b, true, 1000, nullptr), ReadStatus::Report);
    ASSERT_EQ(readReportFd(p.host, c, true, 1000, nullptr), ReadStatus::Report);
    EXPECT_EQ(a[1], 0x40);
    EXPECT_EQ(a[32], 0x40 + 31);
    EXPECT_EQ(b[1], 0x90);
    EXPECT_EQ(b[4], 0x93);
    EXPECT_EQ(b[5], 0x00);
    EXPECT_EQ(c[1], 0x10);
    EXPECT_EQ(readReportFd(p.host, c, true, 0, nullptr), ReadStatus::Timeout);
}

// A wait with a limit ends with Timeout when nothing comes, and takes a report that comes while it
// waits. How long the wait lasts is not checked here (bench/ measures the reads).
TEST(HidrawFdPath, TimesOutWhenNothingArrivesAndTakesWhatComesWhileWaiting) {
    Pair p;
    InputReport r{};
    EXPECT_EQ(readReportFd(p.host, r, true, 100, nullptr), ReadStatus::Timeout);
    std::thread later([&] {
        std::this_thread::sleep_for(50ms);
        p.send(pattern(32, 0x60));
    });
    EXPECT_EQ(readReportFd(p.host, r, true, 60000, nullptr),
              ReadStatus::Report); // the limit only ends a hung run
    later.join();
    EXPECT_EQ(r[1], 0x60);
}

TEST(HidrawFdPath, ReportsGoneWhenTheNodeHangsUp) {
    Pair p;
    p.send(pattern(32, 1));
    p.closeDevice();
    InputReport r{};
    // What was queued before the unplug is still delivered, then the read ends as gone.
    EXPECT_EQ(readReportFd(p.host, r, true, 1000, nullptr), ReadStatus::Report);
    EXPECT_EQ(readReportFd(p.host, r, true, -1, nullptr), ReadStatus::Gone);
}

TEST(HidrawFdPath, PendingReadEndsWhenStoppedOrUnplugged) {
    for (const bool byStop : {true, false}) {
        Pair p;
        StopSignal stop;
        ReadStatus status = ReadStatus::Report;
        std::thread reader([&] {
            InputReport r{};
            status = readReportFd(p.host, r, true, -1, &stop);
        });
        std::this_thread::sleep_for(50ms);
        if (byStop)
            stop.raise();
        else
            ::shutdown(p.device, SHUT_RDWR);
        reader.join(); // the read waits without a time limit: only the stop or the hang-up ends it
        EXPECT_EQ(status, byStop ? ReadStatus::Stopped : ReadStatus::Gone);
    }
}

namespace {
int g_errno = 0;
ssize_t failingRead(int, void*, std::size_t) {
    errno = g_errno;
    return -1;
}
ssize_t failingWrite(int, const void*, std::size_t) {
    errno = g_errno;
    return -1;
}
ssize_t shortWrite(int, const void*, std::size_t n) {
    return static_cast<ssize_t>(n - 1);
}
} // namespace

TEST(HidrawFdPath, ReadErrorsOfAnUnpluggedNodeMeanGone) {
    Pair p;
    const FdOps ops{&failingRead, &failingWrite};
    for (const int e : {EIO, ENODEV, EBADF}) {
        p.send(pattern(32, 1)); // readable, so the read itself is reached
        g_errno = e;
        InputReport r{};
        EXPECT_EQ(readReportFd(p.host, r, true, 1000, nullptr, ops), ReadStatus::Gone) << e;
        EXPECT_EQ(readQueuedReportFd(p.host, r, true, ops), ReadStatus::Gone) << e;
        InputReport drain{};
        ASSERT_EQ(readReportFd(p.host, drain, true, 1000, nullptr), ReadStatus::Report);
    }
}

TEST(HidrawFdPath, WriteSendsTheWholeReportIdFirst) {
    Pair p;
    OutputReport out{};
    out[1] = 0x32;
    out[2] = 0xAA;
    out[3] = 0x55;
    out[4] = 0x01;
    out[5] = 0x04;
    ASSERT_TRUE(writeReportFd(p.host, out));
    std::array<uint8_t, 128> got{};
    ASSERT_EQ(::recv(p.device, got.data(), got.size(), 0), 65);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), got.begin()));
}

// A failed write says how it ended: the node unplugged (ENODEV, ESHUTDOWN), the transfer timed
// out or the node stayed busy (ETIMEDOUT, EAGAIN to the end), or the report was turned down (a
// stalled transfer's EPIPE, EIO, a partial report).
TEST(HidrawFdPath, FailedWritesReportFailure) {
    Pair p;
    OutputReport out{};
    const std::pair<int, WriteFailure> cases[] = {
        {ENODEV, WriteFailure::Gone},        {ESHUTDOWN, WriteFailure::Gone},
        {ETIMEDOUT, WriteFailure::NoAnswer}, {EAGAIN, WriteFailure::NoAnswer},
        {EIO, WriteFailure::Refused},        {EPIPE, WriteFailure::Refused},
    };
    for (const auto& [e, expected] : cases) {
        g_errno = e;
        WriteFailure failure{};
        EXPECT_FALSE(writeReportFd(p.host, out, 100, FdOps{&failingRead, &failingWrite}, &failure)) << e;
        EXPECT_EQ(failure, expected) << e;
    }
    WriteFailure failure = WriteFailure::Gone;
    EXPECT_FALSE(writeReportFd(p.host, out, 100, FdOps{&failingRead, &shortWrite}, &failure))
        << "partial report";
    EXPECT_EQ(failure, WriteFailure::Refused);
    p.closeDevice();
    EXPECT_FALSE(writeReportFd(p.host, out)) << "peer gone";
}

TEST(HidrawFdPath, HandleOverAnFdReadsAndWrites) {
    Pair p;
    auto handle = makeFdHandle(::dup(p.host), false);
    p.send(pattern(32, 7));
    InputReport r{};
    ASSERT_EQ(handle->readInputReport(r, 1000), ReadStatus::Report);
    EXPECT_EQ(r[0], 0);
    EXPECT_EQ(r[1], 7);
    OutputReport out{};
    out[1] = 0x31;
    EXPECT_TRUE(handle->setOutputReport(out));
    std::array<uint8_t, 65> got{};
    ASSERT_EQ(::recv(p.device, got.data(), got.size(), 0), 65);
    EXPECT_EQ(got[1], 0x31);
    // A read without a wait takes what is queued, one report each, and then returns at once.
    p.send(pattern(32, 8));
    p.send(pattern(3, 9));
    EXPECT_EQ(handle->readInputReport(r, 0), ReadStatus::Report);
    EXPECT_EQ(r[1], 8);
    EXPECT_EQ(handle->readInputReport(r, 0), ReadStatus::Report);
    EXPECT_EQ(r[0], 0);
    EXPECT_EQ(r[1], 9);
    EXPECT_EQ(r[4], 0) << "the rest of a short report is zero, not stale";
    EXPECT_EQ(handle->readInputReport(r, 0), ReadStatus::Timeout);
    p.closeDevice();
    EXPECT_EQ(handle->readInputReport(r, 0), ReadStatus::Gone);
}

TEST(HidrawUevent, ParsesTheHidIdLine) {
    struct Case {
        const char* text;
        bool ok;
        uint32_t bus;
        uint16_t vendor, product;
    };
    const Case cases[] = {
        {"DRIVER=hid-generic\nHID_ID=0003:00000888:00008831\nHID_NAME=x\n", true, 3, 0x0888, 0x8831},
        {"HID_ID=0005:0000045E:000002FF", true, 5, 0x045E, 0x02FF},
        {"HID_NAME=HID_ID=0003:1:2\nHID_ID=0003:00000888:00008831\n", true, 3, 0x0888, 0x8831},
        {"HID_ID=0003:00010888:00008831\n", false, 0, 0, 0}, // vendor beyond 16 bits
        {"HID_ID=0003:0888\n", false, 0, 0, 0},
        {"HID_ID=0003:zz:00008831\n", false, 0, 0, 0},
        {"HID_ID=::\n", false, 0, 0, 0},
        {"DRIVER=hid-generic\n", false, 0, 0, 0},
        {"", false, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const auto id = parseHidIdFromUevent(c.text);
        ASSERT_EQ(id.has_value(), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(id->busType, c.bus) << c.text;
            EXPECT_EQ(id->vendorId, c.vendor) << c.text;
            EXPECT_EQ(id->productId, c.product) << c.text;
        }
    }
}

// The usbhid quirks parameter as sysfs prints it: comma-separated entries, unset slots "(null)".
TEST(HidrawOutputPath, QuirksAndEndpointsDecideHowOutputReportsTravel) {
    const char* text = "0x046d:0xc52b:0x00000004,0x0888:0x8831:0x00040000,(null),0x0888:0x8831:0x1\n";
    EXPECT_EQ(usbhidQuirksFor(text, 0x0888, 0x8831), 0x00040001u);
    EXPECT_EQ(usbhidQuirksFor(text, 0x0888, 0x8832), 0u);
    EXPECT_EQ(usbhidQuirksFor("(null),(null)", 0x0888, 0x8831), 0u);
    EXPECT_EQ(usbhidQuirksFor("0x0888:0x8831", 0x0888, 0x8831), 0u);

    // A USB interface directory as sysfs has it: ep_XX folders with type and direction.
    QTemporaryDir dir;
    auto endpoint = [&](const char* name, const char* type, const char* direction) {
        const QString ep = dir.filePath(QString::fromLatin1(name));
        QDir().mkpath(ep);
        for (const auto& [file, text] : {std::pair{"type", type}, std::pair{"direction", direction}}) {
            QFile f(ep + u'/' + QString::fromLatin1(file));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(text) + '\n');
        }
    };
    const std::string path = dir.path().toStdString();
    EXPECT_EQ(interruptOutFromSysfs(path), std::nullopt) << "no endpoint can be read";
    endpoint("ep_81", "Interrupt", "in");
    EXPECT_EQ(interruptOutFromSysfs(path), std::optional<bool>(false));
    endpoint("ep_02", "Interrupt", "out");
    EXPECT_EQ(interruptOutFromSysfs(path), std::optional<bool>(true));

    DeviceInfo info;
    EXPECT_EQ(outputPath(info), OutputPath::Unknown);
    info.interruptOut = true;
    EXPECT_EQ(outputPath(info), OutputPath::Interrupt);
    info.usbhidQuirks = kQuirkNoOutputReportsOnIntrEp;
    EXPECT_EQ(outputPath(info), OutputPath::SetReport);
}

TEST(HidrawEnumeration, ListsNodesInNumericOrder) {
    // Whatever hidraw nodes this machine has: each has a path and they come in node order.
    const auto all = makeHidrawPlatform()->enumerate();
    for (std::size_t i = 1; i < all.size(); ++i) {
        const auto num = [](const std::string& p) {
            return std::stol(p.substr(p.find_last_not_of("0123456789") + 1));
        };
        EXPECT_LT(num(all[i - 1].path), num(all[i].path));
    }
    for (const auto& d : all)
        EXPECT_EQ(d.path.rfind("/dev/", 0), 0u) << d.path;
}

TEST(HidrawOpen, MissingNodeIsNotFound) {
    OpenError e = OpenError::None;
    EXPECT_EQ(makeHidrawPlatform()->open("/dev/hidraw-velorin-none", &e), nullptr);
    EXPECT_EQ(e, OpenError::NotFound);
}
