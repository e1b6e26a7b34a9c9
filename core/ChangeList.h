// What Apply will change: per console, each button whose code differs between the block the user
// sees and what the adapter is known to hold. Records are compared as apply writes them
// (prepareForWrite), so the console byte, bytes 6-9 and a spare byte 26 never count.
#pragma once

#include "core/Console.h"
#include "core/KeyCodes.h"
#include "core/WorkMode.h"

#include <array>
#include <optional>
#include <span>
#include <vector>

namespace velorin {

struct ButtonChange {
    PadButton button;
    KeyCode from; // what the adapter holds
    KeyCode to;   // what apply writes
    friend bool operator==(const ButtonChange&, const ButtonChange&) = default;
};

struct ConsoleChanges {
    ConsoleId console;
    // What the adapter holds for this console is not known (never read, or a read-back stopped
    // before it): apply writes its whole record. `buttons` is then empty.
    bool neverRead = false;
    std::vector<ButtonChange> buttons; // in the console's button order
    friend bool operator==(const ConsoleChanges&, const ConsoleChanges&) = default;
};

// What the adapter is known to hold, one entry per console in block order; none = never read.
using KnownRecords = std::array<std::optional<workModeData>, kConsoleCount>;

// The consoles apply would change, in block order: those never read, and those with at least one
// button that differs. Empty when apply would change nothing.
std::vector<ConsoleChanges> changesToApply(const WorkModeBlock& shown,
                                           std::span<const std::optional<workModeData>, kConsoleCount> known);

} // namespace velorin
