// Every adapter verb in process against velorin-sim, checking the exact bytes it logs.
#include "KeyNames.h"
#include "KvfFile.h"
#include "KvfJson.h"
#include "TestSupport.h"

#include "device/Discovery.h"
#include "tests/support/SimController.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <thread>

using namespace velorin;
using namespace velorin::ctl;
using namespace velorin::ctl::test;

#ifdef VELORIN_SIM_PATH

namespace {

std::vector<uint8_t> frame(std::initializer_list<uint8_t> head, std::span<const uint8_t> args = {}) {
    std::vector<uint8_t> v(hid::kOutputReportSize, 0);
    std::copy(head.begin(), head.end(), v.begin());
    std::copy(args.begin(), args.end(), v.begin() + 4);
    return v;
}

class CtlSim : public ::testing::Test {
protected:
    void SetUp() override {
        ensureCoreApp();
        ASSERT_TRUE(dir.isValid());
        seed = dir.filePath(QStringLiteral("seed.kvf"));
        writeBytes(seed, bytesOf(patternBlock(0x30, 5)));
        sim = std::make_unique<hid::SimController>(QStringLiteral(VELORIN_SIM_PATH));
        ASSERT_TRUE(sim->start(startArgs()));
    }
    void TearDown() override { sim.reset(); }
    virtual QStringList startArgs() const { return {QStringLiteral("--seed"), seed}; }

    QString bus() const { return QString::fromStdString(sim->busDir()); }
    RunResult ctl(QStringList args) {
        args.prepend(QStringLiteral("--simulate=") + bus());
        return runCtl(args);
    }
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    QString seed;
    std::unique_ptr<hid::SimController> sim;
};

TEST_F(CtlSim, ReadGivesTheSimulatorsRecords) {
    const RunResult r = ctl({QStringLiteral("read"), QStringLiteral("-o"), path("back.kvf")});
    ASSERT_EQ(r.code, kExitOk) << r.err.toStdString();
    const auto dump = sim->dump();
    ASSERT_TRUE(dump.has_value());
    QByteArray expected;
    for (const auto& rec : *dump)
        expected += QByteArray(reinterpret_cast<const char*>(rec.data()), 27);
    EXPECT_EQ(readBytes(path("back.kvf")), expected);
    EXPECT_EQ(expected, bytesOf(patternBlock(0x30, 5)));

    // Four record requests, in block order, and nothing else.
    const auto reports = sim->outputReports();
    ASSERT_EQ(reports.size(), 4u);
    const uint8_t ids[] = {1, 2, 4, 3};
    for (std::size_t i = 0; i < 4; ++i) {
        const uint8_t arg[] = {ids[i]};
        EXPECT_EQ(reports[i].bytes, frame({0x00, 0x31, 0xAA, 0x55}, arg)) << i;
    }

    // As JSON on standard output: the same bytes.
    const RunResult j = ctl({QStringLiteral("read"), QStringLiteral("--json")});
    ASSERT_EQ(j.code, kExitOk) << j.err.toStdString();
    const auto block = blockFromJson(j.out.toUtf8());
    ASSERT_TRUE(block) << block.error().detail;
    EXPECT_EQ(bytesOf(*block), expected);
}

TEST_F(CtlSim, ApplySendsTheFiveReportsOfTheWindow) {
    const WorkModeBlock block = patternBlock(0x41, 3); // bytes 0, 6-9 and 26 all non-zero
    writeBytes(path("in.kvf"), bytesOf(block));
    const RunResult r =
        ctl({QStringLiteral("apply"), path("in.kvf"), QStringLiteral("--console"), QStringLiteral("switch")});
    ASSERT_EQ(r.code, kExitOk) << r.err.toStdString();
    ASSERT_TRUE(sim->waitForOutputReports(5, 3000));
    const auto reports = sim->outputReports();
    ASSERT_EQ(reports.size(), 5u);
    const uint8_t ids[] = {1, 2, 4, 3};
    for (std::size_t i = 0; i < 4; ++i) {
        std::array<uint8_t, 27> rec{};
        std::copy_n(block.raw().begin() + static_cast<std::ptrdiff_t>(27 * i), 27, rec.begin());
        rec[0] = ids[i];
        std::fill(rec.begin() + 6, rec.begin() + 10, uint8_t{0});
        if (ids[i] == 1 || ids[i] == 3)
            rec[26] = 0;
        EXPECT_EQ(reports[i].bytes, frame({0x00, 0x30, 0xAA, 0x55}, rec)) << i;
        EXPECT_TRUE(reports[i].accepted);
    }
    const uint8_t select[] = {0x01, 0x04};
    EXPECT_EQ(reports[4].bytes, frame({0x00, 0x32, 0xAA, 0x55}, select));
    // The file itself is left as it was.
    EXPECT_EQ(readBytes(path("in.kvf")), bytesOf(block));
}

TEST_F(CtlSim, VerifyPassesAndComparesOnlyTheRecordsThatCameBack) {
    writeBytes(path("in.kvf"), bytesOf(patternBlock(0x41, 3)));
    RunResult r = ctl({QStringLiteral("apply"), path("in.kvf"), QStringLiteral("--verify")});
    ASSERT_EQ(r.code, kExitOk) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("verified")));

    // SWITCH does not answer: PS3 and PS4 are compared (and equal), the rest is not.
    ASSERT_TRUE(sim->command(QStringLiteral("drop switch on")));
    r = ctl({QStringLiteral("apply"), path("in.kvf"), QStringLiteral("--verify")});
    EXPECT_EQ(r.code, kExitAdapterFailed);
    EXPECT_EQ(r.out, QString());
    EXPECT_TRUE(r.err.contains(QStringLiteral(
        "velorinctl: verify incomplete: the adapter did not answer the request for the SWITCH record "
        "within 100 ms; SWITCH and XBOX were not compared\n")))
        << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("verify failed"))) << r.err.toStdString();
}

