// The device link on a real kernel: the adapter is velorin-gadget behind dummy_hcd, bound by the
// real usbhid driver; hidraw, udevd and usbmon are the kernel's own. One boot per endpoint variant
// (scripts/test-kernel); the usbhid quirk is switched inside the boot.
#include "KernelSupport.h"

#include "tests/TestApplication.h"
#include "tests/device/link/TestSupport.h"
#include "tests/hw/VirtualAdapter.h"

#include "device/AdapterSession.h"
#include "device/Discovery.h"
#include "device/HidInputWnd.h"
#include "device/Sequences.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <libudev.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace velorin;
using namespace velorin::device;
using namespace velorin::kernel;

namespace {

// 00 cmd AA 55, the arguments, zeros to 65 bytes: the frame as the adapter's description gives it.
std::vector<uint8_t> frame(uint8_t command, std::span<const uint8_t> args) {
    std::vector<uint8_t> f(65, 0);
    f[1] = command;
    f[2] = 0xAA;
    f[3] = 0x55;
    std::copy(args.begin(), args.end(), f.begin() + 4);
    return f;
}

// A record of `console` whose every byte says where it is; bytes 6-9 (and 26 for PS3 and XBOX)
// zero, as apply prepares them, so what is written is what is read back.
Record patterned(uint8_t console, uint8_t seed) {
    Record r{};
    r[0] = console;
    for (std::size_t i = 1; i < r.size(); ++i)
        r[i] = static_cast<uint8_t>(seed + i);
    std::fill(r.begin() + 6, r.begin() + 10, uint8_t{0});
    if (console == 1 || console == 3)
        r[26] = 0;
    return r;
}

constexpr uint8_t kIds[4] = {1, 2, 4, 3}; // block order

WorkModeBlock blockOf(uint8_t seed) {
    WorkModeBlock b;
    for (std::size_t s = 0; s < 4; ++s)
        b.replaceRecord(kBlockOrder[s], patterned(kIds[s], static_cast<uint8_t>(seed + 0x20 * s)));
    return b;
}

std::array<Record, 4> recordsOf(const WorkModeBlock& b) {
    std::array<Record, 4> out{};
    for (std::size_t s = 0; s < 4; ++s)
        std::copy_n(b.record(kBlockOrder[s]).begin(), 27, out[s].begin());
    return out;
}

std::string configfsDescriptor(int interface) {
    const std::string path = "/sys/kernel/config/usb_gadget/velorin/functions/hid.usb" +
                             std::to_string(interface) + "/report_desc";
    std::string data;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    char buf[4096];
    const ssize_t got = fd >= 0 ? ::read(fd, buf, sizeof buf) : -1;
    if (fd >= 0)
        ::close(fd);
    return got > 0 ? std::string(buf, static_cast<std::size_t>(got)) : std::string();
}

bool hasUaccessTag(const std::string& sysname) {
    udev* u = udev_new();
    udev_device* d = u ? udev_device_new_from_subsystem_sysname(u, "hidraw", sysname.c_str()) : nullptr;
    const bool tagged = d && udev_device_has_tag(d, "uaccess") > 0;
    if (d)
        udev_device_unref(d);
    if (u)
        udev_unref(u);
    return tagged;
}

class Kernel : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string why = unavailableReason();
        if (!why.empty())
            GTEST_SKIP() << why;
        velorin::test::guiApplication();
        ASSERT_TRUE(resetGadget()) << "the gadget adapter did not come back";
        useSession(hid::makeHidrawPlatform());
    }
    void TearDown() override {
        listener.reset();
        owner.reset();
    }
    // A fresh adapter session on `platform`, with no mode select pending.
    void useSession(std::unique_ptr<hid::HidPlatform> platform) {
        session = std::make_shared<AdapterSession>(std::move(platform));
        session->modeSelectPending().store(false);
    }
    void startListener() {
        owner = std::make_unique<test::NoticeCounter>();
        listener = std::make_unique<CHidInputWnd>(session, owner.get());
    }
    std::shared_ptr<AdapterSession> session;
    std::unique_ptr<test::NoticeCounter> owner;
    std::unique_ptr<CHidInputWnd> listener;
};

