// The simulated adapter and the sim backend together: velorin-sim runs as a child process in a
// private bus directory.
#include "device/Discovery.h"
#include "device/hid/SimBus.h"
#include "tests/support/SimController.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#ifdef VELORIN_SIM_PATH

using namespace velorin;
using namespace velorin::hid;
using namespace std::chrono;

namespace {

OutputReport frame(uint8_t cmd, std::initializer_list<uint8_t> args) {
    OutputReport r{};
    r[1] = cmd;
    r[2] = 0xAA;
    r[3] = 0x55;
    std::size_t i = 4;
    for (const uint8_t a : args)
        r[i++] = a;
    return r;
}

OutputReport writeRecord(const std::array<uint8_t, 27>& rec) {
    OutputReport r = frame(0x30, {});
    std::copy(rec.begin(), rec.end(), r.begin() + 4);
    return r;
}

int rawConnect(const std::string& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

class SimTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::app();
        ASSERT_TRUE(sim.start(startArgs()));
        platform = sim.makePlatform();
    }
    virtual QStringList startArgs() { return {}; }
    std::unique_ptr<HidHandle> openAdapter(const std::string& name = "adapter") {
        OpenError e = OpenError::Other;
        auto h = platform->open(sim.path(name), &e);
        EXPECT_EQ(e, OpenError::None);
        return h;
    }

    SimController sim{QStringLiteral(VELORIN_SIM_PATH)};
    std::unique_ptr<HidPlatform> platform;
};

} // namespace

TEST_F(SimTest, AdapterHasExactlyTheAdapterIdentity) {
    const auto all = platform->enumerate();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].path, sim.path("adapter"));
    EXPECT_TRUE(device::isAdapterIdentity(all[0]));
    EXPECT_EQ(all[0].collections.size(), 1u);
}

TEST_F(SimTest, NearMissesAreEachRejectedAndTheAdapterIsFoundAmongThem) {
    ASSERT_TRUE(sim.command("unplug adapter"));
    for (const char* kind : {"feature", "input64", "page", "twolinks", "keyboard", "mouse"}) {
        ASSERT_TRUE(sim.command(QStringLiteral("plug %1 a-%1").arg(QLatin1String(kind))))
            << sim.lastError().toStdString();
        EXPECT_FALSE(device::FindAdapter(*platform)) << kind << " taken for the adapter";
    }
    const auto all = platform->enumerate();
    EXPECT_EQ(all.size(), 6u);
    for (const auto& d : all)
        EXPECT_FALSE(device::isAdapterIdentity(d)) << d.path;
    ASSERT_TRUE(sim.command("plug adapter z-adapter"));
    EXPECT_EQ(device::FindAdapter(*platform), sim.path("z-adapter"));
}

TEST_F(SimTest, TwoAdaptersTheFirstInEnumerationOrderIsUsed) {
    ASSERT_TRUE(sim.command("plug adapter 0-first"));
    EXPECT_EQ(device::FindAdapter(*platform), sim.path("0-first"));
    ASSERT_TRUE(sim.command("unplug 0-first"));
    EXPECT_EQ(device::FindAdapter(*platform), sim.path("adapter"));
}

TEST_F(SimTest, MonitorCarriesArrivalAndRemovalPaths) {
    auto monitor = platform->createMonitor();
    std::vector<std::string> arrived, removed;
    QObject::connect(monitor.get(), &HidMonitor::deviceArrived,
                     [&](const QString& p) { arrived.push_back(p.toStdString()); });
    QObject::connect(monitor.get(), &HidMonitor::deviceRemoved,
                     [&](const QString& p) { removed.push_back(p.toStdString()); });
    ASSERT_TRUE(sim.command("plug keyboard kbd"));
    ASSERT_TRUE(test::spinUntil([&] { return !arrived.empty(); }));
    ASSERT_TRUE(sim.command("unplug adapter"));
    ASSERT_TRUE(test::spinUntil([&] { return !removed.empty(); }));
    test::spinUntil([] { return false; }, 50); // nothing else may follow
    EXPECT_EQ(arrived, std::vector<std::string>{sim.path("kbd")});
    EXPECT_EQ(removed, std::vector<std::string>{sim.path("adapter")});
    // An arrival means the interface can be opened at once.
    EXPECT_NE(platform->open(sim.path("kbd")), nullptr);
}