TEST_F(CtlSim, DryRunListsWhatApplyWouldChangeAndWritesNothing) {
    const WorkModeBlock held = patternBlock(0x30, 5);
    WorkModeBlock wanted = held;
    wanted.setButton(ConsoleId::PS3, PadButton::L2, 0x04);
    wanted.setButton(ConsoleId::XBOX, PadButton::START, 0x00);
    wanted.record(ConsoleId::PS3)[0] = 0x77;   // the console byte,
    wanted.record(ConsoleId::PS4)[7] = 0x99;   // bytes 6-9
    wanted.record(ConsoleId::XBOX)[26] = 0x01; // and XBOX's spare byte: apply writes its own
    writeBytes(path("in.kvf"), bytesOf(wanted));
    writeBytes(path("same.kvf"), bytesOf(held));
    const QString ps3L2 = keyName(held.button(ConsoleId::PS3, PadButton::L2));
    const QString xboxStart = keyName(held.button(ConsoleId::XBOX, PadButton::START));

    // Only the four read requests go out, and the simulator's records stay as they were. (The dump
    // answers after every report logged before it, so the list is complete by then.)
    const auto onlyReadRequests = [&](std::size_t requests) {
        const auto dump = sim->dump();
        ASSERT_TRUE(dump.has_value());
        QByteArray records;
        for (const auto& rec : *dump)
            records += QByteArray(reinterpret_cast<const char*>(rec.data()), 27);
        EXPECT_EQ(records, bytesOf(held));
        const auto reports = sim->outputReports();
        EXPECT_EQ(reports.size(), requests);
        for (const auto& report : reports)
            EXPECT_EQ(report.bytes[1], 0x31);
        sim->clearOutputReports();
    };

    RunResult r = ctl({QStringLiteral("apply"), path("in.kvf"), QStringLiteral("--dry-run")});
    EXPECT_EQ(r.code, kExitOk) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("PS3 L2: %1 -> A\nXBOX START: %2 -> none\n").arg(ps3L2, xboxStart));
    EXPECT_EQ(r.err,
              QStringLiteral("dry run: apply would change 2 buttons on PS3, XBOX, write the 4 records and "
                             "select mode PS3; nothing was written\n"));
    onlyReadRequests(4);

    r = ctl({QStringLiteral("apply"), path("in.kvf"), QStringLiteral("--dry-run"), QStringLiteral("--json")});
    EXPECT_EQ(r.code, kExitOk) << r.err.toStdString();
    const QJsonArray consoles = QJsonDocument::fromJson(r.out.toUtf8()).object()["consoles"].toArray();
    ASSERT_EQ(consoles.size(), 2);
    EXPECT_EQ(consoles[0].toObject()["buttons"].toArray()[0].toObject(),
              (QJsonObject{{"button", "L2"}, {"from", ps3L2}, {"to", "A"}}));
    onlyReadRequests(4);

    r = ctl({QStringLiteral("apply"), path("same.kvf"), QStringLiteral("--dry-run")});
    EXPECT_EQ(r.code, kExitOk) << r.err.toStdString();
    EXPECT_EQ(r.out, QString());
    EXPECT_EQ(r.err,
              QStringLiteral("dry run: the adapter already holds these assignments; nothing was written\n"));
    onlyReadRequests(4);

    // SWITCH does not answer: what was read is compared, the rest is named as not read.
    ASSERT_TRUE(sim->command(QStringLiteral("drop switch on")));
    r = ctl({QStringLiteral("apply"), path("in.kvf"), QStringLiteral("--dry-run")});
    EXPECT_EQ(r.code, kExitAdapterFailed);
    EXPECT_EQ(r.out,
              QStringLiteral("PS3 L2: %1 -> A\nSWITCH: not read from the adapter; apply writes its whole "
                             "record\nXBOX: not read from the adapter; apply writes its whole record\n")
                  .arg(ps3L2));
    EXPECT_TRUE(r.err.startsWith(QStringLiteral(
        "velorinctl: dry run incomplete: the adapter did not answer the request for the SWITCH record within "
        "100 ms; SWITCH and XBOX were not read; nothing was written\n")))
        << r.err.toStdString();
    onlyReadRequests(3);
}

