#include "device/Discovery.h"
#include "device/AdapterSession.h"

#include "TestSupport.h"

#include "core/sim/Interfaces.h"
#include "device/hid/ReportDescriptor.h"

#include <gtest/gtest.h>

#include <thread>

using namespace velorin;
using namespace velorin::hid;
using velorin::device::isAdapterIdentity;
using velorin::hid::test::FakePlatform;

namespace {

DeviceInfo adapterInfo(const std::string& path) {
    DeviceInfo d;
    d.path = path;
    d.busType = 3;
    d.vendorId = 0x0888;
    d.productId = 0x8831;
    d.collections = {{0xFFC0, 0x0001, 33, 65, 0, 1}};
    return d;
}

} // namespace

TEST(AdapterIdentity, AcceptsTheAdapterAndRejectsEveryNearMiss) {
    EXPECT_TRUE(isAdapterIdentity(adapterInfo("a")));
    struct Miss {
        const char* name;
        std::function<void(DeviceInfo&)> change;
        const char* mentions;
    };
    const std::vector<Miss> misses = {
        {"vendor", [](DeviceInfo& d) { d.vendorId = 0x0889; }, "vendor"},
        {"product", [](DeviceInfo& d) { d.productId = 0x8830; }, "product"},
        {"usage page", [](DeviceInfo& d) { d.collections[0].usagePage = 0xFF00; }, "usage page"},
        {"usage", [](DeviceInfo& d) { d.collections[0].usage = 2; }, "usage"},
        {"input 64 bytes", [](DeviceInfo& d) { d.collections[0].inputReportLength = 65; }, "input"},
        {"output", [](DeviceInfo& d) { d.collections[0].outputReportLength = 33; }, "output"},
        {"feature report", [](DeviceInfo& d) { d.collections[0].featureReportLength = 9; }, "feature"},
        {"two link collections", [](DeviceInfo& d) { d.collections[0].linkCollectionNodes = 2; }, "link"},
        {"no descriptor", [](DeviceInfo& d) { d.collections.clear(); }, "descriptor"},
        {"adapter collection second",
         [](DeviceInfo& d) {
             d.collections.insert(d.collections.begin(), CollectionCaps{1, 6, 9, 2, 0, 1});
         },
         "usage page"},
    };
    for (const auto& m : misses) {
        DeviceInfo d = adapterInfo("a");
        m.change(d);
        std::string why;
        EXPECT_FALSE(isAdapterIdentity(d, &why)) << m.name;
        EXPECT_NE(why.find(m.mentions), std::string::npos) << m.name << ": " << why;
    }
}

// The descriptors the simulator and the gadget declare, read by the same parser as a hidraw node's:
// the adapter's has exactly the figures of the adapter's description, and each near miss differs
// in the one figure its name says.
TEST(AdapterIdentity, TheInterfaceKindsDeclareTheirFigures) {
    const struct {
        velorin::sim::Kind kind;
        uint16_t vendor;
        CollectionCaps caps;
    } rows[] = {
        {velorin::sim::Kind::Adapter, 0x0888, {0xFFC0, 1, 33, 65, 0, 1}},
        {velorin::sim::Kind::Feature, 0x0888, {0xFFC0, 1, 33, 65, 9, 1}},
        {velorin::sim::Kind::Input64, 0x0888, {0xFFC0, 1, 65, 65, 0, 1}},
        {velorin::sim::Kind::OtherPage, 0x0888, {0xFFC1, 1, 33, 65, 0, 1}},
        {velorin::sim::Kind::TwoLinks, 0x0888, {0xFFC0, 1, 33, 65, 0, 2}},
        {velorin::sim::Kind::Keyboard, 0x1D6B, {0x01, 0x06, 9, 2, 0, 1}},
        {velorin::sim::Kind::Mouse, 0x1D6B, {0x01, 0x02, 5, 0, 0, 2}},
    };
    for (const auto& r : rows) {
        const velorin::sim::InterfaceIdentity id = velorin::sim::interfaceIdentity(r.kind);
        SCOPED_TRACE(velorin::sim::kindName(r.kind));
        const DescriptorCaps parsed = parseReportDescriptor(id.descriptor);
        ASSERT_TRUE(parsed.ok()) << parsed.error;
        EXPECT_FALSE(parsed.usesReportIds);
        ASSERT_EQ(parsed.collections.size(), 1u);
        EXPECT_EQ(parsed.collections[0], r.caps);
        EXPECT_EQ(id.vendorId, r.vendor);
        // A USB function's packet size is its longest report, without the report-ID byte.
        const auto& c = parsed.collections[0];
        EXPECT_EQ(id.reportLength + 1,
                  std::max({c.inputReportLength, c.outputReportLength, c.featureReportLength}));

        DeviceInfo info = adapterInfo("x");
        info.vendorId = id.vendorId;
        info.productId = id.productId;
        info.collections = parsed.collections;
        EXPECT_EQ(isAdapterIdentity(info), r.kind == velorin::sim::Kind::Adapter);
    }
}

