// Key and button names for the command line and the JSON layout: the command-line columns of the
// core's key and button tables (keyCommandName, padButtonCommandName), a documented contract.
// Unlike the box texts of the window, every key name here stands for exactly one code (the keypad
// Enter and the right-hand modifiers have their own names), so a name read back always gives the
// same byte.
#pragma once

#include "core/Console.h"
#include "core/KeyCodes.h"

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

// The name a person reads for a pad button: the element name where it is already plain (L2,
// SELECT, A, HOME, SHARE), else UP/DOWN/LEFT/RIGHT for the pad's arrows, LSTICK_UP ... LSTICK_RIGHT
// for the left stick's directions and L3/R3 for the stick clicks. Text output uses these; JSON
// keeps the element names.
QString buttonLabel(PadButton button);

// A button from its readable name or its element name ("UP" or "ARROW_UP"), ignoring case.
std::optional<PadButton> parseButtonName(const QString& text);

} // namespace velorin::ctl
