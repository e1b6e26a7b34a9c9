// The sequences the main window runs against the adapter, driven with blocking platform I/O: apply
// (write all four records and select the console mode), read-back (replace the records with the
// adapter's) and the reader's repetition of the mode select. What they send and when they stop is
// the core's (core/Sequences.h); this layer opens the handles, waits in poll() and keeps the time.
// They know no widgets: they say what happened, and the window turns that into message boxes and
// pages.
#pragma once

#include "core/Console.h"
#include "core/Sequences.h"
#include "core/WorkMode.h"

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace velorin::device {

using velorin::ApplyResult;
using velorin::ApplyStatus;
// "CreateFileHandle error", "Write ps3 workModeData error", ...; empty for a success. The window
// shows these texts translated (context "messages"); velorinctl prints them as they are.
using velorin::applyErrorText;

// Writes the PS3, PS4, SWITCH and XBOX records in this order on one handle, preparing each one
// in the block just before its own write. Stops at the first refused write. After four writes it
// sets modeSelectPending and sends one mode select, whose result it ignores.
// With `console`, the mode select names that console instead of currentConsole.
ApplyResult ApplyToAdapter(WorkModeBlock& block, std::optional<ConsoleId> console = std::nullopt);

// Called after each record that read-back replaced, so its page can be redrawn at once.
using RecordReplaced = std::function<void(ConsoleId)>;

// Asks the adapter for each record in block order and replaces it with the reply. The first
// request that is not delivered or reply that does not come ends it silently. Returns the
// consoles whose records were replaced, in order.
std::vector<ConsoleId> ReadBackFromAdapter(WorkModeBlock& block, const RecordReplaced& onReplaced = {});

// The reader's five mode selects for currentConsole (read before each send), each on a handle of
// its own; modeSelectPending is cleared after each one that was delivered. Returns how many were.
int RepeatModeSelect();

} // namespace velorin::device