TEST_F(CtlSim, RefusedWriteStopsTheApply) {
    writeBytes(path("in.kvf"), bytesOf(patternBlock()));
    ASSERT_TRUE(sim->command(QStringLiteral("refuse ps4 on")));
    const RunResult r = ctl({QStringLiteral("apply"), path("in.kvf"), QStringLiteral("--verify")});
    EXPECT_EQ(r.code, kExitAdapterFailed);
    EXPECT_EQ(r.err,
              QStringLiteral("velorinctl: the adapter refused the PS4 record; written: PS3; not written: "
                             "PS4, SWITCH and XBOX; no mode was selected\n"));
    ASSERT_TRUE(sim->waitForOutputReports(2, 3000));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto reports = sim->outputReports();
    ASSERT_EQ(reports.size(), 2u); // PS3 taken, PS4 refused, nothing after
    EXPECT_TRUE(reports[0].accepted);
    EXPECT_FALSE(reports[1].accepted);
}

// A verb that the adapter stops says how: it refused a report, did not answer, or went away (here
// unplugged while a report waits for its acknowledgement).
TEST_F(CtlSim, AdapterFailuresSayWhatHappened) {
    writeBytes(path("in.kvf"), bytesOf(patternBlock()));
    struct Case {
        const char* fault; // a control line, then "off"/"0" afterwards
        bool unplug;       // unplug once the first report has arrived
        QStringList args;
        const char* says;
    };
    const QString in = path("in.kvf");
    const QString out = path("out.kvf");
    const Case cases[] = {
        {"refuse switch",
         false,
         {"read"},
         "velorinctl: the adapter refused the request for the SWITCH record (2 of 4 read); nothing is "
         "shown\n"},
        {"drop xbox",
         false,
         {"read", "-o", out},
         "velorinctl: the adapter did not answer the request for the XBOX record within 100 ms (3 of 4 "
         "read); "
         "nothing was written\n"},
        {"stall 1500",
         true,
         {"read"},
         "velorinctl: the adapter went away while the PS3 record was read (0 of 4 read); nothing is shown\n"},
        {"refuse xbox", false, {"select", "xbox"}, "velorinctl: the adapter refused the mode select\n"},
        {"stall 1500",
         true,
         {"select", "ps4"},
         "velorinctl: the adapter went away before it took the mode select\n"},
        {"stall 2500",
         false,
         {"select", "ps4"},
         "velorinctl: the adapter did not take the mode select in time\n"},
        {"refuse ps3",
         false,
         {"apply", in},
         "velorinctl: the adapter refused the PS3 record; written: none; not written: PS3, PS4, SWITCH and "
         "XBOX; "
         "no mode was selected\n"},
        {"stall 1500",
         true,
         {"apply", in},
         "velorinctl: the adapter went away before it took the PS3 record; written: none; not written: PS3, "
         "PS4, SWITCH and XBOX; no mode was selected\n"},
    };
    for (const Case& c : cases) {
        const QString fault = QString::fromLatin1(c.fault);
        const bool stall = fault.startsWith(u"stall");
        SCOPED_TRACE(fault.toStdString() + " " + c.args.join(u' ').toStdString());
        ASSERT_TRUE(sim->command(stall ? fault : fault + QStringLiteral(" on")));
        sim->clearOutputReports();
        RunResult r;
        std::thread runner([&] { r = ctl(c.args); });
        if (c.unplug) {
            EXPECT_TRUE(sim->waitForOutputReports(1, 5000));
            EXPECT_TRUE(sim->command(QStringLiteral("unplug adapter")));
        }
        runner.join();
        EXPECT_EQ(r.code, kExitAdapterFailed);
        EXPECT_EQ(r.err, QString::fromLatin1(c.says));
        EXPECT_EQ(r.out, QString());
        EXPECT_FALSE(QFileInfo::exists(out));
        ASSERT_TRUE(sim->command(stall ? QStringLiteral("stall 0") : fault + QStringLiteral(" off")));
        if (c.unplug) {
            ASSERT_TRUE(sim->command(QStringLiteral("plug adapter adapter")));
        }
    }
}

