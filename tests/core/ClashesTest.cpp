// Clashing keys and codes that name no key, on blocks written out by hand: each case says which
// record bytes hold which code, and the clashes and unnamed codes a person reading it would list.
#include "core/Clashes.h"

#include <gtest/gtest.h>

#include <vector>

using namespace velorin;
using enum PadButton;

namespace {

constexpr ConsoleId PS3 = ConsoleId::PS3, PS4 = ConsoleId::PS4, SW = ConsoleId::SWITCH, XB = ConsoleId::XBOX;

// (console, record byte, code).
struct Set {
    ConsoleId console;
    int byte;
    KeyCode code;
};

// Bytes 1-26 of every record on 26 different named codes (F1-F12, 1-0, Enter, Esc, BackSpace,
// Tab), so only what a case sets can clash.
WorkModeBlock distinctBlock(const std::vector<Set>& sets) {
    WorkModeBlock block;
    for (const ConsoleId c : kBlockOrder) {
        for (int byte = 1; byte < static_cast<int>(kRecordSize); ++byte)
            block.record(c)[static_cast<std::size_t>(byte)] =
                static_cast<KeyCode>(byte <= 12 ? 0x3A + byte - 1 : 0x1E + byte - 13);
    }
    for (const Set& s : sets)
        block.record(s.console)[static_cast<std::size_t>(s.byte)] = s.code;
    return block;
}

} // namespace

TEST(Clashes, FoundPerConsoleWithTheButtonsTheyShareAndTheCodesThatNameNoKey) {
    constexpr KeyCode kA = 0x04, kSpace = 0x2C, kMinus = 0x2D, kLeftClick = 0xA0, kRWin = 0xE7;
    struct Case {
        const char* what;
        std::vector<Set> sets;
        std::vector<Clash> clashes;
        std::vector<UnnamedCode> unnamed;
    };
    // L2 is byte 22, R2 23, L1 24, R1 25, A 19, B 21, START 11, the arrows 14-17, the left stick
    // 1-4, L3 5, R3 10; byte 26 is SHARE on PS4, CAPTURE on SWITCH and no button on PS3 and XBOX.
    // clang-format off
    const Case cases[] = {
        {"all different", {}, {}, {}},
        {"nothing on several buttons is no clash", {{PS3, 22, 0}, {PS3, 24, 0}, {PS3, 13, 0}}, {}, {}},
        {"three buttons on A, in button order", {{PS3, 19, kA}, {PS3, 11, kA}, {PS3, 22, kA}},
         {{PS3, kA, {L2, START, A}}}, {}},
        {"mouse buttons clash like keys", {{XB, 24, kLeftClick}, {XB, 25, kLeftClick}},
         {{XB, kLeftClick, {L1, R1}}}, {}},
        {"a spare byte and bytes 6-9 are no button's", {{PS3, 26, kSpace}, {PS3, 21, kSpace}, {XB, 7, kSpace},
         {XB, 21, kSpace}}, {}, {}},
        {"SHARE and CAPTURE are buttons", {{PS4, 26, kSpace}, {PS4, 21, kSpace}, {SW, 26, kSpace}, {SW, 1, kSpace}},
         {{PS4, kSpace, {B, SHARE}}, {SW, kSpace, {lxhih_L, CAPTURE}}}, {}},
        {"codes without a key name; RWin has one", {{PS4, 24, kMinus}, {SW, 5, 0xA3}, {SW, 4, 0xFF}, {XB, 10, kRWin}},
         {}, {{PS4, L1, kMinus}, {SW, lyhih_UP, 0xFF}, {SW, LSTICK_KEY, 0xA3}}},
        {"an unnamed code on two buttons is both", {{PS3, 14, kMinus}, {PS3, 15, kMinus}},
         {{PS3, kMinus, {ARROW_UP, ARROW_DOWN}}}, {{PS3, ARROW_UP, kMinus}, {PS3, ARROW_DOWN, kMinus}}},
        {"per console, in block order, then by first button",
         {{XB, 22, kA}, {XB, 23, kA}, {PS4, 1, kSpace}, {PS4, 2, kSpace}, {PS4, 22, kA}, {PS4, 23, kA}},
         {{PS4, kA, {L2, R2}}, {PS4, kSpace, {lxhih_L, lxhih_R}}, {XB, kA, {L2, R2}}}, {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        const ClashReport report = findClashes(distinctBlock(c.sets));
        EXPECT_EQ(report.clashes, c.clashes) << c.what;
        EXPECT_EQ(report.unnamed, c.unnamed) << c.what;
        EXPECT_EQ(report.clean(), c.clashes.empty() && c.unnamed.empty()) << c.what;
    }

    // What a box's mark names: the other buttons of its console with its code.
    const ClashReport report =
        findClashes(distinctBlock({{PS3, 22, kA}, {PS3, 11, kA}, {PS3, 19, kA}, {PS4, 22, kA}}));
    EXPECT_EQ(clashingButtons(report, PS3, START), (std::vector{L2, A}));
    EXPECT_EQ(clashingButtons(report, PS3, B), std::vector<PadButton>{});
    EXPECT_EQ(clashingButtons(report, PS4, L2), std::vector<PadButton>{});
}