TEST_F(SimTest, EveryOpenHandleReceivesItsOwnCopy) {
    auto a = openAdapter();
    auto b = openAdapter();
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(sim.command("pad 7f 81 80 80 00 00 01 08 0f"));
    for (auto* h : {a.get(), b.get()}) {
        InputReport r{};
        ASSERT_EQ(h->readInputReport(r, 2000), ReadStatus::Report);
        const std::vector<uint8_t> head(r.begin(), r.begin() + 12);
        EXPECT_EQ(head,
                  (std::vector<uint8_t>{0x00, 0xA1, 0xC4, 0x7F, 0x81, 0x80, 0x80, 0, 0, 0x01, 0x08, 0x0F}));
        EXPECT_EQ(h->readInputReport(r, 0), ReadStatus::Timeout) << "one copy each, not two";
    }
}

TEST_F(SimTest, PendingReadEndsWhenUnpluggedAndWhenStopped) {
    for (const bool byStop : {true, false}) {
        auto h = openAdapter();
        ASSERT_TRUE(h);
        StopSignal stop;
        std::atomic<ReadStatus> status{ReadStatus::Report};
        std::thread reader([&] {
            InputReport r{};
            status = h->readInputReport(r, -1, &stop);
        });
        std::this_thread::sleep_for(50ms);
        if (byStop)
            stop.raise();
        else
            ASSERT_TRUE(sim.command("unplug adapter"));
        reader.join(); // the read waits without a time limit: only the stop or the unplug ends it
        EXPECT_EQ(status.load(), byStop ? ReadStatus::Stopped : ReadStatus::Gone);
    }
    // After the unplug, opening fails as "not found" and writing on an old handle fails.
    OpenError e = OpenError::None;
    EXPECT_EQ(platform->open(sim.path("adapter"), &e), nullptr);
    EXPECT_EQ(e, OpenError::NotFound);
}

// How long the wait lasts is not checked here (bench/ measures the reads).
TEST_F(SimTest, ReadTimesOut) {
    auto h = openAdapter();
    ASSERT_TRUE(h);
    InputReport r{};
    EXPECT_EQ(h->readInputReport(r, 100), ReadStatus::Timeout);
    EXPECT_EQ(h->readInputReport(r, 0), ReadStatus::Timeout);
}

TEST_F(SimTest, LogsTheExactBytesAndRefusedWritesFail) {
    auto h = openAdapter();
    ASSERT_TRUE(h);
    ASSERT_TRUE(sim.command("refuse switch on"));
    const OutputReport select = frame(0x32, {0x01, 0x04});
    const OutputReport ps3 = frame(0x30, {0x01, 0x22, 0x33});
    EXPECT_FALSE(h->setOutputReport(select)) << "the refused console's report";
    EXPECT_TRUE(h->setOutputReport(ps3));
    ASSERT_TRUE(sim.command("refuse switch off"));
    EXPECT_TRUE(h->setOutputReport(select));
    ASSERT_TRUE(sim.waitForOutputReports(3));
    const auto logs = sim.outputReports();
    ASSERT_EQ(logs.size(), 3u);
    EXPECT_EQ(logs[0].bytes, std::vector<uint8_t>(select.begin(), select.end()));
    EXPECT_FALSE(logs[0].accepted);
    EXPECT_EQ(logs[1].bytes, std::vector<uint8_t>(ps3.begin(), ps3.end()));
    EXPECT_TRUE(logs[1].accepted);
    EXPECT_TRUE(logs[2].accepted);
    EXPECT_EQ(logs[2].iface, "adapter");
}

