// The adapter's reports as bytes: the 65-byte output report frame with its three commands, the
// 33-byte input report, and how a record reply and a live pad state are told apart. No I/O: the
// front ends send and receive these bytes with whatever their platform offers.
#pragma once

#include "core/Console.h"
#include "core/Identity.h"
#include "core/WorkMode.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace velorin {

// Report ID 0x00 in front of the data bytes: the adapter declares no report IDs, and the
// platform calls take (output) and give (input) the ID byte first. WebHID leaves it out on both
// sides: send bytes 1-64, and turn a received DataView into a report with inputReportFromData().
inline constexpr std::size_t kInputReportSize = 1 + kAdapterIdentity.inputBytes;   // 0x00 + 32 data bytes
inline constexpr std::size_t kOutputReportSize = 1 + kAdapterIdentity.outputBytes; // 0x00 + 64 data bytes
using InputReport = std::array<uint8_t, kInputReportSize>;
using OutputReport = std::array<uint8_t, kOutputReportSize>;
static_assert(sizeof(InputReport) == 33);
static_assert(sizeof(OutputReport) == 65);

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

static_assert(kArgumentOffset + kRecordSize <= kOutputReportSize);
static_assert(1 + kRecordSize <= kInputReportSize);

// Why an exchange with the adapter failed. The window turns every one into its fixed texts;
// velorinctl says which it was.
enum class LinkError : uint8_t {
    None,
    Refused,  // the adapter turned the report down
    NoAnswer, // the adapter did not take the report, or did not reply, within the time allowed
    Gone,     // there is no adapter (any more): none found, unplugged, or its handle broke
};

// 00 cmd AA 55, zeros elsewhere.
OutputReport makeFrame(uint8_t command);
// CMD_WRITE_WORKMODE with the 27 record bytes in report bytes 4-30.
OutputReport makeWriteWorkModeReport(ConstRecordSpan record);
// CMD_READ_WORKMODE asking for the record of `console`.
OutputReport makeReadWorkModeReport(ConsoleId console);
// CMD_SELECT_MODE: byte 4 0x01, byte 5 the console id.
OutputReport makeModeSelectReport(uint8_t console);

// An input report from its data bytes alone, as a platform without the ID byte delivers them
// (WebHID, hidraw): 0x00 in front, at most 32 data bytes, zeros after a shorter one.
InputReport inputReportFromData(std::span<const uint8_t> data);

// Whether an input report (report ID first) is a live pad state: data bytes 0-1 are A1 C4.
bool isPadStateReport(std::span<const uint8_t, kInputReportSize> report);

// Whether an input report can be the reply to a request for the record of `asked`: it is no live
// pad state, and its byte 1 (record byte 0) does not name another console. A record always carries
// its own console's id, so one naming another console is a late reply to an earlier request; a
// byte that names no console (a blank record) is taken. Without `asked`, any report that is no
// pad state.
bool isReplyTo(std::span<const uint8_t, kInputReportSize> report, std::optional<ConsoleId> asked);

// The record a reply to CMD_READ_WORKMODE carries: report bytes 1-27, taken as they are.
workModeData recordFromReply(std::span<const uint8_t, kInputReportSize> report);

} // namespace velorin
