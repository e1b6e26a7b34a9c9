// The simulated adapter's bus server: a single-threaded event loop over the bus sockets, standard
// input (the control lines, core/sim/Control.h) and a few timers, delivering output reports to the
// firmware model (core/sim/Firmware.h). See docs/velorin-sim.md for the protocol.
#pragma once

#include "CommandLine.h"
#include "Files.h"

#include "core/sim/Control.h"
#include "core/sim/Firmware.h"
#include "core/sim/Interfaces.h"
#include "device/hid/SimBus.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace velorin::sim {

using Clock = std::chrono::steady_clock;

struct Options : FirmwareOptions {
    std::string busDir;
    std::string adapterName = "adapter";
    bool plugAdapter = true;
    std::vector<std::pair<Kind, std::string>> extra; // --plug KIND:NAME
    // The adapter's interface has an interrupt OUT endpoint, so the kernel sends plain writes
    // there instead of as SET_REPORT requests.
    bool outEndpoint = false;
};

class Simulator final : public Controlled, public SimulatorOps {
public:
    explicit Simulator(Options options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    bool start(std::string* error);
    // Runs until "quit", the end of standard input or a termination signal.
    int run();
    // One control line; returns false when it asks to quit. Public for tests and fuzzing.
    bool handleLine(const std::string& line);
    // One packet a host sent on a connection of interface `name`: the acknowledgement it earns
    // (taken or refused), nothing for a packet that is not an output report or an unknown name.
    // Public for fuzzing.
    std::optional<bool> handlePacket(const std::string& name, std::span<const uint8_t> packet);

    // What the control commands do (core/sim/Control.h).
    Firmware& firmware() override { return firmware_; }
    RecordStore* recordsOf(const std::string& name) override;
    std::string adapterName() const override { return opt_.adapterName; }
    void sendPadState(std::vector<uint8_t> report) override { sendPadToAdapters(report); }
    // Starts the pad-state stream (the script, else the demo), at `rate` or the rate it had.
    void startPadStream(std::optional<double> rate) override;
    void stopPadStream() override { streaming_ = false; }
    // Acknowledgements of adapter writes are held back this long.
    void setStall(int ms) override { firmware_.stallMs = ms; }
    uint64_t padsSent() const override { return padsSent_; }
    void quit() override { quit_ = true; }
    SimulatorOps* simulator() override { return this; }

    bool plug(Kind kind, const std::string& name, bool noAccess, std::string* error) override;
    bool unplug(const std::string& name) override;
    // One input report to every connection of interface `name`; false when there is none.
    bool sendInput(const std::string& name, std::span<const uint8_t> report) override;
    // Replies to read requests for `console` (1..4) are held back while `on`, each until the next
    // reply for another console of the same adapter goes out, and then sent just before it: a
    // late reply that lands inside the wait for another console, without racing a clock.
    void setHold(uint8_t console, bool on) override {
        if (console < hold_.size())
            hold_[console] = on;
    }
    // Replies to read requests for `console` (1..4) go out after `count` neutral pad states: pad
    // reports between a request and its reply, whatever the scheduling.
    void setLead(uint8_t console, int count) override {
        if (console < lead_.size())
            lead_[console] = count;
    }
    std::vector<std::pair<std::string, std::size_t>> interfaces() const override;

    // One line on standard output.
    void say(const std::string& line);

private:
    struct Connection {
        int fd = -1;
        uint64_t id = 0;
    };
    struct Interface {
        std::string name;
        Kind kind = Kind::Adapter;
        hid::sim::Identity identity;
        int listenFd = -1;
        std::vector<Connection> connections;
        std::shared_ptr<RecordStore> records;   // adapters only
        std::vector<std::vector<uint8_t>> held; // replies held back by "hold", oldest first
    };
    struct Pending {
        Clock::time_point due;
        std::string iface;
        std::vector<uint8_t> report;
        // An acknowledgement held back by "stall": the connection it is for, and whether taken.
        uint64_t ackConnection = 0;
        bool ackTaken = false;
    };

    Interface* find(const std::string& name) const;
    bool listenOn(Interface& in, bool noAccess, std::string* error);
    void acceptOn(Interface& in);
    void readFrom(Interface& in, std::size_t connIndex);
    // The acknowledgement an output report earns: taken or refused, and how long it is held back.
    struct Ack {
        bool taken = false;
        std::chrono::milliseconds delay{0};
    };
    std::optional<Ack> handlePacket(Interface& in, std::span<const uint8_t> packet);
    Ack onOutputReport(Interface& in, std::span<const uint8_t> report);
    void sendInput(Interface& in, std::span<const uint8_t> report);
    void sendPadToAdapters(std::span<const uint8_t> report);
    void tick(Clock::time_point now);
    void readStdin();
    int nextTimeoutMs(Clock::time_point now) const;
    std::vector<uint8_t> nextPatternReport();

    Options opt_;
    Firmware firmware_;
    std::array<bool, 5> hold_{}; // by console id 1..4
    std::array<int, 5> lead_{};  // by console id 1..4
    std::vector<std::unique_ptr<Interface>> interfaces_;
    std::shared_ptr<RecordStore> mainRecords_;
    Flash flash_;           // keeps mainRecords_ when --flash names a file
    uint64_t padsSent_ = 0; // pad states sent to the adapters (demo, script, "pad")
    uint64_t nextConnectionId_ = 1;
    std::vector<Pending> pending_;
    std::vector<std::vector<uint8_t>> script_;
    std::size_t patternStep_ = 0;
    bool streaming_ = false;
    Clock::time_point nextPad_{};
    std::string stdinBuf_;
    bool discarding_ = false;
    bool quit_ = false;
    int signalFd_ = -1;
};

} // namespace velorin::sim
