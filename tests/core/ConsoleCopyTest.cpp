#include "core/ConsoleCopy.h"

#include <gtest/gtest.h>

#include <array>
#include <set>

using namespace velorin;

namespace {

// Every byte of the block distinct: byte i of the record at offset o holds o + i + 1 (1..108).
WorkModeBlock distinctBlock() {
    std::array<uint8_t, kBlockSize> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i + 1);
    WorkModeBlock block;
    block.replaceAll(bytes);
    return block;
}

// The adapter's record layout: buttons sit in bytes 1-5 and 10-25 on every pad, byte 26 is SHARE
// on PS4 and CAPTURE on SWITCH; byte 0 is the console id and bytes 6-9 belong to no button.
const std::set<int> kEveryPadButtonByte{1,  2,  3,  4,  5,  10, 11, 12, 13, 14, 15,
                                        16, 17, 18, 19, 20, 21, 22, 23, 24, 25};

struct Copy {
    ConsoleId from;
    int fromOffset; // where the record sits in the 108-byte block
    ConsoleId to;
    int toOffset;
    bool byte26; // both have a 22nd button
};

} // namespace

TEST(ConsoleCopy, CopiesTheButtonsBothConsolesHaveAndNothingElse) {
    const std::array<Copy, 12> copies{{
        {ConsoleId::PS3, 0, ConsoleId::PS4, 27, false},
        {ConsoleId::PS3, 0, ConsoleId::SWITCH, 54, false},
        {ConsoleId::PS3, 0, ConsoleId::XBOX, 81, false},
        {ConsoleId::PS4, 27, ConsoleId::PS3, 0, false},
        {ConsoleId::PS4, 27, ConsoleId::SWITCH, 54, true},
        {ConsoleId::PS4, 27, ConsoleId::XBOX, 81, false},
        {ConsoleId::SWITCH, 54, ConsoleId::PS3, 0, false},
        {ConsoleId::SWITCH, 54, ConsoleId::PS4, 27, true},
        {ConsoleId::SWITCH, 54, ConsoleId::XBOX, 81, false},
        {ConsoleId::XBOX, 81, ConsoleId::PS3, 0, false},
        {ConsoleId::XBOX, 81, ConsoleId::PS4, 27, false},
        {ConsoleId::XBOX, 81, ConsoleId::SWITCH, 54, false},
    }};
    const WorkModeBlock before = distinctBlock();
    for (const Copy& c : copies) {
        const WorkModeBlock after = copyConsole(before, c.from, c.to);
        for (int i = 0; i < int(kBlockSize); ++i) {
            const int inRecord = i - c.toOffset;
            const bool copied = inRecord >= 0 && inRecord < 27 &&
                                (kEveryPadButtonByte.contains(inRecord) || (inRecord == 26 && c.byte26));
            const int expected = copied ? c.fromOffset + inRecord + 1 : i + 1;
            EXPECT_EQ(after.raw()[std::size_t(i)], expected)
                << "byte " << i << " copying " << c.fromOffset << " to " << c.toOffset;
        }
    }
}

TEST(ConsoleCopy, OntoItselfOrWithAnUnknownIdChangesNothing) {
    const WorkModeBlock before = distinctBlock();
    EXPECT_EQ(copyConsole(before, ConsoleId::PS4, ConsoleId::PS4), before);
    EXPECT_EQ(copyConsole(before, static_cast<ConsoleId>(9), ConsoleId::PS3), before);
    EXPECT_EQ(copyConsole(before, ConsoleId::XBOX, static_cast<ConsoleId>(0)), before);
}