// sysfs, the descriptor, HIDIOCGRAWINFO and HIDIOCGRDESC agree for every interface of one device
// with the adapter's ids; only the one whose collection and lengths are the adapter's is taken,
// though three near misses come before it.
TEST_F(Kernel, DiscoveryTakesTheAdapterAndNoNearMiss) {
    const std::vector<Node> found = plugGadget("input64 page feature adapter");
    ASSERT_EQ(found.size(), 4u);
    // The identity figures the adapter's description fixes, and what each near miss changes.
    const struct {
        const char* kind;
        hid::CollectionCaps caps;
        bool adapter;
    } rows[] = {
        {"input64", {0xFFC0, 1, 65, 65, 0, 1}, false},
        {"page", {0xFFC1, 1, 33, 65, 0, 1}, false},
        {"feature", {0xFFC0, 1, 33, 65, 9, 1}, false},
        {"adapter", {0xFFC0, 1, 33, 65, 0, 1}, true},
    };
    const std::vector<hid::DeviceInfo> infos = session->platform().enumerate();
    for (std::size_t i = 0; i < 4; ++i) {
        const Node& n = found[i];
        SCOPED_TRACE(std::string(rows[i].kind) + " at " + n.devnode);
        EXPECT_EQ(n.interfaceNumber, static_cast<int>(i));
        EXPECT_EQ(n.hidId, kAdapterHidId);
        const std::string written = configfsDescriptor(static_cast<int>(i));
        ASSERT_FALSE(written.empty());
        EXPECT_EQ(std::string(n.descriptor.begin(), n.descriptor.end()), written) << "sysfs";

        const int fd = ::open(n.devnode.c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        hidraw_devinfo raw{};
        int size = 0;
        hidraw_report_descriptor desc{};
        const bool asked = ::ioctl(fd, HIDIOCGRAWINFO, &raw) == 0 &&
                           ::ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0 &&
                           (desc.size = static_cast<uint32_t>(size), ::ioctl(fd, HIDIOCGRDESC, &desc) == 0);
        ::close(fd);
        ASSERT_TRUE(asked);
        EXPECT_EQ(raw.bustype, 3u); // BUS_USB
        EXPECT_EQ(static_cast<uint16_t>(raw.vendor), 0x0888);
        EXPECT_EQ(static_cast<uint16_t>(raw.product), 0x8831);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(desc.value), desc.size), written)
            << "HIDIOCGRDESC";

        const auto info =
            std::find_if(infos.begin(), infos.end(), [&](const auto& d) { return d.path == n.devnode; });
        ASSERT_NE(info, infos.end());
        ASSERT_EQ(info->collections.size(), 1u);
        EXPECT_EQ(info->collections[0], rows[i].caps);
        EXPECT_EQ(info->interruptOut, std::optional<bool>(interruptVariant()));
        EXPECT_EQ(isAdapterIdentity(*info), rows[i].adapter);
        const AdapterHandle handle = OpenAdapterPath(session->platform(), n.devnode);
        EXPECT_EQ(handle.kind(), rows[i].adapter ? hid::OpenError::None : hid::OpenError::NotAdapter);
    }
    EXPECT_EQ(FindAdapter(session->platform()), std::optional<std::string>(found[3].devnode));
}

