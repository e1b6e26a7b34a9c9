// The one-byte key code of an assignment, its display name, and the on-screen keyboard's table.
#pragma once

#include <QString>

#include <array>
#include <cstdint>

namespace velorin {

// 0 nothing, a USB HID keyboard usage (page 0x07), or one of the three mouse codes. The mouse codes
// lie inside the keyboard range but always mean the mouse buttons here.
using KeyCode = uint8_t;
inline constexpr KeyCode KEY_NONE = 0x00;
inline constexpr KeyCode MOUSE_LCLICK = 0xA0;
inline constexpr KeyCode MOUSE_RCLICK = 0xA1;
inline constexpr KeyCode MOUSE_MCLICK = 0xA2;

// The text of an assignment box for a code: empty for codes without a name. The three mouse codes
// show the current display texts Lclick, Rclick and Mclick.
QString KeyCodeName(KeyCode code);

// The code of each key index the on-screen keyboard can return; 0 where the keyboard shows a key
// it does not accept, or has no key.
inline constexpr int kKeyboardKeyCount = 105;
extern const std::array<KeyCode, kKeyboardKeyCount> keyboardKeyCodes;

// The code of a key index, 0 for an index outside the table.
KeyCode keyCodeForKeyIndex(int index);

// The code of each function-menu id (2, 3, 4 -> the mouse codes); 0 for any other id.
KeyCode mouseCodeForMenuId(int id);

} // namespace velorin