TEST_F(SimTest, AnswersARecordRequestWithTheStoredRecord) {
    auto reader = openAdapter(); // opened before the requests, so replies queue for it
    auto writer = openAdapter();
    ASSERT_TRUE(reader && writer);
    std::array<uint8_t, 27> rec{};
    for (std::size_t i = 0; i < rec.size(); ++i)
        rec[i] = static_cast<uint8_t>(0x40 + i);
    rec[0] = 4; // SWITCH
    ASSERT_TRUE(writer->setOutputReport(writeRecord(rec)));
    ASSERT_TRUE(writer->setOutputReport(frame(0x31, {0x04})));
    InputReport r{};
    ASSERT_EQ(reader->readInputReport(r, 1000), ReadStatus::Report);
    EXPECT_EQ(r[0], 0x00);
    EXPECT_TRUE(std::equal(rec.begin(), rec.end(), r.begin() + 1));
    EXPECT_TRUE(std::all_of(r.begin() + 28, r.end(), [](uint8_t b) { return b == 0; }));
    // The writer's own handle got its copy too, queued while it waited for the acknowledgement.
    InputReport w{};
    ASSERT_EQ(writer->readInputReport(w, 0), ReadStatus::Report);
    EXPECT_EQ(w, r);
    // Stored in the SWITCH slot (third in block order).
    const auto recs = sim.dump();
    ASSERT_TRUE(recs);
    EXPECT_EQ((*recs)[2], rec);
    EXPECT_EQ((*recs)[3][0], 3) << "XBOX untouched";
}

TEST_F(SimTest, DroppedAndDelayedReplies) {
    auto h = openAdapter();
    ASSERT_TRUE(h);
    ASSERT_TRUE(sim.command("drop ps4 on"));
    ASSERT_TRUE(sim.command("delay xbox 300"));
    InputReport r{};
    ASSERT_TRUE(h->setOutputReport(frame(0x31, {0x02})));
    EXPECT_EQ(h->readInputReport(r, 100), ReadStatus::Timeout);
    ASSERT_TRUE(h->setOutputReport(frame(0x31, {0x03})));
    EXPECT_EQ(h->readInputReport(r, 100), ReadStatus::Timeout);
    ASSERT_EQ(h->readInputReport(r, 2000), ReadStatus::Report);
    EXPECT_EQ(r[1], 0x03);
    ASSERT_TRUE(h->setOutputReport(frame(0x31, {0x01})));
    ASSERT_EQ(h->readInputReport(r, 1000), ReadStatus::Report);
    EXPECT_EQ(r[1], 0x01);
}

// "hold" keeps a console's reply back until a reply for another console goes out, and sends it
// first; "lead" puts neutral pad states before a console's reply. Neither depends on a clock.
TEST_F(SimTest, HeldRepliesGoOutBeforeTheNextOneAndLeadingPadStatesBeforeTheirReply) {
    auto h = openAdapter();
    ASSERT_TRUE(h);
    ASSERT_TRUE(sim.command("hold ps4 on"));
    ASSERT_TRUE(sim.command("lead xbox 2"));
    InputReport r{};
    ASSERT_TRUE(h->setOutputReport(frame(0x31, {0x02})));
    ASSERT_TRUE(h->setOutputReport(frame(0x31, {0x02})));
    // A request's reply is sent before its acknowledgement: nothing came.
    EXPECT_EQ(h->readInputReport(r, 0), ReadStatus::Timeout);
    ASSERT_TRUE(sim.command("hold ps4 off"));
    // PS4's own reply now goes at once; the held ones wait for another console's reply.
    ASSERT_TRUE(h->setOutputReport(frame(0x31, {0x02})));
    ASSERT_EQ(h->readInputReport(r, 2000), ReadStatus::Report);
    EXPECT_EQ(r[1], 0x02);
    EXPECT_EQ(h->readInputReport(r, 0), ReadStatus::Timeout);
    ASSERT_TRUE(h->setOutputReport(frame(0x31, {0x03})));
    // Report ID, then the first data bytes: the two held PS4 replies, two pad states, XBOX's reply.
    const std::vector<std::array<uint8_t, 3>> want = {
        {0x00, 0x02, 0x00}, {0x00, 0x02, 0x00}, {0x00, 0xA1, 0xC4}, {0x00, 0xA1, 0xC4}, {0x00, 0x03, 0x00}};
    for (const auto& w : want) {
        ASSERT_EQ(h->readInputReport(r, 2000), ReadStatus::Report);
        EXPECT_EQ((std::array<uint8_t, 3>{r[0], r[1], r[2]}), w);
    }
    EXPECT_EQ(h->readInputReport(r, 0), ReadStatus::Timeout);
}

