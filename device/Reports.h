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

// Short commands: each runs its own scan of `platform`, opens its own handle, sends one report and
// closes it; none reads or changes a session's adapter path. Gone when the scan finds no adapter
// or it cannot be opened.

// Sends the mode select for `console`.
LinkStatus SendModeSelect(hid::HidPlatform& platform, ConsoleId console);
// Sends any report as a short command: what a sequence's Send step with Via::Own asks for.
LinkStatus SendShortCommand(hid::HidPlatform& platform,
                            std::span<const uint8_t, hid::kOutputReportSize> report);
// Sends one report on an open handle, saying how a failed write ended.
LinkStatus SendOnHandle(hid::HidHandle& handle, std::span<const uint8_t, hid::kOutputReportSize> report);

} // namespace velorin::device