// Read-back, apply and its mode select with and without the usbhid quirk: what the firmware
// received, byte for byte; the way usbmon saw it travel; and doctor naming that way. With the quirk
// on an interface that has an interrupt OUT endpoint, the adapter stalls every SET_REPORT: each
// write fails, and every caller says so.
TEST_F(Kernel, OutputReportsTravelTheWayDoctorSays) {
    const bool bootQuirk = usbhidQuirkSet();
    for (const bool quirk : {!bootQuirk, bootQuirk}) { // ends as the machine booted
        SCOPED_TRACE(quirk ? "usbhid quirk set" : "no usbhid quirk");
        std::string error;
        ASSERT_TRUE(setUsbhidQuirk(quirk, &error)) << error;
        const std::vector<Node> nodes = gadgetNodes();
        ASSERT_EQ(nodes.size(), 1u);
        const bool interrupt = interruptVariant() && !quirk;
        const bool stalls = interruptVariant() && quirk;
        const std::string way = interrupt ? "interrupt" : "set_report";
        session->adapterPath().clear();

        const WorkModeBlock stored = blockOf(0x10);
        for (const Record& r : recordsOf(stored))
            ASSERT_TRUE(storeRecord(r));
        ASSERT_TRUE(gadget("clear").ok());
        Usbmon usbmon(nodes[0].busnum);
        ASSERT_TRUE(usbmon.open());

        WorkModeBlock block;
        ReadBackEnd end = ReadBackEnd::Complete;
        const auto replaced = ReadBackFromAdapter(*session, block, {}, &end);
        WorkModeBlock written = blockOf(0x60);
        const ApplyResult applied = ApplyToAdapter(*session, written, ConsoleId::SWITCH);

        std::vector<std::vector<uint8_t>> expected;
        if (stalls) {
            EXPECT_TRUE(replaced.empty());
            EXPECT_EQ(end, ReadBackEnd::RequestFailed);
            // A stalled SET_REPORT is the adapter turning the report down.
            EXPECT_EQ(applied, (ApplyResult{ApplyStatus::WriteFailed, ConsoleId::PS3, LinkError::Refused}));
        } else {
            EXPECT_EQ(replaced.size(), 4u);
            EXPECT_EQ(end, ReadBackEnd::Complete);
            EXPECT_EQ(block, stored);
            EXPECT_EQ(applied.status, ApplyStatus::Success);
            for (const uint8_t id : kIds)
                expected.push_back(frame(0x31, std::array{id}));
            for (const Record& r : recordsOf(blockOf(0x60)))
                expected.push_back(frame(0x30, r));
            expected.push_back(frame(0x32, std::array<uint8_t, 2>{0x01, 0x04}));
        }
        const std::vector<Received> got = receivedAtLeast(expected.size());
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].bytes, expected[i]) << "report " << i;
            EXPECT_EQ(got[i].way, way) << "report " << i;
            EXPECT_EQ(got[i].outcome, "ok") << "report " << i;
        }
        const Travelled t = travelled(usbmon.take(), nodes[0].busnum, nodes[0].devnum);
        EXPECT_EQ(t.path, stalls ? "set_report" : way);
        EXPECT_EQ(t.reports, stalls ? 2 : 9) << "stalled: the first request and the first record";
        EXPECT_EQ(t.stalled, stalls ? 2 : 0);

        // doctor names the way usbmon saw, and a stalled write as a failed write.
        const CtlRun doctor = runVelorinctl({"doctor", "--json", "--write-test"});
        const Travelled seen = travelled(usbmon.take(), nodes[0].busnum, nodes[0].devnum);
        const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(doctor.out)).object();
        EXPECT_EQ(o[QStringLiteral("output_path")].toString().toStdString(), seen.path) << doctor.out;
        EXPECT_EQ(o[QStringLiteral("usbhid_quirk")].toBool(), quirk);
        EXPECT_EQ(o[QStringLiteral("write_failed")].toBool(), stalls);
        EXPECT_EQ(o[QStringLiteral("verdict")].toString().toStdString(),
                  stalls ? "a write to the adapter failed" : "ok");
        EXPECT_EQ(doctor.code, stalls ? 7 : 0) << doctor.err;
        EXPECT_EQ(seen.stalled > 0, stalls);
        if (!stalls) {
            EXPECT_EQ(records(), recordsOf(blockOf(0x60)))
                << "the write test leaves the records as they were";
        }
    }
}

// A replug while a read-back runs: the request that meets the gone node is a failed write, the
// records before it are taken, and the arrival through udevd brings a whole read-back.
TEST_F(Kernel, ReplugDuringReadBack) {
    const WorkModeBlock stored = blockOf(0x30);
    for (const Record& r : recordsOf(stored))
        ASSERT_TRUE(storeRecord(r));
    useSession(makeHookedHidraw([](int write) {
        if (write != 2) // the PS4 request
            return;
        ASSERT_EQ(plugGadget().size(), 1u); // unplugged, then plugged in again
    }));
    startListener();
    WorkModeBlock again;
    std::vector<ConsoleId> second;
    owner->onArrival = [&] { second = ReadBackFromAdapter(*session, again); };

    WorkModeBlock block = blockOf(0x70);
    ReadBackEnd end = ReadBackEnd::Complete;
    EXPECT_EQ(ReadBackFromAdapter(*session, block, {}, &end), std::vector{ConsoleId::PS3});
    EXPECT_EQ(end, ReadBackEnd::RequestFailed);
    EXPECT_EQ(recordsOf(block)[0], recordsOf(stored)[0]);
    for (std::size_t s = 1; s < 4; ++s)
        EXPECT_EQ(recordsOf(block)[s], recordsOf(blockOf(0x70))[s]) << "slot " << s << " keeps its record";

    ASSERT_TRUE(test::pumpUntil([&] { return second.size() == 4; }, kNodeTimeoutMs)) << "no arrival notice";
    EXPECT_EQ(again, stored);
}

