// The one-byte key code of an assignment, the key table's names of the codes, velorinctl's
// command-line names, and the on-screen keyboard's table.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velorin {

// 0 nothing, a USB HID keyboard usage (page 0x07), or one of the three mouse codes. The mouse codes
// lie inside the keyboard range but always mean the mouse buttons here.
using KeyCode = uint8_t;
inline constexpr KeyCode KEY_NONE = 0x00;
inline constexpr KeyCode MOUSE_LCLICK = 0xA0;
inline constexpr KeyCode MOUSE_RCLICK = 0xA1;
inline constexpr KeyCode MOUSE_MCLICK = 0xA2;

// Whether a code is one of the three mouse codes.
bool isMouseCode(KeyCode code);

// The key table's name of a code, the text of an assignment box ("A", "1", "F12", "BackSpace",
// "1/End", "Ctrl"): empty for codes without a name, and for the three mouse codes, whose box texts
// are display texts each front end translates (the window's KeyCodeName, model/KeyCodeName.h).
// Key names are the same in every language.
std::string_view keyBoxText(KeyCode code);

// velorinctl's name of a code, its own column of the key table and a documented contract (the
// spellings stay): every name stands for exactly one code, so the keypad Enter and the right-hand
// modifiers have their own ("KP_Enter", "RCtrl"). "mouse-left" ... for the mouse codes, "none" for
// 0, "0x2D" for a code without a name.
std::string keyCommandName(KeyCode code);
// A code from a command-line name, ignoring case and surrounding blanks; also "0xNN" (any byte),
// "none", and a few common spellings ("Return", "Escape", "Ctrl", "PgUp", ...). Nothing for
// anything else.
std::optional<KeyCode> keyCodeFromCommandName(std::string_view text);

// The code of each key index the on-screen keyboard can return; 0 where the keyboard shows a key
// it does not accept, or has no key.
inline constexpr int kKeyboardKeyCount = 105;
extern const std::array<KeyCode, kKeyboardKeyCount> keyboardKeyCodes;

// The code of a key index, 0 for an index outside the table.
KeyCode keyCodeForKeyIndex(int index);

// The code of each function-menu id (2, 3, 4 -> the mouse codes); 0 for any other id.
KeyCode mouseCodeForMenuId(int id);

} // namespace velorin
