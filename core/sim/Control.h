// The control lines velorin-sim and velorin-gadget read (docs/velorin-sim.md,
// docs/velorin-gadget.md): one table of commands in Control.cpp, each answering exactly one final
// line. The firmware's faults, the pad states and the records are the same in both programs;
// what only one of them has (velorin-sim's bus of named interfaces, velorin-gadget's USB device)
// it offers through SimulatorOps or GadgetOps, and the commands that need it exist only there.
#pragma once

#include "core/sim/Firmware.h"
#include "core/sim/Interfaces.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace velorin::sim {

// The longest control line; a longer one is answered kLineTooLong unread.
inline constexpr std::size_t kMaxLine = 4096;
inline constexpr const char* kLineTooLong = "err line too long";
// Words after the command name beyond this many are dropped.
inline constexpr std::size_t kMaxArgs = 64;

// velorin-sim's bus: interfaces plugged by name, and the order of replies and pad states.
class SimulatorOps {
public:
    virtual bool plug(Kind kind, const std::string& name, bool noAccess, std::string* error) = 0;
    // False when no interface has that name.
    virtual bool unplug(const std::string& name) = 0;
    // Any input report to one interface; false when there is none by that name.
    virtual bool sendInput(const std::string& name, std::span<const uint8_t> report) = 0;
    // Replies to read requests for `console` (1..4) held back, or led by `count` pad states.
    virtual void setHold(uint8_t console, bool on) = 0;
    virtual void setLead(uint8_t console, int count) = 0;
    // Name and number of open connections of every interface, in the order they were plugged.
    virtual std::vector<std::pair<std::string, std::size_t>> interfaces() const = 0;

protected:
    ~SimulatorOps() = default;
};

// velorin-gadget's USB device: one device with up to four interfaces, and what the host sent it.
class GadgetOps {
public:
    virtual bool plug(const std::vector<Kind>& kinds, std::string* error) = 0;
    virtual bool plugged() const = 0;
    virtual void unplug() = 0;
    // The "out ..." line of every output report since the last clear.
    virtual const std::vector<std::string>& received() const = 0;
    virtual void clearReceived() = 0;
    // Input reports the host took.
    virtual uint64_t reportsSent() const = 0;
    // Faults off, no stall or stream, the records of the start, nothing received.
    virtual void reset() = 0;

protected:
    ~GadgetOps() = default;
};

// What a program that plays the firmware lets the control lines do.
class Controlled {
public:
    virtual Firmware& firmware() = 0;
    // The records of the adapter interface `name`; null when no adapter has that name.
    virtual RecordStore* recordsOf(const std::string& name) = 0;
    // The adapter "dump" shows when it names none.
    virtual std::string adapterName() const = 0;
    // One input report to every adapter interface: a pad state.
    virtual void sendPadState(std::vector<uint8_t> report) = 0;
    // The pad-state stream (the script, else the demo), at `rate` or the rate it had.
    virtual void startPadStream(std::optional<double> rate) = 0;
    virtual void stopPadStream() = 0;
    // Output reports stall the adapter for this long (how, each program says).
    virtual void setStall(int ms) = 0;
    // Pad states sent so far (demo, script, pad, burst).
    virtual uint64_t padsSent() const = 0;
    virtual void quit() = 0;
    // The program's own operations; null in the other program.
    virtual SimulatorOps* simulator() { return nullptr; }
    virtual GadgetOps* gadget() { return nullptr; }

protected:
    ~Controlled() = default;
};

// What both programs print for every output report an interface receives, before it is
// acknowledged: "out NAME WAY ok|refused|ignored HEX", WAY set_report or interrupt, HEX the report
// as the host wrote it (report ID first).
std::string outputReportLine(const std::string& name, const Response& response,
                             std::span<const uint8_t> report);

// Runs one control line against `target`. Returns the final answer ("ok ...", "pong ..." or
// "err ..."), with the lines to say before it appended to `said`; nothing for an empty line or a
// `#` comment. A trailing CR is dropped.
std::string runControlLine(Controlled& target, const std::string& line, std::vector<std::string>& said);

} // namespace velorin::sim