TEST_F(CtlSim, SelectSendsOneModeSelect) {
    const std::pair<const char*, uint8_t> cases[] = {{"ps3", 1}, {"PS4", 2}, {"xbox", 3}, {"Switch", 4}};
    std::size_t n = 0;
    for (const auto& [word, id] : cases) {
        const RunResult r = ctl({QStringLiteral("select"), QString::fromLatin1(word)});
        ASSERT_EQ(r.code, kExitOk) << r.err.toStdString();
        ASSERT_TRUE(sim->waitForOutputReports(++n, 3000));
        const uint8_t args[] = {0x01, id};
        EXPECT_EQ(sim->outputReports().back().bytes, frame({0x00, 0x32, 0xAA, 0x55}, args)) << word;
    }
    const RunResult bad = ctl({QStringLiteral("select"), QStringLiteral("ps5")});
    EXPECT_EQ(bad.code, kExitUsage);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("unknown console \"ps5\"")));
    EXPECT_EQ(sim->outputReports().size(), n);
}

TEST_F(CtlSim, ListExplainsNearMisses) {
    for (const char* plug : {"plug keyboard kbd", "plug feature near1", "plug input64 near2",
                             "plug page near3", "plug twolinks near4"})
        ASSERT_TRUE(sim->command(QString::fromLatin1(plug))) << plug;
    const RunResult r = ctl({QStringLiteral("list")});
    ASSERT_EQ(r.code, kExitOk) << r.err.toStdString();
    const std::pair<const char*, const char*> expected[] = {
        {"/kbd", "not the adapter: vendor ID"},
        {"/near1", "not the adapter: feature report length is 0x9"},
        {"/near2", "not the adapter: input report length"},
        {"/near3", "not the adapter: usage page"},
        {"/near4", "not the adapter: number of link collection nodes"},
        {"/adapter", "the adapter; it can be opened"},
    };
    for (const auto& [iface, verdict] : expected) {
        const qsizetype at = r.out.indexOf(bus() + QString::fromLatin1(iface) + QStringLiteral("  usb"));
        ASSERT_GE(at, 0) << iface << '\n' << r.out.toStdString();
        const qsizetype next = r.out.indexOf(bus(), at + 1);
        EXPECT_TRUE(r.out.mid(at, next < 0 ? -1 : next - at).contains(QString::fromLatin1(verdict)))
            << iface << '\n'
            << r.out.toStdString();
    }
    EXPECT_TRUE(r.out.contains(QStringLiteral("adapter ready: ") + bus() + QStringLiteral("/adapter")));

    const RunResult j = ctl({QStringLiteral("list"), QStringLiteral("--json")});
    ASSERT_EQ(j.code, kExitOk);
    EXPECT_TRUE(j.out.contains(QStringLiteral("\"reason\": \"feature report length is 0x9, not 0x0\"")))
        << j.out.toStdString();
    EXPECT_TRUE(j.out.contains(QStringLiteral("\"open\": \"ok\"")));
}

