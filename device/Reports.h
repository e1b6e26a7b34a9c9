// The adapter's output report frame, its three commands, and the operations that send them.
#pragma once

#include "core/Console.h"
#include "core/WorkMode.h"
#include "device/hid/HidPlatform.h"

#include <cstdint>
#include <optional>
#include <span>

namespace velorin::device {

inline constexpr uint8_t CMD_WRITE_WORKMODE = 0x30;
inline constexpr uint8_t CMD_READ_WORKMODE = 0x31;
inline constexpr uint8_t CMD_SELECT_MODE = 0x32;
inline constexpr uint8_t kFrameMagic0 = 0xAA;
inline constexpr uint8_t kFrameMagic1 = 0x55;
// Offset of the first argument byte in an output report.
inline constexpr std::size_t kArgumentOffset = 4;
// The longest wait for the reply to a record request.
inline constexpr int kReplyTimeoutMs = 100;

// Data bytes 0 and 1 of a live pad-state input report (report bytes 1 and 2).
inline constexpr uint8_t kPadMarker0 = 0xA1;
inline constexpr uint8_t kPadMarker1 = 0xC4;

static_assert(kArgumentOffset + kRecordSize <= hid::kOutputReportSize);
static_assert(1 + kRecordSize <= hid::kInputReportSize);

// 00 cmd AA 55, zeros elsewhere.
hid::OutputReport makeFrame(uint8_t command);
// CMD_WRITE_WORKMODE with the 27 record bytes in report bytes 4-30.
hid::OutputReport makeWriteWorkModeReport(ConstRecordSpan record);
// CMD_READ_WORKMODE asking for the record of `console`.
hid::OutputReport makeReadWorkModeReport(ConsoleId console);
// CMD_SELECT_MODE: byte 4 0x01, byte 5 the console id.
hid::OutputReport makeModeSelectReport(uint8_t console);

// Whether an input report (report ID first) is a live pad state: data bytes 0-1 are A1 C4.
bool isPadStateReport(std::span<const uint8_t, hid::kInputReportSize> report);

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

} // namespace velorin::device
