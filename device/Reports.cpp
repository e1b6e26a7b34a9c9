#include "device/Reports.h"

#include "device/Discovery.h"
#include "device/SharedState.h"

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

LinkStatus SendShortCommand(std::span<const uint8_t, hid::kOutputReportSize> report) {
    const std::optional<std::string> path = FindAdapter();
    if (!path)
        return linkError(LinkError::Gone);
    const AdapterHandle handle = OpenAdapterPath(*path);
    if (!handle)
        return linkError(LinkError::Gone);
    return SendOnHandle(*handle.value(), report);
}

LinkStatus SendModeSelect() {
    return SendModeSelect(currentConsole().load());
}

LinkStatus SendModeSelect(uint8_t console) {
    return SendShortCommand(makeModeSelectReport(console));
}

} // namespace velorin::device
