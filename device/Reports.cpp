#include "device/Reports.h"

#include "device/Discovery.h"

#include <algorithm>
#include <chrono>

namespace velorin::device {

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

} // namespace

LinkStatus SendOnHandle(hid::HidHandle& handle, std::span<const uint8_t, hid::kOutputReportSize> report) {
    if (handle.setOutputReport(report))
        return Done{};
    return linkError(writeError(handle));
}

LinkStatus WriteWorkMode(hid::HidHandle* handle, RecordSpan record) {
    if (!handle)
        return linkError(LinkError::Gone);
    clearUnusedBytes(record);
    return SendOnHandle(*handle, makeWriteWorkModeReport(record));
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
        if (isReplyTo(report, asked))
            return recordFromReply(report);
        // A live pad state or another console's late reply: wait on for the reply.
    }
}

LinkStatus SendShortCommand(hid::HidPlatform& platform,
                            std::span<const uint8_t, hid::kOutputReportSize> report) {
    const std::optional<std::string> path = FindAdapter(platform);
    if (!path)
        return linkError(LinkError::Gone);
    const AdapterHandle handle = OpenAdapterPath(platform, *path);
    if (!handle)
        return linkError(LinkError::Gone);
    return SendOnHandle(*handle.value(), report);
}

LinkStatus SendWorkModeRequest(hid::HidPlatform& platform, ConsoleId console) {
    return SendShortCommand(platform, makeReadWorkModeReport(console));
}

LinkStatus SendModeSelect(hid::HidPlatform& platform, ConsoleId console) {
    return SendShortCommand(platform, makeModeSelectReport(static_cast<uint8_t>(console)));
}

} // namespace velorin::device
