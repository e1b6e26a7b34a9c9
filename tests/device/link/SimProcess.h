// Runs velorin-sim for the link tests with plain fork and exec (thread checkers follow those, unlike
// the shared-memory child start that QProcess uses), in a private bus directory, and reads the
// output reports it logs.
#pragma once

#include "device/hid/HidPlatform.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace velorin::test {

class SimProcess {
public:
    struct OutputReport {
        std::string iface;
        bool accepted = false;
        std::vector<uint8_t> bytes;
    };
    using Record = std::array<uint8_t, 27>;

    explicit SimProcess(std::string program);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts the sim with `args` plus its own --bus and waits for its "ready" line.
    bool start(const std::vector<std::string>& args = {}, int timeoutMs = 10000);

    const std::string& busDir() const { return busDir_; }
    std::string path(const std::string& iface = "adapter") const { return busDir_ + "/" + iface; }
    std::unique_ptr<hid::HidPlatform> makePlatform() const { return hid::makeSimPlatform(busDir_); }

    // Sends one control line and waits for its answer: true for "ok"/"pong", false for "err".
    bool command(const std::string& line, std::vector<std::string>* lines = nullptr, int timeoutMs = 5000);

    std::vector<OutputReport> outputReports();
    void clearOutputReports();
    bool waitForOutputReports(std::size_t count, int timeoutMs = 5000);
    std::optional<std::array<Record, 4>> dump();

private:
    // Reads what is there; with `timeoutMs` > 0 waits once for more. False when nothing came.
    bool readSome(int timeoutMs);
    void takeLine(const std::string& line);
    void stop();

    std::string program_;
    std::string busDir_;
    std::string tempDir_;
    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    std::string partial_;
    std::vector<std::string> answers_;
    std::vector<OutputReport> outputs_;
};

} // namespace velorin::test
