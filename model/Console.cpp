#include "model/Console.h"

#include <algorithm>
#include <cctype>

namespace velorin {

namespace {

using enum PadButton;

constexpr std::array<PadButton, 21> kCommonButtons{
    L2,         L1, SELECT, ARROW_UP, ARROW_DOWN, ARROW_L, ARROW_R, lyhih_UP, lyhih_DOWN, lxhih_L, lxhih_R,
    LSTICK_KEY, R2, R1,     START,    A,          B,       X,       Y,        RSTICK_KEY, HOME};
constexpr std::array<PadButton, 22> kPs4Buttons{
    L2,         L1, SELECT, ARROW_UP, ARROW_DOWN, ARROW_L, ARROW_R, lyhih_UP, lyhih_DOWN, lxhih_L, lxhih_R,
    LSTICK_KEY, R2, R1,     START,    A,          B,       X,       Y,        RSTICK_KEY, HOME,    SHARE};
constexpr std::array<PadButton, 22> kSwitchButtons{
    L2,         L1, SELECT, ARROW_UP, ARROW_DOWN, ARROW_L, ARROW_R, lyhih_UP, lyhih_DOWN, lxhih_L, lxhih_R,
    LSTICK_KEY, R2, R1,     START,    A,          B,       X,       Y,        RSTICK_KEY, HOME,    CAPTURE};

const std::array<ConsoleInfo, 4> kConsoles{{
    {ConsoleId::PS3, 0, "PS3", "ps3page", "ps3", kCommonButtons},
    {ConsoleId::PS4, 1, "PS4", "ps4page", "ps4", kPs4Buttons},
    {ConsoleId::SWITCH, 2, "SWITCH", "switchpage", "switch", kSwitchButtons},
    {ConsoleId::XBOX, 3, "XBOX", "xboxpage", "xbox", kCommonButtons},
}};

struct ButtonInfo {
    std::string_view name;
    int byte;
};

constexpr std::array<ButtonInfo, kPadButtonCount> kButtons{{
    {"L2", 22},      {"L1", 24},        {"SELECT", 13},  {"ARROW_UP", 14},  {"ARROW_DOWN", 15},
    {"ARROW_L", 16}, {"ARROW_R", 17},   {"lyhih_UP", 4}, {"lyhih_DOWN", 3}, {"lxhih_L", 1},
    {"lxhih_R", 2},  {"LSTICK_KEY", 5}, {"R2", 23},      {"R1", 25},        {"START", 11},
    {"A", 19},       {"B", 21},         {"X", 20},       {"Y", 18},         {"RSTICK_KEY", 10},
    {"HOME", 12},    {"SHARE", 26},     {"CAPTURE", 26},
}};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(
        a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

} // namespace

const ConsoleInfo& consoleInfo(ConsoleId id) {
    for (const ConsoleInfo& info : kConsoles) {
        if (info.id == id)
            return info;
    }
    return kConsoles[0];
}

ConsoleId consoleAtBlockIndex(int index) {
    return kBlockOrder.at(static_cast<std::size_t>(index));
}

std::optional<ConsoleId> consoleFromByte(uint8_t value) {
    if (value >= 1 && value <= 4)
        return static_cast<ConsoleId>(value);
    return std::nullopt;
}

std::optional<ConsoleId> consoleFromName(std::string_view name) {
    for (const ConsoleInfo& info : kConsoles) {
        if (equalsIgnoringCase(name, info.word))
            return info.id;
    }
    return std::nullopt;
}

std::string_view padButtonName(PadButton button) {
    return kButtons[static_cast<std::size_t>(button)].name;
}

std::optional<PadButton> padButtonFromName(std::string_view name) {
    for (std::size_t i = 0; i < kButtons.size(); ++i) {
        if (kButtons[i].name == name)
            return static_cast<PadButton>(i);
    }
    return std::nullopt;
}

int recordByte(PadButton button) {
    return kButtons[static_cast<std::size_t>(button)].byte;
}

std::string boxName(ConsoleId console, PadButton button) {
    return "btn_" + std::string(consoleInfo(console).word) + "_key_" + std::string(padButtonName(button));
}

std::string lampName(ConsoleId console, PadButton button) {
    return "img_" + std::string(consoleInfo(console).word) + "_key_" + std::string(padButtonName(button));
}

} // namespace velorin
