// An in-process stand-in for the HID platform: adapters and other interfaces that can be plugged
// and unplugged, a log of every output report, per-handle input queues, and record replies.
#pragma once

#include "device/AdapterSession.h"
#include "device/Reports.h"
#include "device/hid/HidPlatform.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace velorin::test {

// Capabilities that pass the adapter identity test.
inline hid::DeviceInfo adapterInfo(const std::string& path) {
    hid::DeviceInfo info;
    info.path = path;
    info.busType = 3;
    info.vendorId = 0x0888;
    info.productId = 0x8831;
    info.collections.push_back({0xFFC0, 0x0001, 33, 65, 0, 1});
    return info;
}

inline hid::DeviceInfo keyboardInfo(const std::string& path) {
    hid::DeviceInfo info;
    info.path = path;
    info.busType = 3;
    info.vendorId = 0x046D;
    info.productId = 0xC31C;
    info.collections.push_back({0x0001, 0x0006, 9, 2, 0, 1});
    return info;
}

// Signals of the base are public: tests emit them directly.
class FakeMonitor : public hid::HidMonitor {
public:
    using hid::HidMonitor::HidMonitor;
    void arrive(const QString& path) { Q_EMIT deviceArrived(path); }
    void remove(const QString& path) { Q_EMIT deviceRemoved(path); }
};

class FakeBus;

struct FakeHandleState {
    std::deque<hid::InputReport> queue;
    bool gone = false;
};

class FakeBus : public std::enable_shared_from_this<FakeBus> {
public:
    struct Device {
        hid::DeviceInfo info;
        bool isAdapter = false;
        std::array<workModeData, 4> records{}; // block order
    };

    // Plugging and unplugging.
    void plug(const hid::DeviceInfo& info, bool isAdapter);
    void unplug(const std::string& path);

    // Output reports as the device received them, with whether each was taken.
    struct Sent {
        std::string path;
        hid::OutputReport report;
        bool taken;
    };
    std::vector<Sent> sent() const;
    std::size_t countSent(uint8_t command) const;
    void clearSent();

    // Refuse every output report of `command` whose console argument is `console` (0: any).
    void refuse(uint8_t command, uint8_t console);
    void refuseAll(bool on);
    // Record requests for this console get no reply.
    void dropReply(uint8_t console);
    // Before the reply to a record request, this input report goes out first.
    void setBeforeReply(std::optional<hid::InputReport> report);
    // Sends an input report to every open handle of `path`.
    void sendInput(const std::string& path, const hid::InputReport& report);

    workModeData record(const std::string& path, ConsoleId console) const;
    void setRecord(const std::string& path, ConsoleId console, const workModeData& record);

    // The next `count` scans throw, as a broken platform might.
    void throwOnEnumerate(int count) { throwScans_ = count; }

    int openCount() const { return opens_.load(); }
    int enumerateCount() const { return enumerates_.load(); }
    std::size_t openHandles() const;

    // Platform side.
    std::vector<hid::DeviceInfo> enumerate();
    std::unique_ptr<hid::HidHandle> open(const std::string& path);
    bool write(const std::string& path, const hid::OutputReport& report);
    hid::ReadStatus read(const std::shared_ptr<FakeHandleState>& h,
                         std::span<uint8_t, hid::kInputReportSize> out, int timeoutMs,
                         const hid::StopSignal* stop);
    void closeHandle(const std::string& path, const std::shared_ptr<FakeHandleState>& h);

private:
    void sendLocked(const std::string& path, const hid::InputReport& report);

    mutable std::mutex mutex_;
    std::vector<Device> devices_;
    std::multimap<std::string, std::shared_ptr<FakeHandleState>> handles_;
    std::vector<Sent> sent_;
    std::set<std::pair<uint8_t, uint8_t>> refused_;
    bool refuseAll_ = false;
    std::set<uint8_t> dropped_;
    std::optional<hid::InputReport> beforeReply_;
    std::atomic<int> opens_{0};
    std::atomic<int> enumerates_{0};
    std::atomic<int> throwScans_{0};
};

// The platform of a fake session; the bus and the last monitor stay reachable.
class FakePlatform : public hid::HidPlatform {
public:
    explicit FakePlatform(std::shared_ptr<FakeBus> bus) : bus_(std::move(bus)) {}
    std::vector<hid::DeviceInfo> enumerate() override { return bus_->enumerate(); }
    std::unique_ptr<hid::HidHandle> open(const std::string& path, hid::OpenError* error) override;
    std::unique_ptr<hid::HidMonitor> createMonitor(QObject* parent) override;
    static FakeMonitor* lastMonitor;

private:
    std::shared_ptr<FakeBus> bus_;
};

// A fresh fake bus and an adapter session whose platform it is, as a front end would make one.
struct FakeSession {
    std::shared_ptr<FakeBus> bus;
    std::shared_ptr<device::AdapterSession> session;
};
FakeSession makeFakeSession();

hid::InputReport padReport(std::initializer_list<uint8_t> dataBytes);

} // namespace velorin::test
