// The simulated firmware against the report bytes of docs/velorin-sim.md: output reports are 65
// bytes, report ID 0, command, AA 55, arguments from byte 4; a reply is 32 data bytes.
#include "core/sim/Firmware.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

using namespace velorin::sim;

namespace {

using Bytes = std::vector<uint8_t>;

// Report ID 0, then `head`, zeros to 65 bytes.
Bytes report(std::initializer_list<uint8_t> head) {
    Bytes r(65, 0);
    std::copy(head.begin(), head.end(), r.begin() + 1);
    return r;
}

// A PS4 record: its id, then 0x10, 0x11 ... 0x29.
Record ps4Record() {
    Record r{0x02};
    for (std::size_t i = 1; i < r.size(); ++i)
        r[i] = static_cast<uint8_t>(0x0F + i);
    return r;
}

Bytes ps4Write() {
    Bytes r = report({0x30, 0xAA, 0x55});
    const Record rec = ps4Record();
    std::copy(rec.begin(), rec.end(), r.begin() + 4);
    return r;
}

// 32 data bytes: `head`, zeros after.
Bytes reply(std::initializer_list<uint8_t> head) {
    Bytes r(32, 0);
    std::copy(head.begin(), head.end(), r.begin());
    return r;
}

struct Case {
    const char* what;
    Bytes report;
    uint8_t faultConsole = 0; // gets `faults`
    Faults faults{};
    bool outEndpoint = false;
    bool ignoreInterruptOut = false;
    bool firmware = true; // false: an interface without the adapter's firmware
    Outcome outcome = Outcome::Taken;
    Way way = Way::SetReport;
    bool storesPs4 = false;
    Bytes reply{};
    int delayMs = 0;
};

TEST(SimFirmware, AnswersEachOutputReport) {
    const Case cases[] = {
        {.what = "write stored", .report = ps4Write(), .storesPs4 = true},
        {.what = "read request answered", .report = report({0x31, 0xAA, 0x55, 0x01}), .reply = reply({0x01})},
        {.what = "mode select taken", .report = report({0x32, 0xAA, 0x55, 0x01, 0x02})},
        {.what = "unknown command taken", .report = report({0x77, 0xAA, 0x55, 0x02})},
        {.what = "write for a refused console",
         .report = ps4Write(),
         .faultConsole = 2,
         .faults = {.refuse = true},
         .outcome = Outcome::Refused},
        {.what = "mode select of a refused console",
         .report = report({0x32, 0xAA, 0x55, 0x01, 0x04}),
         .faultConsole = 4,
         .faults = {.refuse = true},
         .outcome = Outcome::Refused},
        {.what = "dropped read request",
         .report = report({0x31, 0xAA, 0x55, 0x01}),
         .faultConsole = 1,
         .faults = {.drop = true}},
        {.what = "delayed read request",
         .report = report({0x31, 0xAA, 0x55, 0x03}),
         .faultConsole = 3,
         .faults = {.delayMs = 40},
         .reply = reply({0x03}),
         .delayMs = 40},
        {.what = "64 bytes", .report = Bytes(64, 0), .outcome = Outcome::Refused},
        {.what = "report ID 1", .report = Bytes{0x01, 0x31, 0xAA, 0x55, 0x01}, .outcome = Outcome::Refused},
        {.what = "interrupt endpoint",
         .report = ps4Write(),
         .outEndpoint = true,
         .way = Way::Interrupt,
         .storesPs4 = true},
        {.what = "interrupt endpoint ignored",
         .report = ps4Write(),
         .outEndpoint = true,
         .ignoreInterruptOut = true,
         .outcome = Outcome::Ignored,
         .way = Way::Interrupt},
        {.what = "no firmware: write taken", .report = ps4Write(), .outEndpoint = true, .firmware = false},
        {.what = "no firmware: 64 bytes",
         .report = Bytes(64, 0),
         .firmware = false,
         .outcome = Outcome::Refused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Firmware fw;
        fw.faults[c.faultConsole] = c.faults;
        fw.outEndpoint = c.outEndpoint;
        fw.ignoreInterruptOut = c.ignoreInterruptOut;
        RecordStore records;
        const Response r = fw.onOutputReport(c.report, c.firmware ? &records : nullptr);
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(r.way, c.way);
        EXPECT_EQ(r.stored.has_value(), c.storesPs4);
        EXPECT_EQ(records.records()[1] == ps4Record(), c.storesPs4);
        EXPECT_EQ(r.reply ? r.reply->report : Bytes{}, c.reply);
        EXPECT_EQ(r.reply ? r.reply->delay.count() : 0, c.delayMs);
    }
}

TEST(SimFirmware, ReadRequestAfterWriteRepliesWithTheRecord) {
    Firmware fw;
    RecordStore records;
    ASSERT_EQ(fw.onOutputReport(ps4Write(), &records).outcome, Outcome::Taken);
    const Response r = fw.onOutputReport(report({0x31, 0xAA, 0x55, 0x02}), &records);
    ASSERT_TRUE(r.reply);
    EXPECT_EQ(r.reply->report,
              reply({0x02, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C,
                     0x1D, 0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29}));
}

} // namespace
