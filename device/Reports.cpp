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

bool WriteWorkMode(hid::HidHandle* handle, RecordSpan record) {
    if (!handle)
        return false;
    clearUnusedBytes(record);
    const hid::OutputReport report = makeWriteWorkModeReport(record);
    return handle->setOutputReport(report);
}

std::optional<workModeData> ReadWorkModeReply(hid::HidHandle* handle, std::optional<ConsoleId> asked) {
    if (!handle)
        return std::nullopt;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kReplyTimeoutMs);
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return std::nullopt;
        hid::InputReport report{};
        if (handle->readInputReport(report, static_cast<int>(left)) != hid::ReadStatus::Report)
            return std::nullopt;
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

bool sendShortCommand(const hid::OutputReport& report) {
    const std::optional<std::string> path = FindAdapter();
    if (!path)
        return false;
    const AdapterHandle handle = OpenAdapterPath(*path);
    return handle && handle.value()->setOutputReport(report);
}

} // namespace

bool SendWorkModeRequest(ConsoleId console) {
    return sendShortCommand(makeReadWorkModeReport(console));
}

bool SendModeSelect() {
    return SendModeSelect(currentConsole().load());
}

bool SendModeSelect(uint8_t console) {
    return sendShortCommand(makeModeSelectReport(console));
}

} // namespace velorin::device
