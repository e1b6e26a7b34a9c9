// The checks that need nothing but the adapter itself: in the kernel test machine they run against
// the gadget; an owner runs them against a real adapter with scripts/test-adapter
// (VELORIN_REAL_ADAPTER=1), never as part of scripts/test. The adapter's records are saved first
// and written back at the end if anything changed them, as doctor --write-test does.
#include "KernelSupport.h"

#include "tests/TestApplication.h"

#include "device/AdapterSession.h"
#include "device/Discovery.h"
#include "device/Reports.h"
#include "device/Sequences.h"
#include "model/KvfCodec.h"

#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace velorin;
using namespace velorin::device;
using namespace velorin::kernel;

namespace {

bool realAdapter() {
    return qEnvironmentVariable("VELORIN_REAL_ADAPTER") == QStringLiteral("1");
}

// Writes the four records byte for byte (no preparation, no mode select), as doctor does.
bool writeExactly(AdapterSession& session, const WorkModeBlock& block) {
    const std::unique_ptr<hid::HidHandle> handle = OpenAdapter(session);
    if (!handle)
        return false;
    for (const ConsoleId c : kBlockOrder)
        if (!handle->setOutputReport(makeWriteWorkModeReport(block.record(c))))
            return false;
    return true;
}

class Adapter : public ::testing::Test {
protected:
    void SetUp() override {
        if (!realAdapter()) {
            const std::string why = unavailableReason();
            if (!why.empty()) {
                GTEST_SKIP() << why << "; against your own adapter: scripts/test-adapter (docs/HARDWARE.md)";
            }
        }
        velorin::test::guiApplication();
        if (!realAdapter()) {
            ASSERT_TRUE(resetGadget());
        }
        session = std::make_unique<AdapterSession>(hid::makeHidrawPlatform());
        session->modeSelectPending().store(false);
        const std::optional<std::string> path = FindAdapter(session->platform());
        ASSERT_TRUE(path) << "no adapter found (is it plugged in, and may you open it? velorinctl doctor)";
        node = *path;
        ASSERT_EQ(ReadBackFromAdapter(*session, saved).size(), 4u) << "the adapter's records cannot be read";
        QString state = qEnvironmentVariable("XDG_STATE_HOME");
        if (state.isEmpty())
            state = QDir::homePath() + QStringLiteral("/.local/state");
        QDir().mkpath(state + QStringLiteral("/velorin"));
        backup = state + QStringLiteral("/velorin/kernel-suite-backup-") +
                 QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                 QStringLiteral(".kvf");
        ASSERT_TRUE(kvf::write(backup, saved)) << "cannot save the records in " << backup.toStdString();
    }
    void TearDown() override {
        if (!backup.isEmpty()) {
            WorkModeBlock now;
            if (ReadBackFromAdapter(*session, now).size() != 4 || now != saved) {
                EXPECT_TRUE(writeExactly(*session, saved))
                    << "restore them: velorinctl apply " << backup.toStdString();
                WorkModeBlock back;
                EXPECT_EQ(ReadBackFromAdapter(*session, back).size(), 4u);
                EXPECT_EQ(back, saved) << "restore them: velorinctl apply " << backup.toStdString();
            }
        }
    }

    std::unique_ptr<AdapterSession> session;
    std::string node;
    WorkModeBlock saved;
    QString backup;
};

// What the kernel says the adapter is, through sysfs and through the open node, is the identity the
// adapter's description fixes.
TEST_F(Adapter, IdentityThroughSysfsAndTheNode) {
    const std::vector<Node> all = nodes();
    const auto n = std::find_if(all.begin(), all.end(), [&](const Node& x) { return x.devnode == node; });
    ASSERT_NE(n, all.end());
    EXPECT_EQ(n->hidId, kAdapterHidId);
    const int fd = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    hidraw_devinfo raw{};
    int size = 0;
    hidraw_report_descriptor desc{};
    const bool asked = ::ioctl(fd, HIDIOCGRAWINFO, &raw) == 0 && ::ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0 &&
                       (desc.size = static_cast<uint32_t>(size), ::ioctl(fd, HIDIOCGRDESC, &desc) == 0);
    ::close(fd);
    ASSERT_TRUE(asked);
    EXPECT_EQ(raw.bustype, 3u);
    EXPECT_EQ(static_cast<uint16_t>(raw.vendor), 0x0888);
    EXPECT_EQ(static_cast<uint16_t>(raw.product), 0x8831);
    EXPECT_EQ(std::vector<uint8_t>(desc.value, desc.value + desc.size), n->descriptor);
    const AdapterHandle handle = OpenAdapterPath(session->platform(), node);
    ASSERT_TRUE(handle);
    const hid::DeviceInfo info = (*handle)->identity();
    ASSERT_FALSE(info.collections.empty());
    EXPECT_EQ(info.collections[0], (hid::CollectionCaps{0xFFC0, 1, 33, 65, 0, 1}));
}

// doctor's write test passes, and the way it names for output reports is the way usbmon saw them
// travel (where usbmon can be read: root, debugfs, the usbmon module).
TEST_F(Adapter, DoctorsWriteTestPassesAndItsOutputPathIsWhatTravelled) {
    const std::vector<Node> all = nodes();
    const auto n = std::find_if(all.begin(), all.end(), [&](const Node& x) { return x.devnode == node; });
    ASSERT_NE(n, all.end());
    Usbmon usbmon(n->busnum);
    const CtlRun doctor = runVelorinctl({"doctor", "--json", "--write-test"});
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(doctor.out)).object();
    EXPECT_EQ(doctor.code, 0) << doctor.out << doctor.err;
    EXPECT_EQ(o[QStringLiteral("verdict")].toString(), QStringLiteral("ok"));
    EXPECT_TRUE(o[QStringLiteral("records_match")].toBool());
    EXPECT_TRUE(o[QStringLiteral("restored")].toBool());
    if (!usbmon.open()) {
        std::printf("usbmon cannot be read here: the output path is not checked against the wire\n");
        return;
    }
    EXPECT_EQ(o[QStringLiteral("output_path")].toString().toStdString(),
              travelled(usbmon.take(), n->busnum, n->devnum).path);
}

} // namespace
