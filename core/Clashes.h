// Clashing keys: a key code or mouse button given to two or more buttons of one console, and the
// codes that name no key. Neither blocks anything (some owners give one key to two buttons on
// purpose); front ends mark the boxes and `velorinctl check` lists them.
#pragma once

#include "core/Console.h"
#include "core/KeyCodes.h"
#include "core/WorkMode.h"

#include <vector>

namespace velorin {

// One code given to two or more buttons of one console; 0 (nothing) never clashes.
struct Clash {
    ConsoleId console;
    KeyCode code;
    std::vector<PadButton> buttons; // in the console's button order
    friend bool operator==(const Clash&, const Clash&) = default;
};

// A button whose code is neither 0, a key of the key table nor a mouse code.
struct UnnamedCode {
    ConsoleId console;
    PadButton button;
    KeyCode code;
    friend bool operator==(const UnnamedCode&, const UnnamedCode&) = default;
};

struct ClashReport {
    std::vector<Clash> clashes;       // consoles in block order, then by the clash's first button
    std::vector<UnnamedCode> unnamed; // consoles in block order, then button order
    bool clean() const { return clashes.empty() && unnamed.empty(); }
};

// Looks at the buttons each console has (bytes no button of the console uses do not count).
ClashReport findClashes(const WorkModeBlock& block);

// Whether a code names a key or mouse button (0 names nothing and is no problem either).
bool namesKey(KeyCode code);

// The other buttons of `console` that have the code of `button`, in button order; empty when the
// code is 0 or no other button has it. What a box's mark and tooltip name.
std::vector<PadButton> clashingButtons(const ClashReport& report, ConsoleId console, PadButton button);

} // namespace velorin