// The simulator's interfaces, except that opening `locked` is refused for lack of permission (the
// tests run as root, which no file mode keeps out).
class LockedPlatform : public hid::HidPlatform {
public:
    LockedPlatform(std::unique_ptr<hid::HidPlatform> inner, std::string locked)
        : inner_(std::move(inner)), locked_(std::move(locked)) {}
    std::vector<hid::DeviceInfo> enumerate() override { return inner_->enumerate(); }
    std::unique_ptr<hid::HidHandle> open(const std::string& path, hid::OpenError* error) override {
        if (path == locked_) {
            if (error)
                *error = hid::OpenError::PermissionDenied;
            return nullptr;
        }
        return inner_->open(path, error);
    }
    std::unique_ptr<hid::HidMonitor> createMonitor(QObject* parent) override {
        return inner_->createMonitor(parent);
    }

private:
    std::unique_ptr<hid::HidPlatform> inner_;
    std::string locked_;
};

TEST_F(CtlSim, ListAndReadExplainAPermissionProblem) {
    const auto locked = [this] { return std::make_unique<LockedPlatform>(sim->makePlatform(), sim->path()); };
    // Without --simulate the platform handed in is used, and the fix is the udev one.
    RunResult r = runCtl({QStringLiteral("list")}, nullptr, locked);
    EXPECT_EQ(r.code, kExitNoAccess);
    EXPECT_TRUE(r.out.contains(QStringLiteral("the adapter, but it cannot be opened: permission denied")))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("70-velorin.rules")));
    EXPECT_TRUE(
        r.out.contains(QStringLiteral("sudo udevadm control --reload-rules && sudo udevadm trigger")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("replug")));

    r = runCtl({QStringLiteral("list"), QStringLiteral("--json")}, nullptr, locked);
    EXPECT_EQ(r.code, kExitNoAccess);
    EXPECT_TRUE(r.out.contains(QStringLiteral("\"open\": \"permission-denied\""))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("sudo udevadm control --reload-rules")));

    r = runCtl({QStringLiteral("read"), QStringLiteral("-o"), path("x.kvf")}, nullptr, locked);
    EXPECT_EQ(r.code, kExitNoAccess);
    EXPECT_TRUE(r.err.contains(QStringLiteral("udevadm"))) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(path("x.kvf")));
    EXPECT_TRUE(sim->outputReports().empty());

    // A second, accessible adapter is used instead.
    ASSERT_TRUE(sim->command(QStringLiteral("plug adapter spare")));
    r = runCtl({QStringLiteral("list")}, nullptr, locked);
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_TRUE(r.out.contains(QStringLiteral("adapter ready: ") + bus() + QStringLiteral("/spare")));
}

class CtlSimEmpty : public CtlSim {
    QStringList startArgs() const override { return {QStringLiteral("--no-adapter")}; }
};