TEST_F(SimTest, DemoPatternPressesButtonsOneAfterAnother) {
    auto h = openAdapter();
    ASSERT_TRUE(h);
    ASSERT_TRUE(sim.command("demo 200"));
    std::vector<InputReport> got;
    for (int i = 0; i < 6; ++i) {
        InputReport r{};
        ASSERT_EQ(h->readInputReport(r, 2000), ReadStatus::Report);
        got.push_back(r);
    }
    ASSERT_TRUE(sim.command("demo off"));
    for (const auto& r : got) {
        EXPECT_EQ(r[1], 0xA1);
        EXPECT_EQ(r[2], 0xC4);
        // Exactly one button bit (data bytes 8-10) or one stick off centre.
        int bits = __builtin_popcount(r[9]) + __builtin_popcount(r[10]) + __builtin_popcount(r[11]);
        int sticks = (r[3] != 0x80) + (r[4] != 0x80);
        EXPECT_EQ(bits + sticks, 1);
    }
    EXPECT_NE(got[0], got[1]);
}

TEST_F(SimTest, SurvivesHostileControlLinesAndPackets) {
    for (const char* line : {"plug",
                             "plug adapter",
                             "plug nosuchkind x",
                             "plug adapter ../escape",
                             "unplug nobody",
                             "pad zz",
                             "pad 123",
                             "input adapter",
                             "refuse ps9 on",
                             "delay ps3 -1",
                             "delay ps3 99999999999",
                             "hold ps9 on",
                             "hold ps3 maybe",
                             "lead ps3 -1",
                             "lead ps3 65",
                             "lead ps3 2x",
                             "lead ps9 1",
                             "demo 0",
                             "dump nobody",
                             "\x01\x02\x03"}) {
        EXPECT_FALSE(sim.command(QString::fromLatin1(line))) << line;
    }
    EXPECT_FALSE(sim.command(QString(10000, QLatin1Char('x'))));
    // Raw packets of every kind and size straight onto the adapter socket.
    const int fd = rawConnect(sim.path("adapter"));
    ASSERT_GE(fd, 0);
    std::vector<uint8_t> junk(9000, 0x4F); // 'O': output reports of every size
    // Every packet's acknowledgement is taken before the next: a socket closed with unread data
    // resets the connection, which would drop what is still queued.
    std::array<uint8_t, 64> in{};
    auto answer = [&] {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, 2000) == 1 ? ::recv(fd, in.data(), in.size(), 0) : -1;
    };
    ASSERT_GT(answer(), 0); // the identity
    // Unknown packet kinds are ignored, without an acknowledgement.
    for (const uint8_t kind : {uint8_t{'I'}, uint8_t{'A'}, uint8_t{'R'}, uint8_t{0}})
        ASSERT_EQ(::send(fd, &kind, 1, MSG_NOSIGNAL), 1);
    for (const std::size_t n : {std::size_t{1}, std::size_t{2}, std::size_t{5}, std::size_t{66},
                                std::size_t{64}, std::size_t{4200}, std::size_t{9000}}) {
        ASSERT_EQ(::send(fd, junk.data(), n, MSG_NOSIGNAL), static_cast<ssize_t>(n));
        ASSERT_EQ(answer(), 2) << n;
        EXPECT_EQ(in[0], 'A');
        EXPECT_EQ(in[1], 0) << n << " bytes refused";
    }
    ::close(fd);
    // The malformed output reports were logged as refused; the sim still answers.
    ASSERT_TRUE(sim.waitForOutputReports(7));
    EXPECT_TRUE(sim.command("ping"));
    for (const auto& l : sim.outputReports())
        EXPECT_FALSE(l.accepted);
    EXPECT_TRUE(platform->open(sim.path("adapter")) != nullptr);
}

