#include "FakeHid.h"

#include "device/AdapterSession.h"
#include "device/Discovery.h"
#include "device/Reports.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace velorin;
using namespace velorin::device;
using velorin::test::FakeBus;

namespace {

std::vector<uint8_t> bytes(std::initializer_list<uint8_t> head) {
    std::vector<uint8_t> v(hid::kOutputReportSize, 0);
    std::copy(head.begin(), head.end(), v.begin());
    return v;
}

std::vector<uint8_t> asVector(const hid::OutputReport& r) {
    return {r.begin(), r.end()};
}

TEST(ReportFrames, CommandsByteForByte) {
    workModeData record{};
    for (std::size_t i = 0; i < record.size(); ++i)
        record[i] = static_cast<uint8_t>(0x40 + i);
    std::vector<uint8_t> writeExpected = bytes({0x00, 0x30, 0xAA, 0x55});
    std::copy(record.begin(), record.end(), writeExpected.begin() + 4);

    const struct {
        const char* name;
        hid::OutputReport report;
        std::vector<uint8_t> expected;
    } cases[] = {
        {"write all-zero", makeWriteWorkModeReport(workModeData{}), bytes({0x00, 0x30, 0xAA, 0x55})},
        {"write record", makeWriteWorkModeReport(record), writeExpected},
        {"request PS3", makeReadWorkModeReport(ConsoleId::PS3), bytes({0x00, 0x31, 0xAA, 0x55, 0x01})},
        {"request SWITCH", makeReadWorkModeReport(ConsoleId::SWITCH), bytes({0x00, 0x31, 0xAA, 0x55, 0x04})},
        {"request XBOX", makeReadWorkModeReport(ConsoleId::XBOX), bytes({0x00, 0x31, 0xAA, 0x55, 0x03})},
        {"select XBOX", makeModeSelectReport(3), bytes({0x00, 0x32, 0xAA, 0x55, 0x01, 0x03})},
        {"select SWITCH", makeModeSelectReport(4), bytes({0x00, 0x32, 0xAA, 0x55, 0x01, 0x04})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(asVector(c.report), c.expected) << c.name;
}

TEST(ReportFrames, PadStateMarker) {
    EXPECT_TRUE(isPadStateReport(test::padReport({0xA1, 0xC4})));
    EXPECT_FALSE(isPadStateReport(test::padReport({0xC4, 0xA1})));
    EXPECT_FALSE(isPadStateReport(test::padReport({0x01, 0xC4})));
    hid::InputReport shifted{};
    shifted[0] = 0xA1; // the marker sits after the report ID, not in it
    shifted[1] = 0xC4;
    EXPECT_FALSE(isPadStateReport(shifted));
}

// A fresh session on a fake bus with the adapter plugged in.
class ReportOps : public ::testing::Test {
protected:
    void SetUp() override {
        auto fake = test::makeFakeSession();
        bus = fake.bus;
        session = fake.session;
        bus->plug(test::adapterInfo("/dev/fake-adapter"), true);
    }
    std::shared_ptr<FakeBus> bus;
    std::shared_ptr<AdapterSession> session;
};

TEST_F(ReportOps, WriteWorkModeClearsBytes6To9EvenWhenRefused) {
    for (const bool refused : {false, true}) {
        bus->refuseAll(refused);
        bus->clearSent();
        workModeData record{};
        record.fill(0x11);
        auto handle = session->platform().open("/dev/fake-adapter");
        ASSERT_TRUE(handle);
        EXPECT_EQ(WriteWorkMode(handle.get(), record).kind(), refused ? LinkError::Refused : LinkError::None);
        for (int i = 6; i <= 9; ++i)
            EXPECT_EQ(record[static_cast<std::size_t>(i)], 0) << "byte " << i << " refused=" << refused;
        EXPECT_EQ(record[5], 0x11);
        EXPECT_EQ(record[10], 0x11);
        const auto sent = bus->sent();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].report[4 + 6], 0);
        EXPECT_EQ(sent[0].report[4 + 5], 0x11);
    }
    workModeData record{};
    record.fill(0x22);
    EXPECT_FALSE(WriteWorkMode(nullptr, record));
}

TEST_F(ReportOps, ReplyIsBytes1To27OfTheNextReport) {
    auto handle = session->platform().open("/dev/fake-adapter");
    hid::InputReport reply{};
    for (std::size_t i = 0; i < reply.size(); ++i)
        reply[i] = static_cast<uint8_t>(i);
    bus->sendInput("/dev/fake-adapter", reply);
    const auto got = ReadWorkModeReply(handle.get());
    ASSERT_TRUE(got);
    for (std::size_t i = 0; i < kRecordSize; ++i)
        EXPECT_EQ((*got)[i], i + 1);
    EXPECT_FALSE(ReadWorkModeReply(nullptr));
}

// Asked for one console, a reply naming another one is stale and skipped; a reply whose byte 0
// names no console (a blank record) is still taken.
TEST_F(ReportOps, ReplyForAnotherConsoleIsSkippedWhenTheAskedOneIsKnown) {
    auto handle = session->platform().open("/dev/fake-adapter");
    struct Case {
        uint8_t firstId; // byte 0 of the report that comes first
        std::optional<ConsoleId> asked;
        uint8_t takenMarker; // byte 1 of the record taken
    };
    const Case cases[] = {
        {0x02, ConsoleId::PS3, 0x22},    // PS4's late reply, then PS3's own
        {0x03, ConsoleId::SWITCH, 0x22}, // XBOX's late reply, then SWITCH's own
        {0x02, std::nullopt, 0x11},      // nothing asked: the first reply is taken
        {0x00, ConsoleId::PS3, 0x11},    // a blank record names no console
        {0x01, ConsoleId::PS3, 0x11},    // its own reply
    };
    for (const Case& c : cases) {
        bus->sendInput("/dev/fake-adapter", test::padReport({c.firstId, 0x11}));
        const uint8_t own = c.asked ? static_cast<uint8_t>(*c.asked) : uint8_t{0};
        bus->sendInput("/dev/fake-adapter", test::padReport({own, 0x22}));
        const auto got = ReadWorkModeReply(handle.get(), c.asked);
        ASSERT_TRUE(got);
        EXPECT_EQ((*got)[1], c.takenMarker) << int(c.firstId);
        // Drain what is left for the next case.
        while (ReadWorkModeReply(handle.get()))
            ;
    }
}

// The reply wait ends without a record when nothing comes, and when only pad states keep coming.
// Its length (100 ms) is not measured here; bench/LinkLatencyBench.cpp times a read-back without
// a reply.
TEST_F(ReportOps, ReplyWaitIsBoundedAndSkipsPadStates) {
    auto handle = session->platform().open("/dev/fake-adapter");

    // Nothing comes: no record.
    EXPECT_FALSE(ReadWorkModeReply(handle.get()));

    // Pad states first, then the record: the record is taken.
    bus->sendInput("/dev/fake-adapter", test::padReport({0xA1, 0xC4, 0x80, 0x80}));
    bus->sendInput("/dev/fake-adapter", test::padReport({0xA1, 0xC4, 0x7F, 0x80}));
    bus->sendInput("/dev/fake-adapter", test::padReport({0x02, 0x33}));
    auto got = ReadWorkModeReply(handle.get());
    ASSERT_TRUE(got);
    EXPECT_EQ((*got)[0], 0x02);
    EXPECT_EQ((*got)[1], 0x33);

    // Only pad states keep coming: still no record, and the wait still ends (a wait that started
    // over with every pad state would not, and only the test's time-out would end it).
    std::atomic<bool> run{true};
    std::thread feeder([&] {
        while (run) {
            bus->sendInput("/dev/fake-adapter", test::padReport({0xA1, 0xC4}));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    EXPECT_FALSE(ReadWorkModeReply(handle.get()));
    run = false;
    feeder.join();
}

TEST_F(ReportOps, ShortCommandsScanOnTheirOwnAndLeaveTheKnownPathAlone) {
    session->adapterPath().set("/dev/some-old-path");
    EXPECT_TRUE(SendModeSelect(session->platform(), ConsoleId::SWITCH));
    EXPECT_TRUE(SendWorkModeRequest(session->platform(), ConsoleId::XBOX));
    EXPECT_EQ(session->adapterPath().get(), "/dev/some-old-path");
    const auto sent = bus->sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].path, "/dev/fake-adapter");
    EXPECT_EQ(asVector(sent[0].report), bytes({0x00, 0x32, 0xAA, 0x55, 0x01, 0x04}));
    EXPECT_EQ(asVector(sent[1].report), bytes({0x00, 0x31, 0xAA, 0x55, 0x03}));
    EXPECT_EQ(bus->openHandles(), 0u) << "each short command closes its handle";

    bus->refuseAll(true);
    EXPECT_FALSE(SendModeSelect(session->platform(), ConsoleId::SWITCH));
    bus->refuseAll(false);
    bus->unplug("/dev/fake-adapter");
    bus->clearSent();
    EXPECT_FALSE(SendModeSelect(session->platform(), ConsoleId::SWITCH));
    EXPECT_FALSE(SendWorkModeRequest(session->platform(), ConsoleId::PS3));
    EXPECT_TRUE(bus->sent().empty());
}

} // namespace
