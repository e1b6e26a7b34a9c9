#include "FakeHid.h"

#include "device/AdapterSession.h"
#include "device/Discovery.h"

#include <poll.h>

#include <algorithm>
#include <stdexcept>
#include <thread>

namespace velorin::test {

namespace {

class FakeHandle : public hid::HidHandle {
public:
    FakeHandle(std::shared_ptr<FakeBus> bus, hid::DeviceInfo info, std::shared_ptr<FakeHandleState> state)
        : bus_(std::move(bus)), path_(info.path), info_(std::move(info)), state_(std::move(state)) {}
    hid::DeviceInfo identity() const override { return info_; }
    ~FakeHandle() override { bus_->closeHandle(path_, state_); }
    bool setOutputReport(std::span<const uint8_t, hid::kOutputReportSize> report) override {
        hid::OutputReport copy{};
        std::copy(report.begin(), report.end(), copy.begin());
        return bus_->write(path_, copy);
    }
    hid::ReadStatus readInputReport(std::span<uint8_t, hid::kInputReportSize> out, int timeoutMs,
                                    const hid::StopSignal* stop) override {
        return bus_->read(state_, out, timeoutMs, stop);
    }

private:
    std::shared_ptr<FakeBus> bus_;
    std::string path_;
    hid::DeviceInfo info_; // the device this handle was opened on
    std::shared_ptr<FakeHandleState> state_;
};

std::optional<std::size_t> slotOf(uint8_t console) {
    for (std::size_t i = 0; i < kBlockOrder.size(); ++i)
        if (static_cast<uint8_t>(kBlockOrder[i]) == console)
            return i;
    return std::nullopt;
}

} // namespace

FakeMonitor* FakePlatform::lastMonitor = nullptr;

void FakeBus::plug(const hid::DeviceInfo& info, bool isAdapter) {
    std::lock_guard lock(mutex_);
    devices_.push_back({info, isAdapter, {}});
}

void FakeBus::unplug(const std::string& path) {
    std::lock_guard lock(mutex_);
    std::erase_if(devices_, [&](const Device& d) { return d.info.path == path; });
    auto [b, e] = handles_.equal_range(path);
    for (auto it = b; it != e; ++it)
        it->second->gone = true;
}

std::vector<FakeBus::Sent> FakeBus::sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

std::size_t FakeBus::countSent(uint8_t command) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(sent_.begin(), sent_.end(), [&](const Sent& s) { return s.report[1] == command; }));
}

void FakeBus::clearSent() {
    std::lock_guard lock(mutex_);
    sent_.clear();
}

void FakeBus::refuse(uint8_t command, uint8_t console) {
    std::lock_guard lock(mutex_);
    refused_.insert({command, console});
}

void FakeBus::refuseAll(bool on) {
    std::lock_guard lock(mutex_);
    refuseAll_ = on;
}

void FakeBus::dropReply(uint8_t console) {
    std::lock_guard lock(mutex_);
    dropped_.insert(console);
}

void FakeBus::setBeforeReply(std::optional<hid::InputReport> report) {
    std::lock_guard lock(mutex_);
    beforeReply_ = report;
}

void FakeBus::sendInput(const std::string& path, const hid::InputReport& report) {
    std::lock_guard lock(mutex_);
    sendLocked(path, report);
}

void FakeBus::sendLocked(const std::string& path, const hid::InputReport& report) {
    auto [b, e] = handles_.equal_range(path);
    for (auto it = b; it != e; ++it)
        it->second->queue.push_back(report);
}

workModeData FakeBus::record(const std::string& path, ConsoleId console) const {
    std::lock_guard lock(mutex_);
    for (const Device& d : devices_)
        if (d.info.path == path)
            return d.records[*slotOf(static_cast<uint8_t>(console))];
    return {};
}

void FakeBus::setRecord(const std::string& path, ConsoleId console, const workModeData& record) {
    std::lock_guard lock(mutex_);
    for (Device& d : devices_)
        if (d.info.path == path)
            d.records[*slotOf(static_cast<uint8_t>(console))] = record;
}

std::size_t FakeBus::openHandles() const {
    std::lock_guard lock(mutex_);
    return handles_.size();
}