TEST(FindAdapter, FirstOpenableMatchInEnumerationOrderWins) {
    auto fake = std::make_unique<FakePlatform>();
    FakePlatform* f = fake.get();
    DeviceInfo kb = adapterInfo("/dev/hidraw0");
    kb.vendorId = 0x046D;
    DeviceInfo miss = adapterInfo("/dev/hidraw1");
    miss.collections[0].featureReportLength = 3;
    f->devices = {kb, miss, adapterInfo("/dev/hidraw2"), adapterInfo("/dev/hidraw3"),
                  adapterInfo("/dev/hidraw4")};
    f->openErrors["/dev/hidraw2"] = OpenError::PermissionDenied;

    EXPECT_EQ(device::FindAdapter(*fake), std::optional<std::string>("/dev/hidraw3"));
    // Only identity matches are opened, and the scan stops at the first that opens.
    EXPECT_EQ(f->opened, (std::vector<std::string>{"/dev/hidraw2", "/dev/hidraw3"}));
}

TEST(FindAdapter, NothingFoundWithoutAnAdapterAndPathStaysEmpty) {
    auto fake = std::make_unique<FakePlatform>();
    DeviceInfo other = adapterInfo("/dev/hidraw0");
    other.collections[0].inputReportLength = 65;
    fake->devices = {other};
    device::AdapterSession session(std::move(fake));
    EXPECT_FALSE(device::FindAdapter(session.platform()));
    EXPECT_EQ(device::OpenAdapter(session), nullptr);
    EXPECT_EQ(session.adapterPath().get(), "");
}

TEST(DiagnoseAdapters, TellsThatAnAdapterIsPresentButNotAccessible) {
    auto fake = std::make_unique<FakePlatform>();
    fake->devices = {adapterInfo("/dev/hidraw5"), adapterInfo("/dev/hidraw7")};
    fake->openErrors["/dev/hidraw5"] = OpenError::PermissionDenied;
    fake->openErrors["/dev/hidraw7"] = OpenError::PermissionDenied;
    EXPECT_FALSE(device::FindAdapter(*fake));
    const auto d = device::DiagnoseAdapters(*fake);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].path, "/dev/hidraw5");
    EXPECT_EQ(d[0].openError, OpenError::PermissionDenied);
}

TEST(OpenAdapter, ScansAndStoresThePathOnlyWhenEmpty) {
    auto fake = std::make_unique<FakePlatform>();
    FakePlatform* f = fake.get();
    f->devices = {adapterInfo("/dev/hidraw1")};
    device::AdapterSession session(std::move(fake));
    EXPECT_NE(device::OpenAdapter(session), nullptr);
    EXPECT_EQ(session.adapterPath().get(), "/dev/hidraw1");
    // A known path is opened as it is, without a new scan, even when it has gone stale.
    session.adapterPath().set("/dev/hidraw9");
    f->openErrors["/dev/hidraw9"] = OpenError::NotFound;
    EXPECT_EQ(device::OpenAdapter(session), nullptr);
    EXPECT_EQ(session.adapterPath().get(), "/dev/hidraw9");
}

// The adapter goes between the scan, which could open it, and the open that follows: its removal
// may have been handled in between, so the path found must not stay behind.
TEST(OpenAdapter, APathFoundThatCannotBeOpenedRightAfterIsNotKept) {
    struct GoneAfterScan : FakePlatform {
        std::unique_ptr<HidHandle> open(const std::string& path, OpenError* error) override {
            if (opened.size() == 1)
                openErrors[path] = OpenError::NotFound; // unplugged after the scan's open
            return FakePlatform::open(path, error);
        }
    };
    auto fake = std::make_unique<GoneAfterScan>();
    fake->devices = {adapterInfo("/dev/hidraw2")};
    device::AdapterSession session(std::move(fake));
    EXPECT_EQ(device::OpenAdapter(session), nullptr);
    EXPECT_EQ(session.adapterPath().get(), "");
}

TEST(AdapterPath, ClearIfSameIgnoresAsciiCaseOnly) {
    device::AdapterPath p;
    struct Case {
        const char* stored;
        const char* removed;
        bool clears;
    };
    const Case cases[] = {
        {"/dev/hidraw3", "/dev/hidraw3", true},
        {"\\\\?\\HID#VID_0888&PID_8831", "\\\\?\\hid#vid_0888&pid_8831", true},
        {"/dev/hidraw3", "/dev/hidraw30", false},
        {"/dev/hidraw3", "/dev/hidraw4", false},
        {"/dev/\xC3\x84", "/dev/\xC3\xA4", false}, // not ASCII: case differences count
        {"", "", false},
    };
    for (const auto& c : cases) {
        p.set(c.stored);
        EXPECT_EQ(p.empty(), *c.stored == '\0');
        EXPECT_EQ(p.clearIfSame(c.removed), c.clears) << c.stored << " / " << c.removed;
        EXPECT_EQ(p.get(), c.clears ? "" : c.stored);
        EXPECT_EQ(p.empty(), p.get().empty()) << "what the reader asks without the lock";
    }
}

TEST(AdapterPath, ReadersNeverSeeATornPath) {
    device::AdapterPath p;
    const std::string a(200, 'a'), b(50, 'b');
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!done) {
            const std::string s = p.get();
            if (!s.empty() && s != a && s != b)
                ++torn;
        }
    });
    for (int i = 0; i < 20000; ++i) {
        p.set(i % 2 ? a : b);
        if (i % 7 == 0)
            p.clearIfSame(i % 2 ? std::string(200, 'A') : b);
    }
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0);
}
