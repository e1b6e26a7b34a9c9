#include "FakeHid.h"

#include "device/AdapterSession.h"
#include "device/Discovery.h"
#include "device/Reports.h"

#include <gtest/gtest.h>

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

TEST_F(ReportOps, ShortCommandsScanOnTheirOwnAndLeaveTheKnownPathAlone) {
    session->adapterPath().set("/dev/some-old-path");
    EXPECT_TRUE(SendModeSelect(session->platform(), ConsoleId::SWITCH));
    EXPECT_TRUE(SendShortCommand(session->platform(), makeReadWorkModeReport(ConsoleId::XBOX)));
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
    EXPECT_FALSE(SendShortCommand(session->platform(), makeReadWorkModeReport(ConsoleId::PS3)));
    EXPECT_TRUE(bus->sent().empty());
}

} // namespace
