// Shared helpers of the HID platform tests.
#pragma once

#include "device/hid/HidPlatform.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace velorin::hid::test {

// One QCoreApplication for the whole test binary (QProcess and the monitors want one).
inline QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "device_hid_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

// Runs the event loop until `done` holds or `timeoutMs` passes; returns `done()`.
inline bool spinUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    app();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

// A platform whose interfaces the test lists; open() fails with the error set per path.
class FakePlatform : public HidPlatform {
public:
    std::vector<DeviceInfo> devices;
    std::map<std::string, OpenError> openErrors;
    std::vector<std::string> opened;

    std::vector<DeviceInfo> enumerate() override { return devices; }
    std::unique_ptr<HidHandle> open(const std::string& path, OpenError* error) override {
        opened.push_back(path);
        const auto it = openErrors.find(path);
        const OpenError e = it == openErrors.end() ? OpenError::None : it->second;
        if (error)
            *error = e;
        if (e != OpenError::None)
            return nullptr;
        const auto it2 =
            std::find_if(devices.begin(), devices.end(), [&](const DeviceInfo& d) { return d.path == path; });
        return std::make_unique<NullHandle>(it2 == devices.end() ? DeviceInfo{} : *it2);
    }
    std::unique_ptr<HidMonitor> createMonitor(QObject* parent) override {
        return std::make_unique<HidMonitor>(parent);
    }

private:
    struct NullHandle : HidHandle {
        explicit NullHandle(DeviceInfo info) : info_(std::move(info)) {}
        DeviceInfo identity() const override { return info_; }
        DeviceInfo info_;
        bool setOutputReport(std::span<const uint8_t, kOutputReportSize>) override { return true; }
        ReadStatus readInputReport(std::span<uint8_t, kInputReportSize>, int, const StopSignal*) override {
            return ReadStatus::Timeout;
        }
    };
};

} // namespace velorin::hid::test
