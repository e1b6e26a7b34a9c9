// Sending the adapter's reports: the operations on an open handle and the short commands that
// open a handle of their own. The frames themselves are the core's (core/Reports.h).
#pragma once

#include "core/Console.h"
#include "core/Reports.h"
#include "core/Result.h"
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

// Why an exchange with the adapter failed (the core's: refused, not answered in time, gone).
using velorin::LinkError;
using LinkStatus = Status<Error<LinkError>>;
using RecordReply = Result<workModeData, Error<LinkError>>;

// Clears bytes 6-9 of `record` in place (whatever happens next), then sends it as one
// CMD_WRITE_WORKMODE report. Fails at once without a handle (Gone).
LinkStatus WriteWorkMode(hid::HidHandle* handle, RecordSpan record);

// Waits at most 100 ms for the reply to a record request on `handle` and returns its bytes 1-27.
// Live pad-state reports that come first are skipped within the same 100 ms. With `asked`, so is
// a reply that names another console in its byte 0 (a late reply to an earlier request; a record
// always carries its own console's id, so only a stale one can do that). Fails with NoAnswer when
// nothing usable came in time, with Gone when the handle broke or there is none.
RecordReply ReadWorkModeReply(hid::HidHandle* handle, std::optional<ConsoleId> asked = std::nullopt);

// Short commands: each runs its own scan of `platform`, opens its own handle, sends one report and
// closes it; none reads or changes a session's adapter path. Gone when the scan finds no adapter
// or it cannot be opened.
LinkStatus SendWorkModeRequest(hid::HidPlatform& platform, ConsoleId console);
// Sends the mode select for `console`.
LinkStatus SendModeSelect(hid::HidPlatform& platform, ConsoleId console);
// Sends any report as a short command: what a sequence's Send step with Via::Own asks for.
LinkStatus SendShortCommand(hid::HidPlatform& platform,
                            std::span<const uint8_t, hid::kOutputReportSize> report);
// Sends one report on an open handle, saying how a failed write ended.
LinkStatus SendOnHandle(hid::HidHandle& handle, std::span<const uint8_t, hid::kOutputReportSize> report);

} // namespace velorin::device
