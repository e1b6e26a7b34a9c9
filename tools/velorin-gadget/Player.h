// velorin-gadget's firmware player: the simulator's firmware (core/sim/) behind
// a real USB gadget. It reads output reports from /dev/hidgN, lets the firmware decide, writes its
// replies and the pad states back, and takes the control lines (core/sim/Control.h: the
// velorin-sim ones that make sense for a gadget, plus its own) on standard input and a Unix
// socket. See docs/velorin-gadget.md.
#pragma once

#include "CommandLine.h"
#include "Configfs.h"
#include "Files.h"

#include "core/sim/Control.h"
#include "core/sim/Firmware.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace velorin::gadget {

using Clock = std::chrono::steady_clock;

struct Options : sim::FirmwareOptions {
    std::string name = "velorin"; // the configfs gadget's directory name
    std::string udc;              // empty: the first USB device controller
    std::string control;          // a Unix socket for control lines; empty for none
    bool plug = true;             // plug at start
    Layout layout;
    // Run under SCHED_FIFO, so that the player reads each output report before the host can send
    // the next: without an OUT endpoint, f_hid keeps only the last SET_REPORT's data.
    bool realtime = false;
};

class Player final : public sim::Controlled, public sim::GadgetOps {
public:
    explicit Player(Options options);
    ~Player(); // closes the adapter's node, then unplugs
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    bool start(std::string* error);
    // Runs until "quit", a termination signal, or the end of standard input when there is no
    // control socket. Returns the exit status.
    int run();

    // One control line; the lines said before the final one go to `said`. Returns the final line
    // ("ok ...", "pong ...", "err ...") or nothing for an empty line or a comment.
    std::string handleLine(const std::string& line, std::vector<std::string>& said);

    const ConfigfsGadget& gadgetDevice() const { return gadget_; }

    // What the control commands do (core/sim/Control.h).
    sim::Firmware& firmware() override { return firmware_; }
    // The one adapter is called "adapter".
    sim::RecordStore* recordsOf(const std::string& name) override;
    std::string adapterName() const override { return "adapter"; }
    void sendPadState(std::vector<uint8_t> report) override { queueInput(std::move(report)); }
    void startPadStream(std::optional<double> rate) override;
    void stopPadStream() override { streaming_ = false; }
    // After each output report read nothing for this long, so the kernel's queue fills.
    void setStall(int ms) override { stallMs_ = ms; }
    uint64_t padsSent() const override { return padsSent_; }
    void quit() override { quit_ = true; }
    sim::GadgetOps* gadget() override { return this; }

    // The interfaces plugged get an interrupt OUT endpoint as --no-out-endpoint says.
    bool plug(const std::vector<Kind>& kinds, std::string* error) override;
    bool plugged() const override { return gadget_.plugged(); }
    void unplug() override;
    const std::vector<std::string>& received() const override { return received_; }
    void clearReceived() override { received_.clear(); }
    uint64_t reportsSent() const override { return reportsSent_; }
    void reset() override;

private:
    struct Client {
        int fd = -1;
        std::string buffer;
        bool discarding = false;
    };
    struct Delayed {
        Clock::time_point due;
        std::vector<uint8_t> report;
    };

    bool plug(const Layout& layout, std::string* error);
    void queueInput(std::vector<uint8_t> report);
    void readHidg();
    void onOutputReport(std::span<const uint8_t> data);
    void writeHidg();
    void tick(Clock::time_point now);
    int nextTimeoutMs(Clock::time_point now) const;
    void acceptClient();
    // Reads from a client; false when it closed.
    bool readClient(Client& client, bool isStdin);
    void answer(int fd, const std::vector<std::string>& said, const std::string& final);
    void closeHidg();

    Options opt_;
    ConfigfsGadget gadget_;
    sim::Firmware firmware_;
    sim::Flash flash_; // keeps records_ when --flash names a file; outlives it
    std::unique_ptr<sim::RecordStore> records_;
    std::vector<sim::Record> initialRecords_;
    int hidg_ = -1;
    int listenFd_ = -1;
    int signalFd_ = -1;
    Client stdin_;
    bool stdinOpen_ = true;
    std::vector<Client> clients_;
    std::deque<std::vector<uint8_t>> inputQueue_;
    std::vector<Delayed> delayed_;
    std::vector<std::string> received_;
    Clock::time_point stalledUntil_{};
    int stallMs_ = 0;
    std::vector<std::vector<uint8_t>> script_;
    std::size_t patternStep_ = 0;
    bool streaming_ = false;
    Clock::time_point nextPad_{};
    uint64_t padsSent_ = 0;
    uint64_t reportsSent_ = 0;
    bool quit_ = false;
};

} // namespace velorin::gadget
