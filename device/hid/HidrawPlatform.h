// Pieces of the hidraw backend that tests can reach without a kernel device.
#pragma once

#include "device/hid/HidPlatform.h"

#include <optional>
#include <string>
#include <string_view>

namespace velorin::hid {

struct HidId {
    uint32_t busType = 0;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
};

// Parses the HID_ID=bus:vendor:product line of a HID device's uevent text
// (e.g. "HID_ID=0003:00000888:00008831"); nullopt when it is missing or malformed.
std::optional<HidId> parseHidIdFromUevent(std::string_view uevent);

// A handle over any hidraw-like file descriptor (takes ownership of `fd`). With
// `usesReportIds` false the 0x00 report-ID byte is put in front of every report read.
std::unique_ptr<HidHandle> makeFdHandle(int fd, bool usesReportIds);

// Reads at most `limit` bytes of a (sysfs) file; nullopt when it cannot be read or is longer.
std::optional<std::string> readSmallFile(const std::string& path, std::size_t limit);

} // namespace velorin::hid
