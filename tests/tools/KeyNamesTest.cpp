#include "KeyNames.h"

#include <gtest/gtest.h>

using namespace velorin;
using namespace velorin::ctl;

TEST(CtlKeyNames, EveryCodeRoundTripsThroughItsName) {
    for (int code = 0; code <= 0xFF; ++code) {
        const QString name = keyName(static_cast<KeyCode>(code));
        ASSERT_FALSE(name.isEmpty()) << code;
        const auto back = parseKeyName(name);
        ASSERT_TRUE(back.has_value()) << name.toStdString();
        EXPECT_EQ(*back, code) << name.toStdString();
    }
}

TEST(CtlKeyNames, NamesAreUniqueAndCodesWithoutNameAreHex) {
    QStringList names;
    for (int code = 0; code <= 0xFF; ++code)
        names << keyName(static_cast<KeyCode>(code)).toLower();
    names.removeDuplicates();
    EXPECT_EQ(names.size(), 256);
    EXPECT_EQ(keyName(0x2D), QStringLiteral("0x2D"));
    EXPECT_EQ(keyName(0xFF), QStringLiteral("0xFF"));
    EXPECT_EQ(keyName(0x00), QStringLiteral("none"));
}

TEST(CtlKeyNames, AcceptedSpellings) {
    const std::pair<const char*, int> cases[] = {
        {"A", 0x04},       {"a", 0x04},          {"z", 0x1D},           {"1", 0x1E},
        {"9", 0x26},       {"0", 0x27},          {"F1", 0x3A},          {"f12", 0x45},
        {"Space", 0x2C},   {"enter", 0x28},      {"Return", 0x28},      {"Esc", 0x29},
        {"Escape", 0x29},  {"Tab", 0x2B},        {"KP_Enter", 0x58},    {"kp_0", 0x62},
        {"KP_9", 0x61},    {"KP_Plus", 0x57},    {"KP_Period", 0x63},   {"Up", 0x52},
        {"UpArrow", 0x52}, {"LCtrl", 0xE0},      {"Ctrl", 0xE0},        {"RCtrl", 0xE4},
        {"RShift", 0xE5},  {"mouse-left", 0xA0}, {"MOUSE-RIGHT", 0xA1}, {"mouse-middle", 0xA2},
        {"0x2d", 0x2D},    {"0xff", 0xFF},       {"0x0", 0x00},         {"none", 0x00},
        {" B ", 0x05},
    };
    for (const auto& [text, code] : cases) {
        const auto got = parseKeyName(QString::fromLatin1(text));
        ASSERT_TRUE(got.has_value()) << text;
        EXPECT_EQ(*got, code) << text;
    }
}

TEST(CtlKeyNames, RejectsUnknownAndMalformed) {
    for (const char* text : {"", "F0", "F13", "F01", "0x100", "0x", "0xg1", "AB", "mouse", "KP_10", "-1", "é",
                             "0x-1", "F+1", "verylongnamethatisnotakeyatallandgoesonandon"}) {
        EXPECT_FALSE(parseKeyName(QString::fromUtf8(text)).has_value()) << text;
    }
}

TEST(CtlButtonNames, ReadableAndElementNamesAreBothAccepted) {
    const std::pair<const char*, PadButton> cases[] = {
        {"UP", PadButton::ARROW_UP},         {"arrow_up", PadButton::ARROW_UP},
        {"RIGHT", PadButton::ARROW_R},       {"ARROW_R", PadButton::ARROW_R},
        {"LSTICK_UP", PadButton::lyhih_UP},  {"lyhih_UP", PadButton::lyhih_UP},
        {"lstick_left", PadButton::lxhih_L}, {"lxhih_L", PadButton::lxhih_L},
        {"L3", PadButton::LSTICK_KEY},       {"LSTICK_KEY", PadButton::LSTICK_KEY},
        {"r3", PadButton::RSTICK_KEY},       {"L2", PadButton::L2},
        {" capture ", PadButton::CAPTURE},   {"SELECT", PadButton::SELECT},
    };
    for (const auto& [text, button] : cases) {
        const auto got = parseButtonName(QString::fromLatin1(text));
        ASSERT_TRUE(got.has_value()) << text;
        EXPECT_EQ(*got, button) << text;
    }
    for (const char* text : {"", "ARROW", "LSTICK", "L4", "lyhih", "UP=A"})
        EXPECT_FALSE(parseButtonName(QString::fromLatin1(text)).has_value()) << text;
    // Every button has one readable name of its own, which leads back to it.
    QStringList labels;
    for (int i = 0; i < kPadButtonCount; ++i) {
        const auto button = static_cast<PadButton>(i);
        labels << buttonLabel(button);
        EXPECT_EQ(parseButtonName(labels.back()), button) << labels.back().toStdString();
    }
    labels.removeDuplicates();
    EXPECT_EQ(labels.size(), kPadButtonCount);
}
