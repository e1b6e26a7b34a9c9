// Copying one console's assignment onto another's record, as the window's "copy to" entries and
// velorinctl do it. Pure: no window, no device.
#pragma once

#include "core/Console.h"
#include "core/WorkMode.h"

namespace velorin {

// Whether `console` has a box for `button` (SHARE only on PS4, CAPTURE only on SWITCH).
bool consoleHasButton(ConsoleId console, PadButton button);

// The block with `to`'s record taking the assignment of every button `from` and `to` both have:
// the 21 buttons every pad has, and byte 26 (SHARE, CAPTURE) only when both have a button there,
// that is between PS4 and SWITCH. The target keeps its console id (byte 0), the unused bytes 6-9
// and, when either side lacks the 22nd button, byte 26. The other three records are untouched. A
// copy onto itself, or a console id outside the four, gives the block unchanged.
WorkModeBlock copyConsole(const WorkModeBlock& block, ConsoleId from, ConsoleId to);

} // namespace velorin
