// A virtual adapter made by the kernel's uhid driver: a real HID device with the adapter's identity
// and report descriptor, so the hidraw backend, udev discovery and the reader meet a real kernel.
// Its firmware keeps four records, answers record requests with an input report and takes record
// writes and mode selects, whether they come as UHID_OUTPUT or as UHID_SET_REPORT.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace velorin::hw {

class VirtualAdapter {
public:
    using Record = std::array<uint8_t, 27>;

    // Why /dev/uhid cannot be used here, or an empty string when it can.
    static std::string unavailableReason();

    VirtualAdapter();
    ~VirtualAdapter(); // destroys the device (an unplug)
    VirtualAdapter(const VirtualAdapter&) = delete;
    VirtualAdapter& operator=(const VirtualAdapter&) = delete;

    // Creates the device (a plug); false with `error` set when the kernel refuses.
    bool plug(std::string* error = nullptr);
    void unplug();

    // Sends one input report of 32 data bytes (no report ID).
    bool sendInput(const std::array<uint8_t, 32>& data);

    std::array<Record, 4> records() const; // block order: PS3, PS4, SWITCH, XBOX
    void setRecords(const std::array<Record, 4>& records);
    // Every output report received, report ID first, and how it came ("output" or "set_report").
    struct Received {
        std::vector<uint8_t> bytes;
        std::string way;
    };
    std::vector<Received> received() const;

private:
    void loop();
    void onOutput(const uint8_t* data, std::size_t size, const char* way);

    int fd_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::array<Record, 4> records_{};
    std::vector<Received> received_;
};

} // namespace velorin::hw