std::vector<hid::DeviceInfo> FakeBus::enumerate() {
    ++enumerates_;
    if (throwScans_.load() > 0) {
        --throwScans_;
        throw std::runtime_error("scan failed");
    }
    std::lock_guard lock(mutex_);
    std::vector<hid::DeviceInfo> out;
    for (const Device& d : devices_)
        out.push_back(d.info);
    return out;
}

std::unique_ptr<hid::HidHandle> FakeBus::open(const std::string& path) {
    ++opens_;
    std::lock_guard lock(mutex_);
    const auto dev =
        std::find_if(devices_.begin(), devices_.end(), [&](const Device& d) { return d.info.path == path; });
    if (dev == devices_.end())
        return nullptr;
    auto state = std::make_shared<FakeHandleState>();
    handles_.emplace(path, state);
    return std::make_unique<FakeHandle>(shared_from_this(), dev->info, state);
}

bool FakeBus::write(const std::string& path, const hid::OutputReport& report) {
    std::lock_guard lock(mutex_);
    auto dev =
        std::find_if(devices_.begin(), devices_.end(), [&](const Device& d) { return d.info.path == path; });
    if (dev == devices_.end())
        return false;
    const uint8_t command = report[1];
    const uint8_t console = command == CMD_SELECT_MODE ? report[5] : report[4];
    const bool taken = !refuseAll_ && !refused_.count({command, console}) && !refused_.count({command, 0});
    sent_.push_back({path, report, taken});
    if (!taken || !dev->isAdapter)
        return taken;
    if (command == CMD_WRITE_WORKMODE) {
        if (const auto slot = slotOf(console))
            std::copy_n(report.begin() + 4, kRecordSize, dev->records[*slot].begin());
    } else if (command == CMD_READ_WORKMODE) {
        const auto slot = slotOf(console);
        if (slot && !dropped_.count(console)) {
            if (beforeReply_)
                sendLocked(path, *beforeReply_);
            hid::InputReport reply{};
            std::copy(dev->records[*slot].begin(), dev->records[*slot].end(), reply.begin() + 1);
            sendLocked(path, reply);
        }
    }
    return true;
}

hid::ReadStatus FakeBus::read(const std::shared_ptr<FakeHandleState>& h,
                              std::span<uint8_t, hid::kInputReportSize> out, int timeoutMs,
                              const hid::StopSignal* stop) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!h->queue.empty()) {
            std::copy(h->queue.front().begin(), h->queue.front().end(), out.begin());
            h->queue.pop_front();
            return hid::ReadStatus::Report;
        }
        if (h->gone)
            return hid::ReadStatus::Gone;
        if (stop && stop->raised())
            return hid::ReadStatus::Stopped;
        if (timeoutMs >= 0 && Clock::now() >= deadline)
            return hid::ReadStatus::Timeout;
        // Short sleeps rather than a timed condition wait, which thread checkers cannot follow.
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        lock.lock();
    }
}

void FakeBus::closeHandle(const std::string& path, const std::shared_ptr<FakeHandleState>& h) {
    std::lock_guard lock(mutex_);
    auto [b, e] = handles_.equal_range(path);
    for (auto it = b; it != e; ++it) {
        if (it->second == h) {
            handles_.erase(it);
            return;
        }
    }
}

std::unique_ptr<hid::HidHandle> FakePlatform::open(const std::string& path, hid::OpenError* error) {
    auto handle = bus_->open(path);
    if (error)
        *error = handle ? hid::OpenError::None : hid::OpenError::NotFound;
    return handle;
}

std::unique_ptr<hid::HidMonitor> FakePlatform::createMonitor(QObject* parent) {
    auto monitor = std::make_unique<FakeMonitor>(parent);
    lastMonitor = monitor.get();
    return monitor;
}

FakeSession makeFakeSession() {
    auto bus = std::make_shared<FakeBus>();
    FakePlatform::lastMonitor = nullptr;
    return {bus, std::make_shared<device::AdapterSession>(std::make_unique<FakePlatform>(bus))};
}

hid::InputReport padReport(std::initializer_list<uint8_t> dataBytes) {
    hid::InputReport r{};
    std::size_t i = 1;
    for (uint8_t b : dataBytes) {
        if (i >= r.size())
            break;
        r[i++] = b;
    }
    return r;
}

} // namespace velorin::test
