// The two sequences the main window runs against the adapter: apply (write all four records and
// select the console mode) and read-back (replace the records with the adapter's). They know no
// widgets: they say what happened, and the window turns that into message boxes and pages.
#pragma once

#include "core/Console.h"
#include "core/WorkMode.h"

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace velorin::device {

enum class ApplyStatus {
    Success,
    NoAdapter,   // no handle: nothing was sent, the block is unchanged
    WriteFailed, // the write of `failedConsole` was refused; no mode select was sent
};

struct ApplyResult {
    ApplyStatus status = ApplyStatus::Success;
    std::optional<ConsoleId> failedConsole; // set with WriteFailed
    friend bool operator==(const ApplyResult&, const ApplyResult&) = default;
};

// The error text the window shows for a failed apply: "CreateFileHandle error",
// "Write ps3 workModeData error", ...; empty for a success (the window shows its success box).
std::string_view applyErrorText(const ApplyResult& result);

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

} // namespace velorin::device
