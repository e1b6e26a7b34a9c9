// Sending the adapter's reports: the operations on an open handle and the short commands that
// open a handle of their own. The frames themselves are the core's (core/Reports.h).
#pragma once

#include "core/Reports.h"
#include "core/Result.h"
#include "device/hid/HidPlatform.h"

#include <cstdint>
#include <span>

namespace velorin::device {

// Why an exchange with the adapter failed: the core's LinkError (refused, not answered in time,
// gone).
using LinkStatus = Status<Error<LinkError>>;

// Short commands: each runs its own scan, opens its own handle, sends one report and closes it;
// neither reads nor changes adapterPath(). Gone when the scan finds no adapter or it cannot be
// opened.

// Sends the console mode held by currentConsole at the start of the call.
LinkStatus SendModeSelect();
// Sends the mode select for `console` (a tool that selects a mode without a window's state).
LinkStatus SendModeSelect(uint8_t console);
// Sends any report as a short command: what a sequence's Send step with Via::Own asks for.
LinkStatus SendShortCommand(std::span<const uint8_t, hid::kOutputReportSize> report);
// Sends one report on an open handle, saying how a failed write ended.
LinkStatus SendOnHandle(hid::HidHandle& handle, std::span<const uint8_t, hid::kOutputReportSize> report);

} // namespace velorin::device
