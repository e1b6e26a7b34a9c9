// What the kernel suite shares: the gadget's control socket, the hidraw nodes as sysfs and udev see
// them, usbhid reloaded with or without the quirk, usbmon, and a hidraw backend with a hook before
// each write. The suite runs inside scripts/kernel-vm, which plugs velorin-gadget in before it
// starts; anywhere else every test reports itself skipped.
#pragma once

#include "device/hid/HidPlatform.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct udev;
struct udev_monitor;

namespace velorin::kernel {

// Why the suite cannot run in this process (not in the kernel test machine, no gadget), or empty.
std::string unavailableReason();
// Whether this machine's adapter has an interrupt OUT endpoint (scripts/kernel-vm --adapter).
bool interruptVariant();
// Generous limits that only end a hung run: software emulation is slow while a build runs.
inline constexpr int kNodeTimeoutMs = 120000;

// One answer of velorin-gadget: the lines said before the final one, and the final line.
struct Answer {
    std::vector<std::string> lines;
    std::string final;
    bool ok() const { return final.rfind("ok", 0) == 0 || final.rfind("pong", 0) == 0; }
};
Answer gadget(const std::string& line);

// An output report the gadget's firmware received: how it came, what the firmware made of it, and
// its bytes with the report ID 0 in front (as the host wrote it).
struct Received {
    std::string way;     // "interrupt" or "set_report"
    std::string outcome; // "ok", "refused", "ignored"
    std::vector<uint8_t> bytes;
};
std::vector<Received> received();
// What the firmware received, once it holds at least `count` reports (a write returns when the
// kernel took the report, a moment before the gadget reads it); what it holds on time-out.
std::vector<Received> receivedAtLeast(std::size_t count);
using Record = std::array<uint8_t, 27>;
// The gadget's four records in block order (PS3, PS4, SWITCH, XBOX).
std::array<Record, 4> records();
// Stores a record in the gadget (the slot named by its byte 0).
bool storeRecord(const Record& record);

// A hidraw node as sysfs describes it.
struct Node {
    std::string devnode;      // /dev/hidrawN
    std::string sysname;      // hidrawN
    std::string hidId;        // HID_ID from the HID device's uevent: "0003:00000888:00008831"
    int interfaceNumber = -1; // bInterfaceNumber of its USB interface; -1 when it has none
    int busnum = -1;          // of its USB device
    int devnum = -1;
    std::vector<uint8_t> descriptor; // device/report_descriptor
};
std::vector<Node> nodes();
// The nodes of the gadget's interfaces, in interface order.
std::vector<Node> gadgetNodes();
inline constexpr const char* kAdapterHidId = "0003:00000888:00008831";

// hidraw events from udevd (sent once its rules ran and its database is written, or removed).
class UdevWatch {
public:
    UdevWatch();
    ~UdevWatch();
    UdevWatch(const UdevWatch&) = delete;
    UdevWatch& operator=(const UdevWatch&) = delete;
    // Waits for `count` events with `action` ("add", "remove") since construction; returns the
    // nodes' sysnames, or fewer on time-out (kNodeTimeoutMs).
    std::vector<std::string> waitFor(const std::string& action, std::size_t count);

private:
    ::udev* udev_ = nullptr;
    ::udev_monitor* monitor_ = nullptr;
    std::vector<std::pair<std::string, std::string>> seen_; // action, sysname
};

// Unplugs the gadget (when plugged) and waits until udevd has handled the removal of its nodes.
bool unplugGadget();
// Plugs the gadget with `kinds` ("adapter", "input64 page adapter", "keyboard"), unplugging it first,
// and waits until udevd has handled each new node; returns them in interface order, empty on failure.
std::vector<Node> plugGadget(const std::string& kinds = "adapter");
// Resets the gadget (faults off, the records it started with, nothing received) and plugs the
// adapter in afresh.
bool resetGadget();

// Reloads usbhid with or without quirks=0x0888:0x8831:0x00040000 (a no-op when it already is so)
// and waits for the adapter's node. `error` says what failed.
bool setUsbhidQuirk(bool on, std::string* error);
bool usbhidQuirkSet();

// The text of usbmon for one bus, from construction on.
class Usbmon {
public:
    explicit Usbmon(int bus);
    ~Usbmon();
    Usbmon(const Usbmon&) = delete;
    Usbmon& operator=(const Usbmon&) = delete;
    bool open() const { return fd_ >= 0; }
    // The lines captured so far.
    std::vector<std::string> take();

private:
    int fd_ = -1;
    std::string partial_;
};

// How the output reports in usbmon lines travelled to device `devnum`: "interrupt" when every one
// went on interrupt OUT endpoint 2, "set_report" when every one was a SET_REPORT request (Output
// report, ID 0), "mixed" or "none" otherwise. `stalled` counts SET_REPORT requests that ended with
// -EPIPE (-32).
struct Travelled {
    std::string path;
    int reports = 0;
    int stalled = 0;
};
Travelled travelled(const std::vector<std::string>& usbmonLines, int busnum, int devnum);

// The hidraw backend with `beforeWrite(n)` run before the n-th output report (counted from 1 over
// every handle it opens) is written.
std::unique_ptr<hid::HidPlatform> makeHookedHidraw(std::function<void(int)> beforeWrite);

// The velorinctl program and its exit code and outputs.
struct CtlRun {
    int code = -1;
    std::string out;
    std::string err;
};
CtlRun runVelorinctl(const std::vector<std::string>& args);

} // namespace velorin::kernel
