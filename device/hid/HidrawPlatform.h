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

// A handle over any hidraw-like file descriptor (takes ownership of `fd` and makes it
// non-blocking). With `usesReportIds` false the 0x00 report-ID byte is put in front of every
// report read.
std::unique_ptr<HidHandle> makeFdHandle(int fd, bool usesReportIds);

// Where usbhid lists its configured quirks, one "0xVVVV:0xPPPP:0xQQQQQQQQ" entry per device.
inline constexpr const char* kUsbhidQuirksPath = "/sys/module/usbhid/parameters/quirks";

// The quirks that usbhid's quirks parameter text sets for this vendor and product (0 for none).
uint32_t usbhidQuirksFor(std::string_view quirksText, uint16_t vendorId, uint16_t productId);

// Whether the USB interface whose sysfs directory this is has an interrupt OUT endpoint (its
// ep_* entries with their type and direction); nullopt when no endpoint can be read there.
std::optional<bool> interruptOutFromSysfs(const std::string& usbInterfaceDir);

// The identity an open hidraw node gives of itself (HIDIOCGRAWINFO, HIDIOCGRDESC); empty
// collections when the ioctls fail, as they do on anything that is not a hidraw node.
DeviceInfo identityOfHidrawFd(int fd);

// Reads at most `limit` bytes of a (sysfs) file; nullopt when it cannot be read or is longer.
std::optional<std::string> readSmallFile(const std::string& path, std::size_t limit);

} // namespace velorin::hid
