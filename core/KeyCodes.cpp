#include "core/KeyCodes.h"

#include <algorithm>
#include <cctype>

namespace velorin {

// clang-format off
const std::array<KeyCode, kKeyboardKeyCount> keyboardKeyCodes{
    // grave accent, 1..9, 0
    0x35, 0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27,
    // minus, equals (not accepted), Backspace, Tab
    0x00, 0x00, 0x2A, 0x2B,
    // Q W E R T Y U I O P
    0x14, 0x1A, 0x08, 0x15, 0x17, 0x1C, 0x18, 0x0C, 0x12, 0x13,
    // [ ] (not accepted), Enter, Caps
    0x00, 0x00, 0x28, 0x39,
    // A S D F G H J K L
    0x04, 0x16, 0x07, 0x09, 0x0A, 0x0B, 0x0D, 0x0E, 0x0F,
    // ; ' (not accepted), left Shift
    0x00, 0x00, 0xE1,
    // Z X C V B N M
    0x1D, 0x1B, 0x06, 0x19, 0x05, 0x11, 0x10,
    // , . / (not accepted), right Shift, backslash (not accepted), left Ctrl, no key
    0x00, 0x00, 0x00, 0xE5, 0x00, 0xE0, 0xE3,
    // left Alt, Space, right Alt, right Ctrl
    0xE2, 0x2C, 0xE6, 0xE4,
    // Up, Left, Right, Down
    0x52, 0x50, 0x4F, 0x51,
    // Esc, F1..F12
    0x29, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x41, 0x42, 0x43, 0x44, 0x45,
    // Print Scr, Scroll Lock, Pause Break (not accepted), Insert
    0x00, 0x00, 0x00, 0x49,
    // Home, Page up, Delete, End, Page Down
    0x4A, 0x4B, 0x4C, 0x4D, 0x4E,
    // Num Lock, keypad / * -
    0x53, 0x54, 0x55, 0x56,
    // keypad 7 8 9 +
    0x5F, 0x60, 0x61, 0x57,
    // keypad 4 5 6
    0x5C, 0x5D, 0x5E,
    // keypad 1 2 3 Enter
    0x59, 0x5A, 0x5B, 0x58,
    // keypad 0 .
    0x62, 0x63,
    // no keys
    0x00, 0x00, 0x00,
};
// clang-format on

namespace {

// The codes with a name outside the letter, digit and function-key runs: the box text, and
// velorinctl's name.
struct NamedCode {
    KeyCode code;
    std::string_view box;
    std::string_view command;
};
// clang-format off
constexpr NamedCode kNamedCodes[] = {
    {0x28, "Enter",      "Enter"},
    {0x29, "Esc",        "Esc"},
    {0x2A, "BackSpace",  "Backspace"},
    {0x2B, "Tab",        "Tab"},
    {0x2C, "Space",      "Space"},
    {0x35, "`",          "Grave"},
    {0x39, "CapsLock",   "CapsLock"},
    {0x49, "INS",        "Insert"},
    {0x4A, "Home",       "Home"},
    {0x4B, "PageUp",     "PageUp"},
    {0x4C, "Del",        "Delete"},
    {0x4D, "End",        "End"},
    {0x4E, "PageDown",   "PageDown"},
    {0x4F, "RightArrow", "Right"},
    {0x50, "LeftArrow",  "Left"},
    {0x51, "DownArrow",  "Down"},
    {0x52, "UpArrow",    "Up"},
    {0x53, "NumLock",    "NumLock"},
    {0x54, "/",          "KP_Divide"},
    {0x55, "*",          "KP_Multiply"},
    {0x56, "-",          "KP_Minus"},
    {0x57, "+",          "KP_Plus"},
    {0x58, "Enter",      "KP_Enter"},
    {0x59, "1/End",      "KP_1"},
    {0x5A, "2/Down",     "KP_2"},
    {0x5B, "3/PgDn",     "KP_3"},
    {0x5C, "4/Left",     "KP_4"},
    {0x5D, "5",          "KP_5"},
    {0x5E, "6/Right",    "KP_6"},
    {0x5F, "7/Home",     "KP_7"},
    {0x60, "8/Up",       "KP_8"},
    {0x61, "9/PgUp",     "KP_9"},
    {0x62, "0/Ins",      "KP_0"},
    {0x63, "./Del",      "KP_Period"},
    {0xA0, "",           "mouse-left"},   // box texts: display texts of the front ends
    {0xA1, "",           "mouse-right"},
    {0xA2, "",           "mouse-middle"},
    {0xE0, "Ctrl",       "LCtrl"},
    {0xE1, "Shift",      "LShift"},
    {0xE2, "Alt",        "LAlt"},
    {0xE3, "Win",        "LWin"},
    {0xE4, "Ctrl",       "RCtrl"},
    {0xE5, "Shift",      "RShift"},
    {0xE6, "Alt",        "RAlt"},
    {0xE7, "Win",        "RWin"},
};

// Other spellings velorinctl accepts, including the window's box texts where they are unambiguous.
constexpr std::pair<std::string_view, KeyCode> kAliases[] = {
    {"Return", 0x28},    {"Escape", 0x29},     {"BackSpace", 0x2A}, {"`", 0x35},        {"Caps", 0x39},
    {"Ins", 0x49},       {"PgUp", 0x4B},       {"Del", 0x4C},       {"PgDn", 0x4E},     {"RightArrow", 0x4F},
    {"LeftArrow", 0x50}, {"DownArrow", 0x51},  {"UpArrow", 0x52},   {"KP_Slash", 0x54}, {"KP_Asterisk", 0x55},
    {"KP_Dot", 0x63},    {"KP_Decimal", 0x63}, {"Ctrl", 0xE0},      {"Shift", 0xE1},    {"Alt", 0xE2},
    {"Win", 0xE3},       {"Super", 0xE3},      {"LSuper", 0xE3},    {"RSuper", 0xE7},   {"mouse-l", 0xA0},
    {"mouse-r", 0xA1},   {"mouse-m", 0xA2},    {"Lclick", 0xA0},    {"Rclick", 0xA1},   {"Mclick", 0xA2},
};
// clang-format on

constexpr std::string_view kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr std::string_view kDigits = "1234567890"; // 0x1E..0x27
constexpr std::string_view kFunctionKeys[] = {"F1", "F2", "F3", "F4",  "F5",  "F6",
                                              "F7", "F8", "F9", "F10", "F11", "F12"};

// The name both columns share: letters, digits and F1-F12.
std::string_view runName(KeyCode code) {
    if (code >= 0x04 && code <= 0x1D)
        return kLetters.substr(code - 0x04u, 1);
    if (code >= 0x1E && code <= 0x27)
        return kDigits.substr(code - 0x1Eu, 1);
    if (code >= 0x3A && code <= 0x45)
        return kFunctionKeys[code - 0x3A];
    return {};
}

const NamedCode* named(KeyCode code) {
    const auto* it = std::find_if(std::begin(kNamedCodes), std::end(kNamedCodes),
                                  [code](const NamedCode& n) { return n.code == code; });
    return it == std::end(kNamedCodes) ? nullptr : it;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

std::optional<int> hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower >= 'a' && lower <= 'f')
        return lower - 'a' + 10;
    return std::nullopt;
}

} // namespace

