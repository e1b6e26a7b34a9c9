#include "FakeHid.h"

#include "device/Discovery.h"
#include "device/Sequences.h"
#include "device/SharedState.h"

#include <gtest/gtest.h>

using namespace velorin;
using namespace velorin::device;
using velorin::test::FakeBus;

namespace {

constexpr const char* kAdapter = "/dev/fake-adapter";

// A block whose every byte is its own non-zero pattern, so any change shows.
WorkModeBlock patternBlock() {
    WorkModeBlock block;
    std::array<uint8_t, kBlockSize> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(0x10 + i);
    block.replaceAll(bytes);
    return block;
}

class Sequences : public ::testing::Test {
protected:
    void SetUp() override {
        bus = test::installFakeBus();
        bus->plug(test::keyboardInfo("/dev/fake-keyboard"), false);
        bus->plug(test::adapterInfo(kAdapter), true);
    }
    void TearDown() override { adapterPath().clear(); }
    std::shared_ptr<FakeBus> bus;
};

TEST_F(Sequences, FullApplyWritesFourRecordsThenOneModeSelect) {
    WorkModeBlock block = patternBlock();
    const WorkModeBlock before = block;
    currentConsole().store(3);
    modeSelectPending().store(0);

    const ApplyResult result = ApplyToAdapter(block);
    EXPECT_EQ(result.status, ApplyStatus::Success);
    EXPECT_TRUE(applyErrorText(result).empty());
    EXPECT_EQ(modeSelectPending().load(), 1);

    const auto sent = bus->sent();
    ASSERT_EQ(sent.size(), 5u);
    const uint8_t ids[] = {1, 2, 4, 3};
    for (std::size_t i = 0; i < 4; ++i) {
        const ConsoleId console = kBlockOrder[i];
        EXPECT_EQ(sent[i].report[1], CMD_WRITE_WORKMODE);
        EXPECT_EQ(sent[i].report[4], ids[i]);
        // The report carries the prepared record, and the block keeps the preparation.
        const auto rec = block.record(console);
        EXPECT_TRUE(std::equal(rec.begin(), rec.end(), sent[i].report.begin() + 4)) << i;
        EXPECT_EQ(block.raw()[i * kRecordSize], ids[i]);
        for (std::size_t b = 6; b <= 9; ++b)
            EXPECT_EQ(rec[b], 0);
        const auto old = before.record(console);
        EXPECT_TRUE(std::equal(old.begin() + 1, old.begin() + 6, rec.begin() + 1));
        EXPECT_TRUE(std::equal(old.begin() + 10, old.begin() + 26, rec.begin() + 10));
        const bool hasByte26 = console == ConsoleId::PS4 || console == ConsoleId::SWITCH;
        EXPECT_EQ(rec[26], hasByte26 ? old[26] : 0) << i;
        EXPECT_TRUE(
            std::all_of(sent[i].report.begin() + 31, sent[i].report.end(), [](uint8_t b) { return b == 0; }));
        const workModeData stored = bus->record(kAdapter, console);
        EXPECT_TRUE(std::equal(rec.begin(), rec.end(), stored.begin())) << "the adapter holds record " << i;
    }
    EXPECT_EQ(sent[4].report[1], CMD_SELECT_MODE);
    EXPECT_EQ(sent[4].report[4], 0x01);
    EXPECT_EQ(sent[4].report[5], 0x03);
    EXPECT_EQ(bus->openHandles(), 0u);
}

TEST_F(Sequences, RefusedWriteStopsWithItsConsolesMessage) {
    const struct {
        ConsoleId console;
        const char* text;
    } cases[] = {
        {ConsoleId::PS3, "Write ps3 workModeData error"},
        {ConsoleId::PS4, "Write ps4 workModeData error"},
        {ConsoleId::SWITCH, "Write switch workModeData error"},
        {ConsoleId::XBOX, "Write Xbox workModeData error"},
    };
    for (const auto& c : cases) {
        SetUp();
        bus->refuse(CMD_WRITE_WORKMODE, static_cast<uint8_t>(c.console));
        WorkModeBlock block = patternBlock();
        const WorkModeBlock before = block;
        modeSelectPending().store(0);

        const ApplyResult result = ApplyToAdapter(block);
        EXPECT_EQ(result.status, ApplyStatus::WriteFailed);
        EXPECT_EQ(result.failedConsole, c.console);
        EXPECT_EQ(applyErrorText(result), c.text);
        EXPECT_EQ(modeSelectPending().load(), 0) << "a failed apply asks for no mode select";

        const int failedAt = consoleInfo(c.console).blockIndex;
        const auto sent = bus->sent();
        ASSERT_EQ(sent.size(), static_cast<std::size_t>(failedAt + 1)) << c.text;
        EXPECT_EQ(bus->countSent(CMD_SELECT_MODE), 0u);
        for (int i = 0; i < 4; ++i) {
            const ConsoleId console = kBlockOrder[static_cast<std::size_t>(i)];
            const auto rec = block.record(console);
            if (i <= failedAt) {
                EXPECT_EQ(rec[0], static_cast<uint8_t>(console)) << c.text << " record " << i;
                EXPECT_EQ(rec[7], 0) << c.text << " record " << i;
            } else {
                EXPECT_TRUE(std::equal(rec.begin(), rec.end(), before.record(console).begin()))
                    << c.text << ": record " << i << " must be untouched";
            }
        }
        EXPECT_EQ(bus->openHandles(), 0u);
    }
}

TEST_F(Sequences, ApplyWithoutAdapter) {
    bus->unplug(kAdapter);
    WorkModeBlock block = patternBlock();
    const WorkModeBlock before = block;
    const ApplyResult result = ApplyToAdapter(block);
    EXPECT_EQ(result.status, ApplyStatus::NoAdapter);
    EXPECT_EQ(applyErrorText(result), "CreateFileHandle error");
    EXPECT_TRUE(bus->sent().empty());
    EXPECT_EQ(block, before);
}

TEST_F(Sequences, ReadBackReplacesInBlockOrderAndStopsAtAMissingReply) {
    for (std::size_t i = 0; i < 4; ++i) {
        workModeData rec{};
        rec.fill(static_cast<uint8_t>(0xC0 + i));
        rec[0] = static_cast<uint8_t>(kBlockOrder[i]);
        bus->setRecord(kAdapter, kBlockOrder[i], rec);
    }
    bus->dropReply(4); // SWITCH
    WorkModeBlock block = patternBlock();
    const WorkModeBlock before = block;
    std::vector<ConsoleId> redrawn;
    const auto replaced = ReadBackFromAdapter(block, [&](ConsoleId c) {
        redrawn.push_back(c);
        // The page is redrawn right after its own record was replaced.
        EXPECT_EQ(block.record(c)[1], 0xC0 + consoleInfo(c).blockIndex);
    });
    EXPECT_EQ(replaced, (std::vector{ConsoleId::PS3, ConsoleId::PS4}));
    EXPECT_EQ(redrawn, replaced);
    EXPECT_EQ(block.record(ConsoleId::PS3)[0], 1);
    EXPECT_EQ(block.record(ConsoleId::PS4)[5], 0xC1);
    for (ConsoleId kept : {ConsoleId::SWITCH, ConsoleId::XBOX})
        EXPECT_TRUE(
            std::equal(block.record(kept).begin(), block.record(kept).end(), before.record(kept).begin()));
    const auto sent = bus->sent();
    ASSERT_EQ(sent.size(), 3u) << "no request after the missing reply";
    EXPECT_EQ(sent[0].report[4], 1);
    EXPECT_EQ(sent[1].report[4], 2);
    EXPECT_EQ(sent[2].report[4], 4);
    EXPECT_EQ(bus->openHandles(), 0u);
}

TEST_F(Sequences, ReadBackTakesAllFourAndNeverAPadState) {
    for (std::size_t i = 0; i < 4; ++i) {
        workModeData rec{};
        rec.fill(static_cast<uint8_t>(0x30 + i));
        bus->setRecord(kAdapter, kBlockOrder[i], rec);
    }
    bus->setBeforeReply(test::padReport({0xA1, 0xC4, 0x80, 0x80, 0x80, 0x80, 0, 0, 0x01}));
    WorkModeBlock block;
    EXPECT_EQ(ReadBackFromAdapter(block).size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(block.raw()[i * kRecordSize], 0x30 + i) << "record " << i << " must come from its reply";
}

TEST_F(Sequences, ReadBackWithoutAdapterOrWithRefusedRequest) {
    WorkModeBlock block = patternBlock();
    const WorkModeBlock before = block;
    bus->refuse(CMD_READ_WORKMODE, 1);
    EXPECT_TRUE(ReadBackFromAdapter(block).empty());
    EXPECT_EQ(bus->sent().size(), 1u);
    bus->unplug(kAdapter);
    adapterPath().clear();
    bus->clearSent();
    EXPECT_TRUE(ReadBackFromAdapter(block, [](ConsoleId) { ADD_FAILURE() << "nothing to redraw"; }).empty());
    EXPECT_TRUE(bus->sent().empty());
    EXPECT_EQ(block, before);
}

} // namespace