TEST_F(CtlSimEmpty, NoAdapterIsSaidForEveryAdapterVerb) {
    writeBytes(path("in.kvf"), bytesOf(patternBlock()));
    const QStringList verbs[] = {{QStringLiteral("list")},
                                 {QStringLiteral("read"), QStringLiteral("-o"), path("out.kvf")},
                                 {QStringLiteral("apply"), path("in.kvf")},
                                 {QStringLiteral("select"), QStringLiteral("ps4")},
                                 {QStringLiteral("monitor")}};
    for (const QStringList& v : verbs) {
        const RunResult r = ctl(v);
        EXPECT_EQ(r.code, kExitNoAdapter) << v.join(u' ').toStdString();
        if (v[0] != u"list") {
            EXPECT_TRUE(r.err.contains(QStringLiteral("no adapter found"))) << r.err.toStdString();
        }
    }
    EXPECT_FALSE(QFileInfo::exists(path("out.kvf")));
    const RunResult noBus = runCtl({QStringLiteral("--simulate=") + path("nobus"), QStringLiteral("list")});
    EXPECT_EQ(noBus.code, kExitNoAdapter);
    EXPECT_TRUE(noBus.err.contains(QStringLiteral("velorin-sim --bus")));
}

TEST_F(CtlSim, MonitorNamesPressedButtonsAndStopsOnTheSignal) {
    hid::StopSignal stop;
    RunResult r;
    std::thread runner([&] {
        r = runCtl({QStringLiteral("--simulate=") + bus(), QStringLiteral("monitor"),
                    QStringLiteral("--console"), QStringLiteral("switch")},
                   &stop);
    });
    // Pad states (bytes after A1 C4): A pressed with the stick up-left; then CAPTURE with
    // UP and LEFT; then the same again (not printed twice); then neutral.
    const char* states[] = {"7F7F8080 0000 0100 00", "80808080 0000 0080 05", "80808080 0000 0080 05",
                            "80808080 0000 0000 00"};
    for (int round = 0; round < 3; ++round) {
        for (const char* s : states)
            ASSERT_TRUE(sim->command(QStringLiteral("pad ") + QString::fromLatin1(s)));
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
    stop.raise();
    runner.join();
    EXPECT_EQ(r.code, kExitOk) << r.err.toStdString();
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    const QStringList cycle = {QStringLiteral("pressed: A  stick: up left"),
                               QStringLiteral("pressed: UP LEFT CAPTURE  stick: centre"),
                               QStringLiteral("pressed: -  stick: centre")};
    ASSERT_GE(lines.size(), 3) << r.out.toStdString();
    // The first round may be missed while monitor opens the adapter; after that the cycle repeats.
    const qsizetype first = lines.indexOf(cycle[0]);
    ASSERT_GE(first, 0) << r.out.toStdString();
    for (qsizetype i = first; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], cycle[(i - first) % 3]) << r.out.toStdString();
}

// Records that carry their ids, as every record written by apply does, and odd unused bytes.
class CtlSimDoctor : public CtlSim {
protected:
    QStringList startArgs() const override {
        QByteArray bytes = bytesOf(patternBlock(0x30, 5));
        for (int slot = 0; slot < 4; ++slot)
            bytes[slot * 27] = char("\x01\x02\x04\x03"[slot]);
        writeBytes(seed, bytes);
        return {QStringLiteral("--seed"), seed};
    }
};

// doctor on a healthy bus: every check passes, and the write test leaves the adapter exactly as it
// began, with no mode select on the wire.
TEST_F(CtlSimDoctor, WriteTestPassesAndLeavesTheRecordsAsTheyWere) {
    qputenv("XDG_STATE_HOME", dir.path().toUtf8());
    const auto before = sim->dump();
    const RunResult r =
        ctl({QStringLiteral("doctor"), QStringLiteral("--json"), QStringLiteral("--write-test")});
    ASSERT_EQ(r.code, kExitOk) << r.out.toStdString() << r.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    for (const char* key : {"kernel", "output_path", "interfaces", "adapter", "access", "udev_rule",
                            "identity", "readback_ms", "records_match", "verdict"})
        EXPECT_TRUE(o.contains(QLatin1String(key))) << key;
    EXPECT_EQ(o[QStringLiteral("verdict")].toString(), QStringLiteral("ok"));
    EXPECT_EQ(o[QStringLiteral("output_path")].toString(), QStringLiteral("set_report"));
    EXPECT_EQ(o[QStringLiteral("identity")].toBool(), true);
    EXPECT_EQ(o[QStringLiteral("records_match")].toBool(), true);
    EXPECT_EQ(sim->dump(), before);
    EXPECT_EQ(readBytes(o[QStringLiteral("backup")].toString()), readBytes(seed));
    for (const auto& report : sim->outputReports())
        EXPECT_NE(report.bytes[1], 0x32) << "doctor never selects a mode";
}

