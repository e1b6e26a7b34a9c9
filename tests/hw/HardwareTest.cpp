// The hidraw + udev backend on a real kernel, against the virtual adapter of VirtualAdapter.h:
// discovery through udev, read-back, apply, the reader's live state, unplug and replug.
#include "VirtualAdapter.h"
#include "tests/device/link/TestSupport.h"

#include "device/AdapterSession.h"
#include "device/Discovery.h"
#include "device/HidInputWnd.h"
#include "device/Messages.h"
#include "device/Reports.h"
#include "device/Sequences.h"
#include "device/hid/HidPlatform.h"

#include <gtest/gtest.h>

#include <thread>

using namespace velorin;
using namespace velorin::device;
using velorin::hw::VirtualAdapter;
using velorin::test::pumpUntil;

namespace {

class Hardware : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string why = VirtualAdapter::unavailableReason();
        if (!why.empty())
            GTEST_SKIP() << why;
        test::ensureCoreApp();
        session = std::make_shared<AdapterSession>(hid::makeHidrawPlatform());
        session->modeSelectPending().store(false);
        std::string error;
        ASSERT_TRUE(adapter.plug(&error)) << error;
        // The node appears once the kernel bound the device and udev made it.
        ASSERT_TRUE(pumpUntil([this] { return FindAdapter(session->platform()).has_value(); }, 5000))
            << "the virtual adapter is not found";
    }

    std::shared_ptr<AdapterSession> session;
    VirtualAdapter adapter;
};

TEST_F(Hardware, DiscoveryFindsTheVirtualAdapterAndTheOpenHandleIsIt) {
    const std::optional<std::string> path = FindAdapter(session->platform());
    ASSERT_TRUE(path);
    EXPECT_EQ(path->rfind("/dev/hidraw", 0), 0u) << *path;
    const auto handle = OpenAdapterPath(session->platform(), *path);
    ASSERT_TRUE(handle);
    EXPECT_EQ(handle.kind(), hid::OpenError::None);
    EXPECT_TRUE(isAdapterIdentity((*handle)->identity()));
}

TEST_F(Hardware, ReadBackAndApplyRoundTrip) {
    WorkModeBlock block;
    ASSERT_EQ(ReadBackFromAdapter(*session, block).size(), 4u);
    const auto records = adapter.records();
    for (std::size_t s = 0; s < 4; ++s) {
        const ConstRecordSpan got = block.record(kBlockOrder[s]);
        EXPECT_TRUE(std::equal(got.begin(), got.end(), records[s].begin())) << "slot " << s;
    }

    block.setButton(ConsoleId::PS3, PadButton::L2, 0x04);
    ASSERT_EQ(ApplyToAdapter(*session, block, ConsoleId::XBOX).status, ApplyStatus::Success);
    EXPECT_EQ(adapter.records()[0][recordByte(PadButton::L2)], 0x04);
    const auto received = adapter.received();
    ASSERT_FALSE(received.empty());
    const auto& last = received.back().bytes;
    ASSERT_GE(last.size(), 6u);
    EXPECT_EQ(last[1], 0x32);
    EXPECT_EQ(last[5], 0x03);
}

TEST_F(Hardware, LampsFollowThePadAndGoOutOnUnplugThenReplugIsFound) {
    QObject owner;
    CHidInputWnd listener(session, &owner);
    std::array<uint8_t, 32> pad{0xA1, 0xC4, 0x80, 0x80, 0x80, 0x80, 0, 0, 0x01};
    ASSERT_TRUE(pumpUntil([&] {
        adapter.sendInput(pad);
        return session->joyData().get()[8] == 0x01;
    }));
    adapter.unplug();
    ASSERT_TRUE(pumpUntil(
        [&] { return session->adapterPath().get().empty() && session->joyData().get() == JoyState{}; }));
    std::string error;
    ASSERT_TRUE(adapter.plug(&error)) << error;
    ASSERT_TRUE(pumpUntil([&] { return !session->adapterPath().get().empty(); })) << "no arrival notice";
    pad[8] = 0x02;
    EXPECT_TRUE(pumpUntil([&] {
        adapter.sendInput(pad);
        return session->joyData().get()[8] == 0x02;
    }));
}

} // namespace
