#include "core/Reports.h"

#include <algorithm>

namespace velorin {

OutputReport makeFrame(uint8_t command) {
    OutputReport report{};
    report[0] = 0x00;
    report[1] = command;
    report[2] = kFrameMagic0;
    report[3] = kFrameMagic1;
    return report;
}

OutputReport makeWriteWorkModeReport(ConstRecordSpan record) {
    OutputReport report = makeFrame(CMD_WRITE_WORKMODE);
    std::copy(record.begin(), record.end(), report.begin() + kArgumentOffset);
    return report;
}

OutputReport makeReadWorkModeReport(ConsoleId console) {
    OutputReport report = makeFrame(CMD_READ_WORKMODE);
    report[kArgumentOffset] = static_cast<uint8_t>(console);
    return report;
}

OutputReport makeModeSelectReport(uint8_t console) {
    OutputReport report = makeFrame(CMD_SELECT_MODE);
    report[kArgumentOffset] = 0x01;
    report[kArgumentOffset + 1] = console;
    return report;
}

InputReport inputReportFromData(std::span<const uint8_t> data) {
    InputReport report{};
    std::copy_n(data.begin(), std::min(data.size(), kInputReportSize - 1), report.begin() + 1);
    return report;
}

bool isPadStateReport(std::span<const uint8_t, kInputReportSize> report) {
    return report[1] == kPadMarker0 && report[2] == kPadMarker1;
}

bool isReplyTo(std::span<const uint8_t, kInputReportSize> report, std::optional<ConsoleId> asked) {
    if (isPadStateReport(report))
        return false;
    const std::optional<ConsoleId> named = consoleFromByte(report[1]);
    return !asked || !named || *named == *asked;
}

workModeData recordFromReply(std::span<const uint8_t, kInputReportSize> report) {
    workModeData record{};
    std::copy_n(report.begin() + 1, kRecordSize, record.begin());
    return record;
}

} // namespace velorin
