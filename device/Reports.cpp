#include "device/Reports.h"

#include "device/Discovery.h"
#include "device/SharedState.h"

#include <algorithm>
#include <chrono>

namespace velorin::device {

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
        if (isReplyTo(report, asked))
            return recordFromReply(report);
        // A live pad state or another console's late reply: wait on for the reply.
    }
}

bool SendShortCommand(std::span<const uint8_t, hid::kOutputReportSize> report) {
    const std::optional<std::string> path = FindAdapter();
    if (!path)
        return false;
    const AdapterHandle handle = OpenAdapterPath(*path);
    return handle && handle.value()->setOutputReport(report);
}

bool SendWorkModeRequest(ConsoleId console) {
    return SendShortCommand(makeReadWorkModeReport(console));
}

bool SendModeSelect() {
    return SendModeSelect(currentConsole().load());
}

bool SendModeSelect(uint8_t console) {
    return SendShortCommand(makeModeSelectReport(console));
}

} // namespace velorin::device
