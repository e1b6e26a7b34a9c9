// Clashing keys and codes that name no key, on blocks written out by hand: each case says which
// record bytes hold which code, and the clashes and unnamed codes a person reading it would list.
#include "core/Clashes.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace velorin;
using enum PadButton;

namespace {

// (console, record byte, code).
struct Set {
    ConsoleId console;
    int byte;
    KeyCode code;
};

// Every button of every console on its own letter-free code (F1...), so only the case's bytes clash.
WorkModeBlock distinctBlock() {
    WorkModeBlock block;
    for (const ConsoleId c : kBlockOrder) {
        KeyCode next = 0x3A; // F1 .. F12, then 1 .. 0 (all named, none repeated within a record)
        for (int byte = 1; byte < static_cast<int>(kRecordSize); ++byte) {
            block.record(c)[static_cast<std::size_t>(byte)] = next;
            next = next == 0x45 ? KeyCode{0x1E} : static_cast<KeyCode>(next + 1);
        }
    }
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
    const Case cases[] = {
        {"all different", {}, {}, {}},
        {"nothing on every button is no clash",
         {{ConsoleId::PS3, 22, 0}, {ConsoleId::PS3, 24, 0}, {ConsoleId::PS3, 13, 0}},
         {},
         {}},
        // L2 is byte 22, A byte 19, START byte 11.
        {"three buttons on A, listed in button order",
         {{ConsoleId::PS3, 19, kA}, {ConsoleId::PS3, 11, kA}, {ConsoleId::PS3, 22, kA}},
         {{ConsoleId::PS3, kA, {L2, START, A}}},
         {}},
        {"the same key on two consoles is no clash",
         {{ConsoleId::PS3, 19, kA}, {ConsoleId::PS4, 22, kA}},
         {},
         {}},
        {"mouse buttons clash like keys",
         {{ConsoleId::XBOX, 24, kLeftClick}, {ConsoleId::XBOX, 25, kLeftClick}},
         {{ConsoleId::XBOX, kLeftClick, {L1, R1}}},
         {}},
        // Byte 26 is SHARE on PS4, CAPTURE on SWITCH, and no button on PS3 and XBOX; bytes 0 and 6-9
        // are no button's.
        {"a spare byte is no button",
         {{ConsoleId::PS3, 26, kSpace},
          {ConsoleId::PS3, 21, kSpace},
          {ConsoleId::XBOX, 7, kSpace},
          {ConsoleId::XBOX, 21, kSpace}},
         {},
         {}},
        {"SHARE and CAPTURE are buttons",
         {{ConsoleId::PS4, 26, kSpace},
          {ConsoleId::PS4, 21, kSpace},
          {ConsoleId::SWITCH, 26, kSpace},
          {ConsoleId::SWITCH, 1, kSpace}},
         {{ConsoleId::PS4, kSpace, {B, SHARE}}, {ConsoleId::SWITCH, kSpace, {lxhih_L, CAPTURE}}},
         {}},
        {"codes without a key name; RWin has one",
         {{ConsoleId::PS4, 24, kMinus},
          {ConsoleId::SWITCH, 5, 0xA3},
          {ConsoleId::SWITCH, 4, 0xFF},
          {ConsoleId::XBOX, 10, kRWin}},
         {},
         {{ConsoleId::PS4, L1, kMinus},
          {ConsoleId::SWITCH, lyhih_UP, 0xFF},
          {ConsoleId::SWITCH, LSTICK_KEY, 0xA3}}},
        {"an unnamed code on two buttons is both",
         {{ConsoleId::PS3, 14, kMinus}, {ConsoleId::PS3, 15, kMinus}},
         {{ConsoleId::PS3, kMinus, {ARROW_UP, ARROW_DOWN}}},
         {{ConsoleId::PS3, ARROW_UP, kMinus}, {ConsoleId::PS3, ARROW_DOWN, kMinus}}},
        {"clashes in block order, then by first button",
         {{ConsoleId::XBOX, 22, kA},
          {ConsoleId::XBOX, 23, kA},
          {ConsoleId::PS4, 1, kSpace},
          {ConsoleId::PS4, 2, kSpace},
          {ConsoleId::PS4, 22, kA},
          {ConsoleId::PS4, 23, kA}},
         {{ConsoleId::PS4, kA, {L2, R2}},
          {ConsoleId::PS4, kSpace, {lxhih_L, lxhih_R}},
          {ConsoleId::XBOX, kA, {L2, R2}}},
         {}},
    };
    for (const Case& c : cases) {
        WorkModeBlock block = distinctBlock();
        for (const Set& s : c.sets)
            block.record(s.console)[static_cast<std::size_t>(s.byte)] = s.code;
        const ClashReport report = findClashes(block);
        EXPECT_EQ(report.clashes, c.clashes) << c.what;
        EXPECT_EQ(report.unnamed, c.unnamed) << c.what;
        EXPECT_EQ(report.clean(), c.clashes.empty() && c.unnamed.empty()) << c.what;
    }

    // What a box's mark names: the other buttons of the console with its code.
    WorkModeBlock block = distinctBlock();
    for (const PadButton b : {L2, START, A})
        block.setButton(ConsoleId::PS3, b, kA);
    block.setButton(ConsoleId::PS4, L2, kA);
    const ClashReport report = findClashes(block);
    EXPECT_EQ(clashingButtons(report, ConsoleId::PS3, START), (std::vector{L2, A}));
    EXPECT_EQ(clashingButtons(report, ConsoleId::PS3, B), std::vector<PadButton>{});
    EXPECT_EQ(clashingButtons(report, ConsoleId::PS4, L2), std::vector<PadButton>{});
}