// An unplug in the middle of an apply: the records written before it are in the adapter, the one
// that met the gone node is reported, nothing after it is sent, no mode select follows.
TEST_F(Kernel, UnplugInTheMiddleOfAnApply) {
    const WorkModeBlock before = blockOf(0x30);
    for (const Record& r : recordsOf(before))
        ASSERT_TRUE(storeRecord(r));
    ASSERT_TRUE(gadget("clear").ok());
    useSession(makeHookedHidraw([](int write) {
        if (write != 3) // the SWITCH record
            return;
        ASSERT_TRUE(unplugGadget());
    }));
    WorkModeBlock block = blockOf(0x50);
    EXPECT_EQ(ApplyToAdapter(*session, block, ConsoleId::PS3),
              (ApplyResult{ApplyStatus::WriteFailed, ConsoleId::SWITCH, LinkError::Gone}));
    const auto sent = recordsOf(blockOf(0x50));
    const std::vector<Received> got = received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].bytes, frame(0x30, sent[0]));
    EXPECT_EQ(got[1].bytes, frame(0x30, sent[1]));

    ASSERT_EQ(plugGadget().size(), 1u);
    const auto now = records();
    EXPECT_EQ(now[0], sent[0]);
    EXPECT_EQ(now[1], sent[1]);
    EXPECT_EQ(now[2], recordsOf(before)[2]);
    EXPECT_EQ(now[3], recordsOf(before)[3]);
}

// A node number the adapter had, given to another device: the known path fails the identity check,
// is forgotten, and no handle comes back.
TEST_F(Kernel, ANodeNumberReusedByAnotherDeviceIsNotTheAdapter) {
    const std::optional<std::string> path = FindAdapter(session->platform());
    ASSERT_TRUE(path);
    session->adapterPath().set(*path);
    const std::vector<Node> keyboard = plugGadget("keyboard");
    ASSERT_EQ(keyboard.size(), 1u);
    ASSERT_EQ(keyboard[0].devnode, *path) << "the kernel gave the keyboard another node";
    ASSERT_NE(keyboard[0].hidId, kAdapterHidId);

    EXPECT_EQ(OpenAdapterPath(session->platform(), *path).kind(), hid::OpenError::NotAdapter);
    EXPECT_EQ(OpenAdapter(*session), nullptr);
    EXPECT_TRUE(session->adapterPath().empty());
}

// The project's udev rule tags the adapter's node for the seat's user, and no other node: not a
// keyboard, not a device with the adapter's ids that is not on USB (uhid).
TEST_F(Kernel, TheUdevRuleTagsOnlyTheAdapter) {
    const std::vector<Node> adapter = gadgetNodes();
    ASSERT_EQ(adapter.size(), 1u);
    EXPECT_TRUE(hasUaccessTag(adapter[0].sysname)) << "the adapter";

    const std::vector<Node> keyboard = plugGadget("keyboard");
    ASSERT_EQ(keyboard.size(), 1u);
    EXPECT_FALSE(hasUaccessTag(keyboard[0].sysname)) << "a keyboard";
    ASSERT_TRUE(unplugGadget());

    hw::VirtualAdapter virtualAdapter;
    UdevWatch watch;
    std::string error;
    ASSERT_TRUE(virtualAdapter.plug(&error)) << error;
    const std::vector<std::string> uhid = watch.waitFor("add", 1);
    ASSERT_EQ(uhid.size(), 1u);
    EXPECT_FALSE(hasUaccessTag(uhid[0])) << "the adapter's ids without a USB parent";
}

} // namespace