namespace {
class SimFlashTest : public SimTest {
protected:
    QStringList startArgs() override {
        QFile seed(dir.filePath("seed.kvf"));
        EXPECT_TRUE(seed.open(QIODevice::WriteOnly));
        QByteArray block(108, 0);
        for (int s = 0; s < 4; ++s) {
            block[s * 27] = static_cast<char>("\x01\x02\x04\x03"[s]);
            block[s * 27 + 10] = static_cast<char>(0x10 + s);
        }
        seed.write(block);
        seed.close();
        return {QStringLiteral("--flash"), dir.filePath("flash.bin"), QStringLiteral("--seed"),
                seed.fileName()};
    }
    QTemporaryDir dir;
};
} // namespace

TEST_F(SimFlashTest, SeedsANewFlashFileAndKeepsWritesAcrossRestarts) {
    auto recs = sim.dump();
    ASSERT_TRUE(recs);
    EXPECT_EQ((*recs)[2][0], 4);
    EXPECT_EQ((*recs)[2][10], 0x12);
    {
        auto h = openAdapter();
        std::array<uint8_t, 27> rec{};
        rec[0] = 3;
        rec[5] = 0x99;
        ASSERT_TRUE(h->setOutputReport(writeRecord(rec)));
    }
    // The seed file changes, but an existing flash file wins over the seed.
    QFile::remove(dir.filePath("seed.kvf"));
    ASSERT_TRUE(sim.start(startArgs()));
    recs = sim.dump();
    ASSERT_TRUE(recs);
    EXPECT_EQ((*recs)[3][5], 0x99);
    EXPECT_EQ((*recs)[0][10], 0x10);
    QFile flash(dir.filePath("flash.bin"));
    EXPECT_EQ(flash.size(), 108);
}

TEST_F(SimTest, RawInputReachesOnlyTheNamedInterfaceWithTheIdByteInFront) {
    ASSERT_TRUE(sim.command("plug keyboard kbd"));
    auto kbd = openAdapter("kbd");
    auto adapter = openAdapter();
    ASSERT_TRUE(kbd && adapter);
    ASSERT_TRUE(sim.command("input kbd 02 00 04 00 00 00 00 00"));
    InputReport r{};
    ASSERT_EQ(kbd->readInputReport(r, 2000), ReadStatus::Report);
    EXPECT_EQ(std::vector<uint8_t>(r.begin(), r.begin() + 10),
              (std::vector<uint8_t>{0x00, 0x02, 0x00, 0x04, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(adapter->readInputReport(r, 50), ReadStatus::Timeout);
    QStringList lines;
    ASSERT_TRUE(sim.command("list", &lines));
    EXPECT_TRUE(lines.contains(QStringLiteral("interface kbd 1")));
}

TEST_F(SimTest, WritesAreAcknowledgedOnAConnectionFloodedWithInputReports) {
    // A raw connection that reads nothing until its write is in: the socket fills with pad states,
    // and the acknowledgement must still arrive once the host starts reading.
    const int fd = rawConnect(sim.path());
    ASSERT_GE(fd, 0);
    std::array<uint8_t, 128> in{};
    ASSERT_GT(::recv(fd, in.data(), in.size(), 0), 0); // identity
    ASSERT_TRUE(sim.command("demo 1000"));
    std::this_thread::sleep_for(600ms);
    std::array<uint8_t, 66> out{};
    out[0] = 'O';
    ASSERT_EQ(::send(fd, out.data(), out.size(), MSG_NOSIGNAL), 66);
    std::this_thread::sleep_for(50ms);
    bool acked = false;
    int reports = 0;
    for (const auto until = steady_clock::now() + 30s;
         !acked && steady_clock::now() < until;) { // ends a hung run
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) != 1)
            continue;
        const ssize_t got = ::recv(fd, in.data(), in.size(), 0);
        ASSERT_GT(got, 0);
        acked = in[0] == 'A';
        reports += in[0] == 'R';
    }
    ::close(fd);
    EXPECT_TRUE(acked);
    EXPECT_GT(reports, 50) << "the socket was not flooded, the check proves nothing";
}

TEST_F(SimTest, TerminationSignalRemovesTheInterfacesEvenWhileBusy) {
    ASSERT_TRUE(sim.command("demo 1000"));
    auto h = openAdapter(); // a handle that never reads
    ASSERT_TRUE(h);
    ASSERT_TRUE(QFile::exists(QString::fromStdString(sim.path())));
    ASSERT_EQ(::kill(static_cast<pid_t>(sim.processId()), SIGTERM), 0);
    ASSERT_TRUE(sim.waitForExit(3000));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(sim.path())));
    EXPECT_TRUE(QDir(QString::fromStdString(sim.busDir()))
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty());
    InputReport r{};
    ReadStatus s = ReadStatus::Report;
    for (int i = 0; i < 10000 && s == ReadStatus::Report; ++i)
        s = h->readInputReport(r, 1000);
    EXPECT_EQ(s, ReadStatus::Gone);
}

