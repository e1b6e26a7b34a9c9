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

QString KeyCodeName(KeyCode code) {
    if (code >= 0x04 && code <= 0x1D)
        return QString(QChar(char16_t(code + 61)));
    if (code >= 0x1E && code <= 0x26)
        return QString::number(code - 29);
    if (code >= 0x3A && code <= 0x45)
        return QStringLiteral("F%1").arg(code - 57);
    switch (code) {
    case 0x27:
        return QStringLiteral("0");
    case 0x28:
        return QStringLiteral("Enter");
    case 0x29:
        return QStringLiteral("Esc");
    case 0x2A:
        return QStringLiteral("BackSpace");
    case 0x2B:
        return QStringLiteral("Tab");
    case 0x2C:
        return QStringLiteral("Space");
    case 0x35:
        return QStringLiteral("`");
    case 0x39:
        return QStringLiteral("CapsLock");
    case 0x49:
        return QStringLiteral("INS");
    case 0x4A:
        return QStringLiteral("Home");
    case 0x4B:
        return QStringLiteral("PageUp");
    case 0x4C:
        return QStringLiteral("Del");
    case 0x4D:
        return QStringLiteral("End");
    case 0x4E:
        return QStringLiteral("PageDown");
    case 0x4F:
        return QStringLiteral("RightArrow");
    case 0x50:
        return QStringLiteral("LeftArrow");
    case 0x51:
        return QStringLiteral("DownArrow");
    case 0x52:
        return QStringLiteral("UpArrow");
    case 0x53:
        return QStringLiteral("NumLock");
    case 0x54:
        return QStringLiteral("/");
    case 0x55:
        return QStringLiteral("*");
    case 0x56:
        return QStringLiteral("-");
    case 0x57:
        return QStringLiteral("+");
    case 0x58:
        return QStringLiteral("Enter");
    case 0x59:
        return QStringLiteral("1/End");
    case 0x5A:
        return QStringLiteral("2/Down");
    case 0x5B:
        return QStringLiteral("3/PgDn");
    case 0x5C:
        return QStringLiteral("4/Left");
    case 0x5D:
        return QStringLiteral("5");
    case 0x5E:
        return QStringLiteral("6/Right");
    case 0x5F:
        return QStringLiteral("7/Home");
    case 0x60:
        return QStringLiteral("8/Up");
    case 0x61:
        return QStringLiteral("9/PgUp");
    case 0x62:
        return QStringLiteral("0/Ins");
    case 0x63:
        return QStringLiteral("./Del");
    case MOUSE_LCLICK:
        return displayTexts().get(DisplayText::Lclick);
    case MOUSE_RCLICK:
        return displayTexts().get(DisplayText::Rclick);
    case MOUSE_MCLICK:
        return displayTexts().get(DisplayText::Mclick);
    case 0xE0:
    case 0xE4:
        return QStringLiteral("Ctrl");
    case 0xE1:
    case 0xE5:
        return QStringLiteral("Shift");
    case 0xE2:
    case 0xE6:
        return QStringLiteral("Alt");
    case 0xE3:
    case 0xE7:
        return QStringLiteral("Win");
    default:
        return QString();
    }
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
