// velorin-gadget's firmware player: the simulator's firmware core (Firmware.h, PadStates.h) behind
// a real USB gadget. It reads output reports from /dev/hidgN, lets the firmware decide, writes its
// replies and the pad states back, and takes control lines (the velorin-sim ones that make sense
// for a gadget, plus plug, unplug, burst and received) on standard input and a Unix socket.
// See docs/velorin-gadget.md.
#pragma once

#include "Configfs.h"

#include "Firmware.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace velorin::gadget {

using Clock = std::chrono::steady_clock;

struct Options {
    std::string name = "velorin"; // the configfs gadget's directory name
    std::string udc;              // empty: the first USB device controller
    std::string control;          // a Unix socket for control lines; empty for none
    std::string flash;
    std::string seed;
    std::string script;
    double rate = 10.0;
    bool demo = false;
    bool plug = true; // plug at start
    Layout layout;
    bool ignoreInterruptOut = false;
    // Run under SCHED_FIFO, so that the player reads each output report before the host can send
    // the next: without an OUT endpoint, f_hid keeps only the last SET_REPORT's data.
    bool realtime = false;
};

class Player {
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

    // What the commands do.
    bool plug(const Layout& layout, std::string* error);
    void unplug();
    void queueInput(std::vector<uint8_t> report);
    void startPadStream(std::optional<double> rate);
    void stopPadStream() { streaming_ = false; }
    // Faults off, no stall or stream, the records of the start, nothing received; the plug stays.
    void reset();

    sim::Firmware& firmware() { return firmware_; }
    const sim::RecordStore& records() const { return *records_; }
    sim::RecordStore& records() { return *records_; }
    const ConfigfsGadget& gadget() const { return gadget_; }
    // Whether the interfaces this player plugs have an interrupt OUT endpoint (--no-out-endpoint).
    bool outEndpoint() const { return opt_.layout.outEndpoint; }
    const std::vector<std::string>& received() const { return received_; }
    void clearReceived() { received_.clear(); }
    void setStall(int ms) { stallMs_ = ms; }
    uint64_t padsSent() const { return padsSent_; }
    uint64_t reportsSent() const { return reportsSent_; }
    void quit() { quit_ = true; }

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
