#include "device/Reports.h"

#include "device/Discovery.h"
#include "device/SharedState.h"
#include "model/Log.h"

#include <algorithm>
#include <chrono>

namespace velorin::device {

hid::OutputReport makeFrame(uint8_t command) {
    hid::OutputReport report{};
    report[0] = 0x00;
    report[1] = command;
    report[2] = kFrameMagic0;
    report[3] = kFrameMagic1;
    return report;
}

hid::OutputReport makeWriteWorkModeReport(ConstRecordSpan record) {
    hid::OutputReport report = makeFrame(CMD_WRITE_WORKMODE);
    std::copy(record.begin(), record.end(), report.begin() + kArgumentOffset);
    return report;
}

hid::OutputReport makeReadWorkModeReport(ConsoleId console) {
    hid::OutputReport report = makeFrame(CMD_READ_WORKMODE);
    report[kArgumentOffset] = static_cast<uint8_t>(console);
    return report;
}

hid::OutputReport makeModeSelectReport(uint8_t console) {
    hid::OutputReport report = makeFrame(CMD_SELECT_MODE);
    report[kArgumentOffset] = 0x01;
    report[kArgumentOffset + 1] = console;
    return report;
}

bool isPadStateReport(std::span<const uint8_t, hid::kInputReportSize> report) {
    return report[1] == kPadMarker0 && report[2] == kPadMarker1;
}

namespace {

Error<LinkError> linkError(LinkError kind) {
    return {kind, {}};
}

LinkError writeError(const hid::HidHandle& handle) {
    switch (handle.lastWriteFailure()) {
    case hid::WriteFailure::Gone:
        return LinkError::Gone;
    case hid::WriteFailure::NoAnswer:
        return LinkError::NoAnswer;
    case hid::WriteFailure::Refused:
        break;
    }
    return LinkError::Refused;
}

LinkStatus send(hid::HidHandle& handle, const hid::OutputReport& report) {
    if (handle.setOutputReport(report))
        return Done{};
    return linkError(writeError(handle));
}

} // namespace

LinkStatus WriteWorkMode(hid::HidHandle* handle, RecordSpan record) {
    if (!handle)
        return linkError(LinkError::Gone);
    clearUnusedBytes(record);
    return send(*handle, makeWriteWorkModeReport(record));
}

RecordReply ReadWorkModeReply(hid::HidHandle* handle, std::optional<ConsoleId> asked) {
    if (!handle)
        return linkError(LinkError::Gone);
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kReplyTimeoutMs);
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return linkError(LinkError::NoAnswer);
        hid::InputReport report{};
        switch (handle->readInputReport(report, static_cast<int>(left))) {
        case hid::ReadStatus::Report:
            break;
        case hid::ReadStatus::Timeout:
        case hid::ReadStatus::Stopped:
            return linkError(LinkError::NoAnswer);
        case hid::ReadStatus::Gone:
            return linkError(LinkError::Gone);
        }
        if (isPadStateReport(report))
            continue; // a live pad state is no record: wait on for the reply
        if (const auto named = consoleFromByte(report[1]); asked && named && *named != *asked)
            continue; // another console's record: a late reply to an earlier request
        workModeData record{};
        std::copy_n(report.begin() + 1, kRecordSize, record.begin());
        return record;
    }
}

namespace {

LinkStatus sendShortCommand(const hid::OutputReport& report) {
    const std::optional<std::string> path = FindAdapter();
    if (!path)
        return linkError(LinkError::Gone);
    const AdapterHandle handle = OpenAdapterPath(*path);
    if (!handle)
        return linkError(LinkError::Gone);
    return send(*handle.value(), report);
}

} // namespace

LinkStatus SendWorkModeRequest(ConsoleId console) {
    return sendShortCommand(makeReadWorkModeReport(console));
}

LinkStatus SendModeSelect() {
    return SendModeSelect(currentConsole().load());
}

LinkStatus SendModeSelect(uint8_t console) {
    return sendShortCommand(makeModeSelectReport(console));
}

} // namespace velorin::device
