#include "core/Console.h"

#include "core/Texts.h"

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

// clang-format off
constexpr std::array<ConsoleInfo, kConsoleCount> kConsoles{{
    {ConsoleId::PS3, 0, "PS3", "ps3page", "ps3", kCommonButtons, "btn_ps3",
     VELORIN_TEXT("messages", "Write ps3 workModeData error"), "m_PS3Handler.ShowKeystatus exception", 33},
    {ConsoleId::PS4, 1, "PS4", "ps4page", "ps4", kPs4Buttons, "btn_ps4",
     VELORIN_TEXT("messages", "Write ps4 workModeData error"), "m_PS4Handler.ShowKeystatus(); exception", 41},
    {ConsoleId::SWITCH, 2, "SWITCH", "switchpage", "switch", kSwitchButtons, "btn_switch",
     VELORIN_TEXT("messages", "Write switch workModeData error"), "m_SwtichHandler.ShowKeystatus(); exception", 48},
    {ConsoleId::XBOX, 3, "XBOX", "xboxpage", "xbox", kCommonButtons, "btn_xbox",
     VELORIN_TEXT("messages", "Write Xbox workModeData error"), "m_XBOXHandler.ShowKeystatus(); exception", 55},
}};
// clang-format on

struct ButtonInfo {
    std::string_view name;
    int byte;
    std::string_view commandName;
    LampRule lamp;
};

constexpr LampRule bit(uint8_t index, uint8_t mask) {
    return {index, mask, LampTest::Bit};
}
constexpr LampRule below(uint8_t index) {
    return {index, 0, LampTest::Below};
}
constexpr LampRule above(uint8_t index) {
    return {index, 0, LampTest::Above};
}

// clang-format off
constexpr std::array<ButtonInfo, kPadButtonCount> kButtons{{
    {"L2",         22, "L2",           bit(9, 0x01)},
    {"L1",         24, "L1",           bit(8, 0x40)},
    {"SELECT",     13, "SELECT",       bit(9, 0x04)},
    {"ARROW_UP",   14, "UP",           bit(10, 0x01)},
    {"ARROW_DOWN", 15, "DOWN",         bit(10, 0x08)},
    {"ARROW_L",    16, "LEFT",         bit(10, 0x04)},
    {"ARROW_R",    17, "RIGHT",        bit(10, 0x02)},
    {"lyhih_UP",    4, "LSTICK_UP",    below(3)},
    {"lyhih_DOWN",  3, "LSTICK_DOWN",  above(3)},
    {"lxhih_L",     1, "LSTICK_LEFT",  below(2)},
    {"lxhih_R",     2, "LSTICK_RIGHT", above(2)},
    {"LSTICK_KEY",  5, "L3",           bit(9, 0x20)},
    {"R2",         23, "R2",           bit(9, 0x02)},
    {"R1",         25, "R1",           bit(8, 0x80)},
    {"START",      11, "START",        bit(9, 0x08)},
    {"A",          19, "A",            bit(8, 0x01)},
    {"B",          21, "B",            bit(8, 0x02)},
    {"X",          20, "X",            bit(8, 0x08)},
    {"Y",          18, "Y",            bit(8, 0x10)},
    {"RSTICK_KEY", 10, "R3",           bit(9, 0x40)},
    {"HOME",       12, "HOME",         bit(9, 0x10)},
    {"SHARE",      26, "SHARE",        bit(9, 0x80)},
    {"CAPTURE",    26, "CAPTURE",      bit(9, 0x80)},
}};
// clang-format on

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    while (!text.empty() && blank(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && blank(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

const ButtonInfo& buttonInfo(PadButton button) {
    const auto index = static_cast<std::size_t>(button);
    return kButtons[index < kButtons.size() ? index : 0];
}

} // namespace

std::span<const ConsoleInfo, kConsoleCount> consoles() {
    return kConsoles;
}

const ConsoleInfo& consoleInfo(ConsoleId id) {
    for (const ConsoleInfo& info : kConsoles) {
        if (info.id == id)
            return info;
    }
    return kConsoles[0];
}

ConsoleId consoleAtBlockIndex(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= kBlockOrder.size())
        return ConsoleId::PS3;
    return kBlockOrder[static_cast<std::size_t>(index)];
}

std::optional<ConsoleId> consoleFromByte(uint8_t value) {
    for (const ConsoleInfo& info : kConsoles) {
        if (static_cast<uint8_t>(info.id) == value)
            return info.id;
    }
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
    return buttonInfo(button).name;
}

std::optional<PadButton> padButtonFromName(std::string_view name) {
    for (std::size_t i = 0; i < kButtons.size(); ++i) {
        if (kButtons[i].name == name)
            return static_cast<PadButton>(i);
    }
    return std::nullopt;
}

int recordByte(PadButton button) {
    return buttonInfo(button).byte;
}

bool consoleAssignsByte(ConsoleId console, int byte) {
    const auto& buttons = consoleInfo(console).buttons;
    return std::any_of(buttons.begin(), buttons.end(), [byte](PadButton b) { return recordByte(b) == byte; });
}

std::string_view padButtonCommandName(PadButton button) {
    return buttonInfo(button).commandName;
}

std::optional<PadButton> padButtonFromCommandName(std::string_view text) {
    text = trimmed(text);
    if (text.empty() || text.size() > 32)
        return std::nullopt;
    for (std::size_t i = 0; i < kButtons.size(); ++i) {
        if (equalsIgnoringCase(text, kButtons[i].commandName) || equalsIgnoringCase(text, kButtons[i].name))
            return static_cast<PadButton>(i);
    }
    return std::nullopt;
}

LampRule lampRule(PadButton button) {
    return buttonInfo(button).lamp;
}

std::string boxName(ConsoleId console, PadButton button) {
    return "btn_" + std::string(consoleInfo(console).word) + "_key_" + std::string(padButtonName(button));
}

std::string lampName(ConsoleId console, PadButton button) {
    return "img_" + std::string(consoleInfo(console).word) + "_key_" + std::string(padButtonName(button));
}

} // namespace velorin
