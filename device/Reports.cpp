#include "device/Reports.h"

#include "device/Discovery.h"

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

LinkStatus SendModeSelect(hid::HidPlatform& platform, ConsoleId console) {
    return SendShortCommand(platform, makeModeSelectReport(static_cast<uint8_t>(console)));
}

} // namespace velorin::device
