// The simulated adapter: a single-threaded event loop over the bus sockets, standard input (the
// control lines) and a few timers. See docs/velorin-sim.md for the control protocol.
#pragma once

#include "device/hid/SimBus.h"
#include "model/WorkMode.h"

#include <array>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velorin::sim {

using Clock = std::chrono::steady_clock;
using Record = std::array<uint8_t, 27>;
inline constexpr std::size_t kMaxLine = 4096;

enum class Kind { Adapter, Keyboard, Mouse, Feature, Input64, OtherPage, TwoLinks };

std::optional<Kind> kindFromName(const std::string& name);
hid::sim::Identity identityFor(Kind kind);

// Slot of a console's record in the block (PS3, PS4, SWITCH, XBOX); nullopt for other ids.
std::optional<std::size_t> slotOfConsole(uint8_t consoleId);

// The firmware's four records, optionally kept in a flash file.
class Firmware {
public:
    Firmware();
    // Loads the flash file, seeding it from `seed` (or defaults) when it does not exist yet.
    bool attachFlash(const std::string& flash, const std::string& seed, std::string* error);
    bool loadSeed(const std::string& seed, std::string* error);
    const std::array<Record, 4>& records() const { return records_; }
    bool store(const Record& r); // into the slot named by r[0]; false for an unknown console
    std::optional<Record> record(uint8_t consoleId) const;

private:
    bool save(std::string* error) const;
    void setRecords(const WorkModeBlock& block);
    std::array<Record, 4> records_{};
    std::string flash_;
};

struct Faults {
    bool refuse = false;
    bool drop = false;
    int delayMs = 0;
};

// How an output report reached the firmware.
enum class Way { SetReport, Interrupt };

struct Options {
    std::string busDir;
    std::string flash;
    std::string seed;
    std::string script;
    std::string adapterName = "adapter";
    bool plugAdapter = true;
    double rate = 10.0; // pad states per second for --demo and --script
    bool demo = false;
    std::vector<std::pair<Kind, std::string>> extra; // --plug KIND:NAME
    // The adapter's interface has an interrupt OUT endpoint, so the kernel sends plain writes
    // there instead of as SET_REPORT requests.
    bool outEndpoint = false;
    // The firmware drops every report that arrives on the interrupt OUT endpoint (it still takes
    // the transfer, so the writer sees success).
    bool ignoreInterruptOut = false;
};

class Simulator {
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
        std::shared_ptr<Firmware> firmware; // adapters only
    };
    struct Pending {
        Clock::time_point due;
        std::string iface;
        std::vector<uint8_t> report;
        // An acknowledgement held back by "stall": the connection it is for, and whether taken.
        uint64_t ackConnection = 0;
        bool ackTaken = false;
    };

    bool plug(Kind kind, const std::string& name, bool noAccess, std::string* error);
    bool unplug(const std::string& name);
    Interface* find(const std::string& name);
    void acceptOn(Interface& in);
    void readFrom(Interface& in, std::size_t connIndex);
    std::optional<bool> handlePacket(Interface& in, std::span<const uint8_t> packet);
    bool onOutputReport(Interface& in, std::span<const uint8_t> report);
    void sendInput(Interface& in, std::span<const uint8_t> report);
    void sendPadToAdapters(std::span<const uint8_t> report);
    void tick(Clock::time_point now);
    void readStdin();
    void say(const std::string& line);
    int nextTimeoutMs(Clock::time_point now) const;
    std::vector<uint8_t> nextPatternReport();

    Options opt_;
    std::vector<std::unique_ptr<Interface>> interfaces_;
    std::shared_ptr<Firmware> mainFirmware_;
    std::array<Faults, 5> faults_{}; // by console id 1..4
    int stallMs_ = 0;                // acknowledgements of adapter writes held back this long
    uint64_t padsSent_ = 0;          // pad states sent to the adapters (demo, script, "pad")
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

// Parses hex digits, ignoring spaces; nullopt for odd counts, other characters or more than `max` bytes.
std::optional<std::vector<uint8_t>> parseHex(const std::string& text, std::size_t max);
std::string toHex(std::span<const uint8_t> bytes);

} // namespace velorin::sim