TEST(SimStart, PlaysAScriptAtTheChosenRate) {
    test::app();
    QTemporaryDir dir;
    QFile script(dir.filePath("pad.txt"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("# left stick left, then A\n00 80\n80 80 80 80 00 00 01\n");
    script.close();
    SimController sim{QStringLiteral(VELORIN_SIM_PATH)};
    ASSERT_TRUE(sim.start(
        {QStringLiteral("--script"), script.fileName(), QStringLiteral("--rate"), QStringLiteral("100")}));
    auto h = sim.makePlatform()->open(sim.path());
    ASSERT_TRUE(h);
    std::vector<InputReport> got(4);
    for (auto& r : got)
        ASSERT_EQ(h->readInputReport(r, 2000), ReadStatus::Report);
    // The two states alternate, whichever one the handle saw first.
    const std::size_t a = got[0][3] == 0x00 ? 0 : 1;
    for (std::size_t i = 0; i < got.size(); ++i) {
        const bool stickState = (i + a) % 2 == 0;
        EXPECT_EQ(got[i][1], 0xA1);
        EXPECT_EQ(got[i][3], stickState ? 0x00 : 0x80) << i;
        EXPECT_EQ(got[i][9], stickState ? 0x00 : 0x01) << i;
        EXPECT_EQ(got[i][5], 0x80) << "missing bytes are neutral";
    }
}

TEST(SimStart, RefusesABrokenFlashFileWithoutTouchingIt) {
    test::app();
    QTemporaryDir dir;
    QFile f(dir.filePath("flash.bin"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("short");
    f.close();
    SimController sim{QStringLiteral(VELORIN_SIM_PATH)};
    EXPECT_FALSE(sim.start({QStringLiteral("--flash"), f.fileName()}, 3000));
    EXPECT_EQ(QFile(f.fileName()).size(), 5);
}

// How fast: bench/ScanBench.cpp.
TEST(SimScan, FindsTheAdapterAmongFiftyInterfaces) {
    test::app();
    SimController sim{QStringLiteral(VELORIN_SIM_PATH)};
    ASSERT_TRUE(sim.start({QStringLiteral("--adapter-name"), QStringLiteral("zz-adapter")}));
    for (int i = 0; i < 49; ++i)
        ASSERT_TRUE(sim.command(
            QStringLiteral("plug %1 if%2").arg(i % 2 ? "mouse" : "feature").arg(i, 2, 10, QLatin1Char('0'))));
    const std::unique_ptr<HidPlatform> platform = sim.makePlatform();
    ASSERT_EQ(platform->enumerate().size(), 50u);
    EXPECT_EQ(device::FindAdapter(*platform), sim.path("zz-adapter"));
    EXPECT_EQ(device::FindAdapter(*platform), sim.path("zz-adapter"))
        << "and again, with what the first scan kept";
}

#endif // VELORIN_SIM_PATH
