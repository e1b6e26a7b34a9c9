#include "core/WorkMode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <set>
#include <vector>

using namespace velorin;

namespace {
WorkModeBlock countingBlock() {
    std::array<uint8_t, kBlockSize> bytes{};
    std::iota(bytes.begin(), bytes.end(), uint8_t{100});
    WorkModeBlock block;
    block.replaceAll(bytes);
    return block;
}
} // namespace

TEST(Consoles, IdsBlockOrderAndNames) {
    EXPECT_EQ(static_cast<int>(ConsoleId::PS3), 1);
    EXPECT_EQ(static_cast<int>(ConsoleId::PS4), 2);
    EXPECT_EQ(static_cast<int>(ConsoleId::XBOX), 3);
    EXPECT_EQ(static_cast<int>(ConsoleId::SWITCH), 4);
    EXPECT_EQ(kBlockOrder, (std::array{ConsoleId::PS3, ConsoleId::PS4, ConsoleId::SWITCH, ConsoleId::XBOX}));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(consoleInfo(consoleAtBlockIndex(i)).blockIndex, i);
    EXPECT_EQ(consoleInfo(ConsoleId::SWITCH).pageTitle, "switchpage");
    EXPECT_EQ(consoleInfo(ConsoleId::XBOX).word, "xbox");
    EXPECT_EQ(consoleInfo(ConsoleId::PS3).buttons.size(), 21u);
    EXPECT_EQ(consoleInfo(ConsoleId::XBOX).buttons.size(), 21u);
    EXPECT_EQ(consoleInfo(ConsoleId::PS4).buttons.back(), PadButton::SHARE);
    EXPECT_EQ(consoleInfo(ConsoleId::SWITCH).buttons.back(), PadButton::CAPTURE);
    EXPECT_EQ(consoleFromName("Switch"), ConsoleId::SWITCH);
    EXPECT_EQ(consoleFromName("gamecube"), std::nullopt);
    EXPECT_EQ(consoleFromByte(0), std::nullopt);
    EXPECT_EQ(consoleFromByte(5), std::nullopt);
}

TEST(PadButtons, RecordBytesAndElementNames) {
    // Button order with each button's record byte, as the pages list them.
    const std::vector<std::pair<const char*, int>> order{
        {"L2", 22},      {"L1", 24},        {"SELECT", 13},  {"ARROW_UP", 14},  {"ARROW_DOWN", 15},
        {"ARROW_L", 16}, {"ARROW_R", 17},   {"lyhih_UP", 4}, {"lyhih_DOWN", 3}, {"lxhih_L", 1},
        {"lxhih_R", 2},  {"LSTICK_KEY", 5}, {"R2", 23},      {"R1", 25},        {"START", 11},
        {"A", 19},       {"B", 21},         {"X", 20},       {"Y", 18},         {"RSTICK_KEY", 10},
        {"HOME", 12}};
    const auto& ps4 = consoleInfo(ConsoleId::PS4).buttons;
    ASSERT_EQ(ps4.size(), order.size() + 1);
    for (std::size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(padButtonName(ps4[i]), order[i].first);
        EXPECT_EQ(recordByte(ps4[i]), order[i].second) << order[i].first;
    }
    EXPECT_EQ(recordByte(PadButton::SHARE), 26);
    EXPECT_EQ(recordByte(PadButton::CAPTURE), 26);
    // Every byte 1-5 and 10-26 belongs to exactly one button of a console; 0 and 6-9 to none.
    for (ConsoleId console : kBlockOrder) {
        std::set<int> bytes;
        for (PadButton b : consoleInfo(console).buttons)
            EXPECT_TRUE(bytes.insert(recordByte(b)).second);
        for (int unused : {0, 6, 7, 8, 9})
            EXPECT_FALSE(bytes.contains(unused));
    }
    EXPECT_EQ(boxName(ConsoleId::PS3, PadButton::L2), "btn_ps3_key_L2");
    EXPECT_EQ(lampName(ConsoleId::SWITCH, PadButton::CAPTURE), "img_switch_key_CAPTURE");
    EXPECT_EQ(boxName(ConsoleId::XBOX, PadButton::lyhih_UP), "btn_xbox_key_lyhih_UP");
    EXPECT_EQ(padButtonFromName("lyhih_UP"), PadButton::lyhih_UP);
    EXPECT_EQ(padButtonFromName("LYHIH_UP"), std::nullopt);
}

