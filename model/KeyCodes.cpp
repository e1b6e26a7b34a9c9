#include "model/KeyCodes.h"

#include "model/DisplayTexts.h"

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

// The names of the codes outside the letter, digit and function-key runs.
struct NamedCode {
    KeyCode code;
    const char* name;
};
// clang-format off
constexpr NamedCode kNamedCodes[] = {
    {0x27, "0"},
    {0x28, "Enter"},
    {0x29, "Esc"},
    {0x2A, "BackSpace"},
    {0x2B, "Tab"},
    {0x2C, "Space"},
    {0x35, "`"},
    {0x39, "CapsLock"},
    {0x49, "INS"},
    {0x4A, "Home"},
    {0x4B, "PageUp"},
    {0x4C, "Del"},
    {0x4D, "End"},
    {0x4E, "PageDown"},
    {0x4F, "RightArrow"},
    {0x50, "LeftArrow"},
    {0x51, "DownArrow"},
    {0x52, "UpArrow"},
    {0x53, "NumLock"},
    {0x54, "/"},
    {0x55, "*"},
    {0x56, "-"},
    {0x57, "+"},
    {0x58, "Enter"},
    {0x59, "1/End"},
    {0x5A, "2/Down"},
    {0x5B, "3/PgDn"},
    {0x5C, "4/Left"},
    {0x5D, "5"},
    {0x5E, "6/Right"},
    {0x5F, "7/Home"},
    {0x60, "8/Up"},
    {0x61, "9/PgUp"},
    {0x62, "0/Ins"},
    {0x63, "./Del"},
    {0xE0, "Ctrl"},
    {0xE4, "Ctrl"},
    {0xE1, "Shift"},
    {0xE5, "Shift"},
    {0xE2, "Alt"},
    {0xE6, "Alt"},
    {0xE3, "Win"},
    {0xE7, "Win"},
};
// clang-format on

} // namespace

QString KeyCodeName(KeyCode code) {
    if (code >= 0x04 && code <= 0x1D)
        return QString(QChar(char16_t(code + 61)));
    if (code >= 0x1E && code <= 0x26)
        return QString::number(code - 29);
    if (code >= 0x3A && code <= 0x45)
        return QStringLiteral("F%1").arg(code - 57);
    switch (code) {
    case MOUSE_LCLICK:
        return displayTexts().get(DisplayText::Lclick);
    case MOUSE_RCLICK:
        return displayTexts().get(DisplayText::Rclick);
    case MOUSE_MCLICK:
        return displayTexts().get(DisplayText::Mclick);
    default:
        break;
    }
    for (const NamedCode& n : kNamedCodes) {
        if (n.code == code)
            return QString::fromLatin1(n.name);
    }
    return QString();
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