// A write the adapter refuses (as a stalled SET_REPORT is refused) is a failed write in every verb's
// words, and never an adapter that "sent no record".
TEST_F(CtlSimDoctor, RefusedWritesAreReportedAsFailedWrites) {
    qputenv("XDG_STATE_HOME", dir.path().toUtf8());
    writeBytes(path("in.kvf"), bytesOf(patternBlock(0x41, 3)));
    const struct {
        const char* refuse;
        QStringList args;
        const char* says;
    } cases[] = {
        {"ps3", {QStringLiteral("doctor")}, "a write to the adapter failed"},
        {"ps3", {QStringLiteral("doctor"), QStringLiteral("--json")}, "\"write_failed\": true"},
        {"switch", {QStringLiteral("read")}, "the adapter refused the request for the SWITCH record"},
        {"ps4", {QStringLiteral("apply"), path("in.kvf")}, "the adapter refused the PS4 record"},
        {"xbox", {QStringLiteral("select"), QStringLiteral("xbox")}, "the adapter refused the mode select"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        ASSERT_TRUE(sim->command(QStringLiteral("refuse %1 on").arg(QLatin1String(c.refuse))));
        const RunResult r = ctl(c.args);
        ASSERT_TRUE(sim->command(QStringLiteral("refuse %1 off").arg(QLatin1String(c.refuse))));
        EXPECT_EQ(r.code, kExitAdapterFailed);
        const QString said = r.out + r.err;
        EXPECT_TRUE(said.contains(QLatin1String(c.says))) << said.toStdString();
        EXPECT_FALSE(said.contains(QStringLiteral("sent no record"))) << said.toStdString();
    }
}

// An interface with an interrupt OUT endpoint whose firmware ignores it: the writes are taken, so
// apply succeeds, but the read requests go unanswered too: verify and the doctor find out and name
// the usbhid quirk.
class CtlSimIgnoredInterrupt : public CtlSim {
protected:
    QStringList startArgs() const override {
        return {QStringLiteral("--seed"), seed, QStringLiteral("--out-endpoint"),
                QStringLiteral("--ignore-interrupt-out")};
    }
};

TEST_F(CtlSimIgnoredInterrupt, VerifyAndDoctorNameTheQuirk) {
    writeBytes(path("new.kvf"), bytesOf(patternBlock(0x50, 3)));
    const RunResult apply = ctl({QStringLiteral("apply"), path("new.kvf"), QStringLiteral("--verify")});
    EXPECT_EQ(apply.code, kExitAdapterFailed) << apply.err.toStdString();
    EXPECT_TRUE(apply.err.contains(QStringLiteral("did not answer the request for the PS3 record")))
        << apply.err.toStdString();
    EXPECT_TRUE(apply.err.contains(QStringLiteral("quirks=0x0888:0x8831:0x00040000")))
        << apply.err.toStdString();
    const auto logged = sim->outputReports();
    ASSERT_FALSE(logged.empty());
    EXPECT_TRUE(logged[0].interrupt && logged[0].ignored && logged[0].accepted);
    EXPECT_EQ(sim->dump()->at(0)[1], bytesOf(patternBlock(0x30, 5))[1]) << "nothing was stored";

    const RunResult doctor = ctl({QStringLiteral("doctor"), QStringLiteral("--json")});
    EXPECT_EQ(doctor.code, kExitAdapterFailed);
    const QJsonObject o = QJsonDocument::fromJson(doctor.out.toUtf8()).object();
    EXPECT_EQ(o[QStringLiteral("output_path")].toString(), QStringLiteral("interrupt"));
    EXPECT_NE(o[QStringLiteral("verdict")].toString(), QStringLiteral("ok"));
    EXPECT_TRUE(o[QStringLiteral("advice")].toString().contains(QStringLiteral("velorin-usbhid-quirk.conf")));
}

} // namespace

#endif
