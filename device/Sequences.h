// The sequences the main window runs against the adapter, driven with blocking platform I/O: apply
// (write all four records and select the console mode), read-back (replace the records with the
// adapter's) and the reader's repetition of the mode select. What they send and when they stop is
// the core's (core/Sequences.h); this layer opens the handles, waits in poll() and keeps the time.
// They know no widgets: they say what happened, and the window turns that into message boxes and
// pages. Each runs in one adapter session (its platform, path and reader) that the caller hands in.
// An event that did not fit a sequence's step (a fault of this driver) is logged to `soui`.
#pragma once

#include "core/Console.h"
#include "core/Sequences.h"
#include "core/WorkMode.h"
#include "device/AdapterSession.h"
#include "device/Reports.h"

#include <functional>
#include <string_view>
#include <vector>

namespace velorin::device {

using velorin::ApplyResult;
using velorin::ApplyStatus;
// "CreateFileHandle error", "Write ps3 workModeData error", ...; empty for a success. The window
// shows these texts translated (context "messages"); velorinctl prints them as they are.
using velorin::applyErrorText;
using velorin::recordsTaken;

// Writes the PS3, PS4, SWITCH and XBOX records in this order on one handle, preparing each one
// in the block just before its own write. Stops at the first refused write. After four writes it
// sets the session's modeSelectPending, sends one mode select for `modeConsole` (whose result it
// ignores) and wakes the session's reader.
ApplyResult ApplyToAdapter(AdapterSession& session, WorkModeBlock& block, ConsoleId modeConsole);

// Called after each record that read-back replaced, so its page can be redrawn at once.
using RecordReplaced = std::function<void(ConsoleId)>;

// Why a read-back ended: complete, no adapter, a request that could not be written, no reply.
using velorin::ReadBackEnd;

// Asks the adapter for each record in block order and replaces it with the reply. The first
// request that is not delivered or reply that does not come ends it silently; `end`, when given,
// says which of the two it was, and `error` how that request or reply failed (refused, not
// answered, gone; None after four records). Returns the consoles whose records were replaced, in
// order: the record not read is the next in block order.
std::vector<ConsoleId> ReadBackFromAdapter(AdapterSession& session, WorkModeBlock& block,
                                           const RecordReplaced& onReplaced = {}, ReadBackEnd* end = nullptr,
                                           LinkError* error = nullptr);

// The reader's five mode selects for the session's selectedConsole (read before each send), each
// on a handle of its own; modeSelectPending is cleared after each one that was delivered. Returns
// how many were.
int RepeatModeSelect(AdapterSession& session);

} // namespace velorin::device
