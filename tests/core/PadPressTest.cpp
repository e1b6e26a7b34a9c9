// Finding a box by its pad button, and the keyboard's order through a page's boxes. The pad states
// are written as the adapter sends them (A1 C4, sticks at 2-5, button bits at 8-10: bit 0 of byte
// 9 is L2, bit 0 of byte 8 is A, bit 1 of byte 10 is the right arrow).
#include "core/PadPress.h"
#include "core/Boxes.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace velorin;

namespace {

JoyState pad(uint8_t lx, uint8_t ly, uint8_t b8, uint8_t b9, uint8_t b10) {
    return {0xA1, 0xC4, lx, ly, 0x80, 0x80, 0, 0, b8, b9, b10, 0};
}
const JoyState kRest = pad(0x80, 0x80, 0, 0, 0);

struct PressCase {
    const char* what;
    JoyState state;
    uint64_t atMs;
    bool quiet;
    std::optional<PadButton> press;
};

} // namespace

TEST(PadPress, NewPressesOfAButtonOrAStickAtItsEdgeAtMostEveryTenthOfASecond) {
    const PressCase script[] = {
        {"at rest", kRest, 0, false, std::nullopt},
        {"L2 pressed", pad(0x80, 0x80, 0, 0x01, 0), 1000, false, PadButton::L2},
        {"L2 still held, A pressed too soon after", pad(0x80, 0x80, 0x01, 0x01, 0), 1050, false,
         std::nullopt},
        {"both released", kRest, 1060, false, std::nullopt},
        {"a stick pushed most of the way", pad(0x20, 0x80, 0, 0, 0), 1200, false, std::nullopt},
        {"the same stick at its edge", pad(0x10, 0x80, 0, 0, 0), 1300, false, PadButton::lxhih_L},
        {"released", kRest, 1310, false, std::nullopt},
        {"A and the right arrow together: the first in button order", pad(0x80, 0x80, 0x01, 0, 0x02), 1500,
         false, PadButton::ARROW_R},
        {"released", kRest, 1510, false, std::nullopt},
        {"a press while quiet (a menu open) is followed, not reported", pad(0x80, 0x80, 0x01, 0, 0), 1700,
         true, std::nullopt},
        {"held when the quiet ends: not new", pad(0x80, 0x80, 0x01, 0x01, 0), 1800, false, PadButton::L2},
        {"no marker: not a pad state", JoyState{0, 0, 0x80, 0x80, 0x80, 0x80, 0, 0, 0xFF, 0xFF, 0xFF, 0},
         2000, false, std::nullopt},
    };
    PadPressTracker tracker;
    for (const PressCase& c : script) {
        const auto press = tracker.onState(c.state, ConsoleId::PS3, c.atMs, c.quiet);
        EXPECT_EQ(press.has_value(), c.press.has_value()) << c.what;
        if (press && c.press) {
            EXPECT_EQ(padButtonName(*press), padButtonName(*c.press)) << c.what;
        }
    }
    // A front end whose focus moves cost nothing follows every press.
    PadPressTracker everyPress(0);
    EXPECT_TRUE(everyPress.onState(pad(0x80, 0x80, 0, 0x01, 0), ConsoleId::PS3, 1000, false));
    EXPECT_TRUE(everyPress.onState(pad(0x80, 0x80, 0x01, 0x01, 0), ConsoleId::PS3, 1001, false));
    // SHARE (bit 7 of byte 9) is a PS4 button; XBOX has no box for it.
    EXPECT_NE(padPressMask(pad(0x80, 0x80, 0, 0x80, 0), ConsoleId::PS4), 0u);
    EXPECT_EQ(padPressMask(pad(0x80, 0x80, 0, 0x80, 0), ConsoleId::XBOX), 0u);
}

TEST(Boxes, TheKeyboardVisitsTheLeftColumnThenTheRightThenWhatLiesBetween) {
    // A 690-pixel page: thirds end at 230 and start at 460; boxes 110 wide.
    const BoxPlace boxes[] = {
        {PadButton::HOME, 300, 330, 110, 32},   // centre 355: between
        {PadButton::R1, 540, 30, 110, 32},      // right
        {PadButton::L1, 60, 60, 110, 32},       // left, second
        {PadButton::L2, 60, 30, 110, 32},       // left, first
        {PadButton::R2, 540, 60, 110, 32},      // right
        {PadButton::SELECT, 175, 100, 110, 32}, // centre 230: not left any more
        {PadButton::START, 350, 100, 110, 32},  // centre 405: between, above HOME
    };
    std::string order;
    for (const PadButton b : boxFocusOrder(boxes, 690))
        order += std::string(padButtonName(b)) + " ";
    EXPECT_EQ(order, "L2 L1 R1 R2 SELECT START HOME ");
}

TEST(Boxes, AScreenReaderHearsTheArrowsAndSticksByNameAndTheOthersByTheirLabels) {
    EXPECT_EQ(spokenButton(PadButton::lyhih_UP), "左摇杆上");
    EXPECT_EQ(spokenButton(PadButton::RSTICK_KEY), "右摇杆按下");
    EXPECT_EQ(spokenButton(PadButton::ARROW_L), "方向键左");
    EXPECT_EQ(spokenButton(PadButton::L2), "L2");
    EXPECT_EQ(spokenButton(PadButton::CAPTURE), "CAPTURE");
}
