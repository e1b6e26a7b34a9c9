#include "device/AdapterSession.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace velorin;
using namespace velorin::device;

namespace {

JoyState neutral() {
    return JoyState{0xA1, 0xC4, 0x80, 0x80, 0x80, 0x80, 0, 0, 0, 0, 0, 0};
}

JoyState with(std::size_t index, uint8_t value) {
    JoyState s = neutral();
    s[index] = value;
    return s;
}

// The buttons whose lamps are on for `state`.
std::vector<PadButton> lit(const JoyState& state) {
    std::vector<PadButton> on;
    for (int b = 0; b < kPadButtonCount; ++b)
        if (lampOn(state, static_cast<PadButton>(b)))
            on.push_back(static_cast<PadButton>(b));
    return on;
}

using P = PadButton;

TEST(LampTests, EachBitLightsItsOwnLamp) {
    const struct {
        std::size_t index;
        uint8_t value;
        std::vector<PadButton> expected;
    } cases[] = {
        {8, 0x01, {P::A}},
        {8, 0x02, {P::B}},
        {8, 0x08, {P::X}},
        {8, 0x10, {P::Y}},
        {8, 0x40, {P::L1}},
        {8, 0x80, {P::R1}},
        {8, 0x24, {}}, // bits 2 and 5 are shown nowhere
        {9, 0x01, {P::L2}},
        {9, 0x02, {P::R2}},
        {9, 0x04, {P::SELECT}},
        {9, 0x08, {P::START}},
        {9, 0x10, {P::HOME}},
        {9, 0x20, {P::LSTICK_KEY}},
        {9, 0x40, {P::RSTICK_KEY}},
        {9, 0x80, {P::SHARE, P::CAPTURE}},
        {10, 0x01, {P::ARROW_UP}},
        {10, 0x02, {P::ARROW_R}},
        {10, 0x04, {P::ARROW_L}},
        {10, 0x08, {P::ARROW_DOWN}},
        {10, 0x05, {P::ARROW_UP, P::ARROW_L}},
        {10, 0xF0, {}},
        {11, 0xFF, {}},
        {6, 0xFF, {}},
        {4, 0x00, {}},
        {5, 0xFF, {}}, // further axes are shown nowhere
        {2, 0x7F, {P::lxhih_L}},
        {2, 0x80, {}},
        {2, 0x81, {P::lxhih_R}},
        {2, 0x00, {P::lxhih_L}},
        {2, 0xFF, {P::lxhih_R}},
        {3, 0x7F, {P::lyhih_UP}},
        {3, 0x80, {}},
        {3, 0x81, {P::lyhih_DOWN}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lit(with(c.index, c.value)), c.expected)
            << "index " << c.index << " value 0x" << std::hex << int(c.value);
}

TEST(LampTests, OnlyAValidStateLightsAnything) {
    EXPECT_TRUE(lit(neutral()).empty());
    EXPECT_EQ(lit(JoyState{0xA1, 0xC4, 0x80, 0x80, 0x80, 0x80, 0, 0, 0x01, 0, 0, 0}), std::vector{P::A});

    JoyState everything = {0xA1, 0xC4, 0x00, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF, 0x0F, 0};
    EXPECT_EQ(lit(everything).size(), 21u); // every button and one direction of each stick
    for (auto marker :
         {std::pair<uint8_t, uint8_t>{0, 0}, {0xA1, 0}, {0, 0xC4}, {0xC4, 0xA1}, {0x01, 0xC4}}) {
        JoyState s = everything;
        s[0] = marker.first;
        s[1] = marker.second;
        EXPECT_TRUE(lit(s).empty()) << int(marker.first) << " " << int(marker.second);
    }
    EXPECT_TRUE(lit(JoyState{}).empty()) << "all zero: sticks at 0 must not light";
}

TEST(JoyDataState, ResetsAndReportCopy) {
    JoyData data;
    EXPECT_EQ(data.get(), JoyState{});

    std::array<uint8_t, 33> report{};
    for (std::size_t i = 0; i < report.size(); ++i)
        report[i] = static_cast<uint8_t>(0xB0 + i);
    data.setFromReport(report);
    JoyState expected{};
    for (std::size_t i = 0; i < expected.size(); ++i)
        expected[i] = static_cast<uint8_t>(0xB1 + i);
    EXPECT_EQ(data.get(), expected) << "data bytes 0-11 are report bytes 1-12";

    data.resetNeutral();
    EXPECT_EQ(data.get(), (JoyState{0xB1, 0xB2, 0x80, 0x80, 0x80, 0x80, 0, 0, 0, 0, 0, 0}));

    data.set(with(8, 0x01));
    data.resetNeutral();
    EXPECT_EQ(data.get(), neutral()) << "a held button goes out on console selection";
    EXPECT_TRUE(lit(data.get()).empty());

    data.zero();
    EXPECT_EQ(data.get(), JoyState{});

    std::array<uint8_t, 5> shortReport{0, 0xA1, 0xC4, 1, 2};
    data.setFromReport(shortReport);
    EXPECT_EQ(data.get(), JoyState{}) << "a report too short to hold 12 data bytes is not taken";
}

TEST(JoyDataState, ReplacedAsOneUnitAcrossThreads) {
    JoyData data;
    const JoyState a = with(8, 0x01);
    JoyState b{};
    b.fill(0x5A);
    std::atomic<bool> run{true};
    std::thread writer([&] {
        for (int i = 0; run && i < 200000; ++i)
            data.set(i % 2 ? a : b);
    });
    // The UI thread writes too (zeroing on removal).
    std::thread zeroer([&] {
        for (int i = 0; run && i < 50000; ++i)
            data.zero();
    });
    int torn = 0;
    for (int i = 0; i < 20000; ++i) {
        const JoyState s = data.get();
        if (s != a && s != b && s != JoyState{})
            ++torn;
    }
    run = false;
    writer.join();
    zeroer.join();
    EXPECT_EQ(torn, 0);
}

} // namespace