bool isMouseCode(KeyCode code) {
    return code == MOUSE_LCLICK || code == MOUSE_RCLICK || code == MOUSE_MCLICK;
}

std::string_view keyBoxText(KeyCode code) {
    if (const std::string_view run = runName(code); !run.empty())
        return run;
    const NamedCode* n = named(code);
    return n ? n->box : std::string_view();
}

std::string keyCommandName(KeyCode code) {
    if (code == KEY_NONE)
        return "none";
    if (const std::string_view run = runName(code); !run.empty())
        return std::string(run);
    if (const NamedCode* n = named(code))
        return std::string(n->command);
    constexpr std::string_view kHex = "0123456789ABCDEF";
    return std::string("0x") + kHex[code >> 4] + kHex[code & 0x0F];
}

std::optional<KeyCode> keyCodeFromCommandName(std::string_view text) {
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    if (text.empty() || text.size() > 32)
        return std::nullopt;
    if (text.size() == 1) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        if (c >= 'A' && c <= 'Z')
            return static_cast<KeyCode>(0x04 + (c - 'A'));
        if (c >= '1' && c <= '9')
            return static_cast<KeyCode>(0x1E + (c - '1'));
        if (c == '0')
            return KeyCode{0x27};
    }
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const std::string_view digits = text.substr(2);
        if (digits.empty() || digits.size() > 2)
            return std::nullopt;
        int value = 0;
        for (const char c : digits) {
            const auto d = hexDigit(c);
            if (!d)
                return std::nullopt;
            value = value * 16 + *d;
        }
        return static_cast<KeyCode>(value);
    }
    if (equalsIgnoringCase(text, "none"))
        return KEY_NONE;
    if ((text[0] == 'F' || text[0] == 'f') && text.size() <= 3) {
        const std::string_view digits = text.substr(1);
        const bool plain =
            !digits.empty() && digits[0] != '0' &&
            std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (plain) {
            int n = 0;
            for (const char c : digits)
                n = n * 10 + (c - '0');
            if (n >= 1 && n <= 12)
                return static_cast<KeyCode>(0x39 + n);
        }
    }
    for (const NamedCode& n : kNamedCodes) {
        if (equalsIgnoringCase(text, n.command))
            return n.code;
    }
    for (const auto& [name, code] : kAliases) {
        if (equalsIgnoringCase(text, name))
            return code;
    }
    return std::nullopt;
}

KeyCode keyCodeForKeyIndex(int index) {
    if (index < 0 || index >= kKeyboardKeyCount)
        return KEY_NONE;
    return keyboardKeyCodes[static_cast<std::size_t>(index)];
}

KeyCode mouseCodeForMenuId(int id) {
    switch (id) {
    case 2:
        return MOUSE_LCLICK;
    case 3:
        return MOUSE_RCLICK;
    case 4:
        return MOUSE_MCLICK;
    default:
        return KEY_NONE;
    }
}

} // namespace velorin