TEST(WorkModeBlock, StartsZeroAndPlacesRecordsByBlockOrderNotById) {
    WorkModeBlock block;
    EXPECT_TRUE(std::all_of(block.raw().begin(), block.raw().end(), [](uint8_t b) { return b == 0; }));

    block = countingBlock();
    EXPECT_EQ(block.record(ConsoleId::PS3)[0], 100);
    EXPECT_EQ(block.record(ConsoleId::PS4)[0], 127);
    EXPECT_EQ(block.record(ConsoleId::SWITCH)[0], 154); // id 4, third record
    EXPECT_EQ(block.record(ConsoleId::XBOX)[0], 181);   // id 3, fourth record

    workModeData reply{};
    reply.fill(0x5A);
    reply[0] = 3; // whatever id a reply carries, it lands where it was asked for
    block.replaceRecord(ConsoleId::SWITCH, reply);
    EXPECT_EQ(block.raw()[54], 3);
    EXPECT_EQ(block.raw()[80], 0x5A);
    EXPECT_EQ(block.raw()[53], 153); // neighbours untouched
    EXPECT_EQ(block.raw()[81], 181);
}

TEST(WorkModeBlock, StoresOneButtonInItsConsolesRecordOnly) {
    WorkModeBlock block;
    block.setButton(ConsoleId::PS3, PadButton::L2, 0x04);
    block.setButton(ConsoleId::SWITCH, PadButton::CAPTURE, 0xA1);
    EXPECT_EQ(block.raw()[22], 0x04);
    EXPECT_EQ(block.raw()[54 + 26], 0xA1);
    EXPECT_EQ(block.button(ConsoleId::PS3, PadButton::L2), 0x04);
    EXPECT_EQ(std::count_if(block.raw().begin(), block.raw().end(), [](uint8_t b) { return b != 0; }), 2);
}

TEST(PrepareForWrite, EachConsoleGetsItsIdAndClearedBytes) {
    struct Case {
        ConsoleId console;
        uint8_t id;
        bool clears26;
    };
    for (const Case& c : {Case{ConsoleId::PS3, 1, true}, Case{ConsoleId::PS4, 2, false},
                          Case{ConsoleId::SWITCH, 4, false}, Case{ConsoleId::XBOX, 3, true}}) {
        WorkModeBlock block = countingBlock();
        const WorkModeBlock before = block;
        prepareForWrite(c.console, block.record(c.console));
        const auto rec = block.record(c.console);
        const auto old = before.record(c.console);
        EXPECT_EQ(rec[0], c.id);
        for (int i = 6; i <= 9; ++i)
            EXPECT_EQ(rec[i], 0);
        EXPECT_EQ(rec[26], c.clears26 ? 0 : old[26]);
        for (int i : {1, 5, 10, 25})
            EXPECT_EQ(rec[i], old[i]);
        // Only this console's record changed, in the block itself.
        for (ConsoleId other : kBlockOrder) {
            if (other != c.console) {
                const auto now = block.record(other);
                const auto was = before.record(other);
                EXPECT_TRUE(std::equal(now.begin(), now.end(), was.begin()));
            }
        }
    }
}

TEST(PrepareForWrite, HeaderAndUnusedBytesCanBePreparedSeparately) {
    workModeData rec{};
    rec.fill(0xEE);
    prepareRecordHeader(ConsoleId::XBOX, rec);
    EXPECT_EQ(rec[0], 3);
    EXPECT_EQ(rec[26], 0);
    EXPECT_EQ(rec[6], 0xEE);
    clearUnusedBytes(rec);
    EXPECT_EQ((std::array{rec[5], rec[6], rec[7], rec[8], rec[9], rec[10]}),
              (std::array<uint8_t, 6>{0xEE, 0, 0, 0, 0, 0xEE}));
}
