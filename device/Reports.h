// Sending the adapter's reports: the operations on an open handle and the short commands that
// open a handle of their own. The frames themselves are the core's (core/Reports.h).
#pragma once

#include "core/Console.h"
#include "core/Reports.h"
#include "core/WorkMode.h"
#include "device/hid/HidPlatform.h"

#include <cstdint>
#include <optional>
#include <span>

namespace velorin::device {

// The frames and commands, under the names the device link has always used.
using velorin::CMD_READ_WORKMODE;
using velorin::CMD_SELECT_MODE;
using velorin::CMD_WRITE_WORKMODE;
using velorin::isPadStateReport;
using velorin::kArgumentOffset;
using velorin::kFrameMagic0;
using velorin::kFrameMagic1;
using velorin::kPadMarker0;
using velorin::kPadMarker1;
using velorin::kReplyTimeoutMs;
using velorin::makeFrame;
using velorin::makeModeSelectReport;
using velorin::makeReadWorkModeReport;
using velorin::makeWriteWorkModeReport;

// Clears bytes 6-9 of `record` in place (whatever happens next), then sends it as one
// CMD_WRITE_WORKMODE report. Fails at once without a handle.
bool WriteWorkMode(hid::HidHandle* handle, RecordSpan record);

// Waits at most 100 ms for the reply to a record request on `handle` and returns its bytes 1-27.
// Live pad-state reports that come first are skipped within the same 100 ms. With `asked`, so is
// a reply that names another console in its byte 0 (a late reply to an earlier request; a record
// always carries its own console's id, so only a stale one can do that). Fails at once without a
// handle.
std::optional<workModeData> ReadWorkModeReply(hid::HidHandle* handle,
                                              std::optional<ConsoleId> asked = std::nullopt);

// Short commands: each runs its own scan, opens its own handle, sends one report and closes it;
// neither reads nor changes adapterPath().
bool SendWorkModeRequest(ConsoleId console);
// Sends the console mode held by currentConsole at the start of the call.
bool SendModeSelect();
// Sends the mode select for `console` (a tool that selects a mode without a window's state).
bool SendModeSelect(uint8_t console);
// Sends any report as a short command: what a sequence's Send step with Via::Own asks for.
bool SendShortCommand(std::span<const uint8_t, hid::kOutputReportSize> report);

} // namespace velorin::device
