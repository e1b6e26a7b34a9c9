// Key names for the command line and the JSON layout. Unlike the box texts of the window, every
// name here stands for exactly one code (the keypad Enter and the right-hand modifiers have their
// own names), so a name read back always gives the same byte.
#pragma once

#include "model/KeyCodes.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace velorin::ctl {

// "A", "7", "F12", "Space", "KP_Enter", "RCtrl", "mouse-left", "none" for 0, and "0x2D" for a code
// without a name.
QString keyName(KeyCode code);

// A code from a name, ignoring case; also "0xNN" (any byte), "none", and a few common
// spellings ("Return", "Escape", "Ctrl", "PgUp", ...). nullopt for anything else.
std::optional<KeyCode> parseKeyName(const QString& text);

// Every canonical name, in code order (for help texts and error messages).
QStringList allKeyNames();

} // namespace velorin::ctl
