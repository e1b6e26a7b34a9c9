// The platform HID layer: the few operations the device link needs, with one backend over
// Linux hidraw + libudev and one over the simulated adapter's socket bus.
#pragma once

#include "core/Reports.h"

#include <QObject>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velorin::hid {

// Capability figures of one top-level collection, in the units the identity test uses:
// report lengths are in bytes and include the report-ID byte (0 when there is no report of
// that kind); link collection nodes count the top-level collection and every collection in it.
struct CollectionCaps {
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    uint16_t inputReportLength = 0;
    uint16_t outputReportLength = 0;
    uint16_t featureReportLength = 0;
    uint16_t linkCollectionNodes = 0;
    friend bool operator==(const CollectionCaps&, const CollectionCaps&) = default;
};

// How the kernel sends an output report written to the interface: on its interrupt OUT endpoint
// when it has one, as a SET_REPORT request on the control pipe when it has none or when the usbhid
// quirk that forbids the interrupt endpoint is set for the device.
enum class OutputPath : uint8_t { Unknown, Interrupt, SetReport };
// The usbhid quirk HID_QUIRK_NO_OUTPUT_REPORTS_ON_INTR_EP.
inline constexpr uint32_t kQuirkNoOutputReportsOnIntrEp = 0x00040000;

// One present HID interface.
struct DeviceInfo {
    std::string path; // what open() takes: /dev/hidrawN, or a socket of the simulated bus
    uint32_t busType = 0;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::vector<CollectionCaps> collections; // one per top-level collection, in descriptor order
    // Whether the USB interface has an interrupt OUT endpoint; nullopt when that is not known
    // (not a USB interface, sysfs unreadable, an identity read from an open handle).
    std::optional<bool> interruptOut;
    // usbhid quirks configured for this vendor and product (/sys/module/usbhid/parameters/quirks).
    uint32_t usbhidQuirks = 0;
};

// Which way output reports to this interface travel.
OutputPath outputPath(const DeviceInfo& info);
const char* outputPathName(OutputPath path); // "interrupt", "set_report", "unknown"

// The report sizes are the core's (core/Reports.h): report ID 0x00 first, then 32 or 64 data bytes.
using velorin::InputReport;
using velorin::kInputReportSize;
using velorin::kOutputReportSize;
using velorin::OutputReport;

// Wakes blocked reads from another thread. Once raised it stays raised until reset().
class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;
    void raise();
    void reset();
    bool raised() const;
    int fd() const { return fd_; } // readable while raised; for poll()

private:
    int fd_ = -1;
};

enum class ReadStatus {
    Report,  // one input report was read
    Timeout, // nothing arrived within the time-out
    Gone,    // the device went away (unplugged, or the handle broke)
    Stopped, // the StopSignal was raised
};

// How a write of an output report that did not get through ended.
enum class WriteFailure {
    Refused,  // the device (or the kernel for it) turned the report down
    NoAnswer, // the device took no decision within the time allowed
    Gone,     // the device went away (unplugged, or the handle broke)
};

// An open interface, shared with other openers; every open handle gets its own copy of each
// input report.
class HidHandle {
public:
    virtual ~HidHandle() = default;
    // Delivers one output report (report ID first); blocks until the device took it or refused it.
    virtual bool setOutputReport(std::span<const uint8_t, kOutputReportSize> report) = 0;
    // How the last setOutputReport() that failed ended; Refused for a backend that cannot tell.
    virtual WriteFailure lastWriteFailure() const { return WriteFailure::Refused; }
    // Reads one input report (report ID first) into `out`. timeoutMs < 0 waits without limit.
    // Ends at once when the device goes away or `stop` is raised.
    virtual ReadStatus readInputReport(std::span<uint8_t, kInputReportSize> out, int timeoutMs,
                                       const StopSignal* stop = nullptr) = 0;
    // What the open handle itself says it is: bus, vendor, product and the parsed report descriptor,
    // asked of the handle (not of the path, whose node may since belong to another device). Empty
    // collections when the handle cannot tell.
    virtual DeviceInfo identity() const = 0;
};

// Arrival and removal notices of HID interfaces, delivered on the thread that owns the object
// (the UI thread) through its event loop.
class HidMonitor : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~HidMonitor() override = default;

Q_SIGNALS:
    void deviceArrived(const QString& path);
    void deviceRemoved(const QString& path);
};

enum class OpenError { None, NotFound, PermissionDenied, NotAdapter, Other };

class HidPlatform {
public:
    virtual ~HidPlatform() = default;
    // The present HID interfaces in a stable order (the order the first-match rule uses).
    virtual std::vector<DeviceInfo> enumerate() = 0;
    // Opens an interface for reading and writing; nullptr when that fails (`error` says why).
    virtual std::unique_ptr<HidHandle> open(const std::string& path, OpenError* error = nullptr) = 0;
    // A new monitor; enabled before it is returned, so no arrival after this call is missed.
    virtual std::unique_ptr<HidMonitor> createMonitor(QObject* parent = nullptr) = 0;
};

// The backends. A front end makes one and hands it to its adapter session (device/AdapterSession.h):
// hidraw, or with --simulate (or VELORIN_SIM_BUS) the simulated bus.
std::unique_ptr<HidPlatform> makeHidrawPlatform();
std::unique_ptr<HidPlatform> makeSimPlatform(const std::string& busDir);

} // namespace velorin::hid
