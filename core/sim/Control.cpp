#include "core/sim/Control.h"

#include "core/sim/Hex.h"
#include "core/sim/PadStates.h"

#include <algorithm>
#include <sstream>

namespace velorin::sim {
namespace {

constexpr int kMaxMs = 60000;
constexpr int kMaxLead = 64;      // pad states before one reply
constexpr int kMaxBurst = 10000;  // pad states of one burst
constexpr std::size_t kEcho = 40; // names and other words are cut to this when an answer repeats them

// Which program offers a command.
enum class Only { None, Simulator, Gadget };

struct Command;

// One command being run: its target, its row, the words after its name, and the lines it says
// before its final answer.
struct Call {
    Controlled& target;
    const Command& command;
    const std::vector<std::string>& args;
    std::vector<std::string>& said;

    std::string usage() const;
    std::string ok() const;
    SimulatorOps& simulator() const { return *target.simulator(); }
    GadgetOps& gadget() const { return *target.gadget(); }
};

struct Command {
    const char* name;
    // Answered as "err usage: USAGE" when the number of arguments is out of bounds.
    const char* usage;
    std::size_t minArgs;
    std::size_t maxArgs;
    Only only;
    // Does the work and returns the final answer; lines that come before it go to call.said.
    std::string (*handler)(const Call& call);
};

std::string Call::usage() const {
    return std::string("err usage: ") + command.usage;
}

std::string Call::ok() const {
    return std::string("ok ") + command.name;
}

std::string echo(const std::string& word) {
    return word.substr(0, kEcho);
}

// A whole number 0..max written as at most six digits.
std::optional<int> parseNumber(const std::string& w, int max) {
    if (w.empty() || w.size() > 6 ||
        !std::all_of(w.begin(), w.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int v = std::stoi(w);
    return v <= max ? std::optional(v) : std::nullopt;
}

std::optional<bool> parseOnOff(const std::string& w) {
    if (w == "on" || w == "off")
        return w == "on";
    return std::nullopt;
}

// The words from `from` on, joined without spaces (hex may be written in groups).
std::string joined(const std::vector<std::string>& args, std::size_t from = 0) {
    std::string s;
    for (std::size_t i = from; i < args.size(); ++i)
        s += args[i];
    return s;
}

// --- Both programs -----------------------------------------------------------------------------

std::string cmdQuit(const Call& c) {
    c.target.quit();
    return c.ok();
}

std::string cmdPing(const Call& c) {
    // Appended piece by piece: GCC 12 at -O3 misjudges a literal joined to a temporary (-Wrestrict).
    std::string answer = "pong";
    if (!c.args.empty()) {
        answer += ' ';
        answer += echo(c.args[0]);
    }
    return answer;
}

std::string cmdPad(const Call& c) {
    const auto bytes = parseHex(joined(c.args), kPadStateBytes);
    if (!bytes)
        return c.usage();
    c.target.sendPadState(padState(*bytes));
    return c.ok();
}

std::string setFault(const Call& c, bool Faults::*fault) {
    const auto console = consoleFromControlWord(c.args[0]);
    const auto on = parseOnOff(c.args[1]);
    if (!console || !on)
        return c.usage();
    c.target.firmware().faults[*console].*fault = *on;
    return c.ok();
}

std::string cmdRefuse(const Call& c) {
    return setFault(c, &Faults::refuse);
}

std::string cmdDrop(const Call& c) {
    return setFault(c, &Faults::drop);
}

std::string cmdDelay(const Call& c) {
    const auto console = consoleFromControlWord(c.args[0]);
    const auto ms = parseNumber(c.args[1], kMaxMs);
    if (!console || !ms)
        return c.usage();
    c.target.firmware().faults[*console].delayMs = *ms;
    return c.ok();
}

std::string cmdStall(const Call& c) {
    const auto ms = parseNumber(c.args[0], kMaxMs);
    if (!ms)
        return c.usage();
    c.target.setStall(*ms);
    return c.ok();
}

std::string cmdDemo(const Call& c) {
    if (c.args.size() == 1 && c.args[0] == "off") {
        c.target.stopPadStream();
        return c.ok();
    }
    std::optional<double> rate;
    if (c.args.size() == 1 && !(rate = parseRate(c.args[0])))
        return c.usage();
    c.target.startPadStream(rate);
    return c.ok();
}

std::string cmdDump(const Call& c) {
    const std::string name = c.args.empty() ? c.target.adapterName() : c.args[0];
    const RecordStore* records = c.target.recordsOf(name);
    if (!records)
        return "err no adapter " + echo(name);
    for (std::size_t s = 0; s < records->records().size(); ++s)
        c.said.push_back("record " + name + " " + std::to_string(s) + " " + toHex(records->records()[s]));
    return c.ok();
}

std::string cmdStats(const Call& c) {
    std::string line = "stats pads " + std::to_string(c.target.padsSent());
    if (const GadgetOps* gadget = c.target.gadget())
        line += " sent " + std::to_string(gadget->reportsSent());
    c.said.push_back(line);
    return c.ok();
}

// --- velorin-sim -------------------------------------------------------------------------------

std::string cmdPlugNamed(const Call& c) {
    if (c.args.size() == 3 && c.args[2] != "noaccess")
        return c.usage();
    const auto kind = kindFromName(c.args[0]);
    if (!kind)
        return "err unknown kind " + echo(c.args[0]);
    std::string error;
    if (!c.simulator().plug(*kind, c.args[1], c.args.size() == 3, &error))
        return "err " + error;
    return c.ok() + " " + c.args[1];
}

std::string cmdUnplugNamed(const Call& c) {
    if (!c.simulator().unplug(c.args[0]))
        return "err no interface " + echo(c.args[0]);
    return c.ok() + " " + c.args[0];
}

std::string cmdInput(const Call& c) {
    const auto bytes = parseHex(joined(c.args, 1), kMaxLine / 2);
    if (!bytes || bytes->empty() || !c.simulator().sendInput(c.args[0], *bytes))
        return c.usage();
    return c.ok();
}

std::string cmdHold(const Call& c) {
    const auto console = consoleFromControlWord(c.args[0]);
    const auto on = parseOnOff(c.args[1]);
    if (!console || !on)
        return c.usage();
    c.simulator().setHold(*console, *on);
    return c.ok();
}

std::string cmdLead(const Call& c) {
    const auto console = consoleFromControlWord(c.args[0]);
    const auto count = parseNumber(c.args[1], kMaxLead);
    if (!console || !count)
        return c.usage();
    c.simulator().setLead(*console, *count);
    return c.ok();
}

std::string cmdList(const Call& c) {
    for (const auto& [name, connections] : c.simulator().interfaces())
        c.said.push_back("interface " + name + " " + std::to_string(connections));
    return c.ok();
}

// --- velorin-gadget ----------------------------------------------------------------------------

std::string cmdPlugKinds(const Call& c) {
    std::vector<Kind> kinds;
    for (const std::string& w : c.args) {
        const auto kind = kindFromName(w);
        if (!kind)
            return "err unknown kind " + echo(w);
        kinds.push_back(*kind);
    }
    if (kinds.empty())
        kinds.push_back(Kind::Adapter);
    std::string error;
    if (!c.gadget().plug(kinds, &error))
        return "err " + error;
    std::string answer = c.ok();
    for (const Kind k : kinds)
        answer += std::string(" ") + kindName(k);
    return answer;
}

std::string cmdUnplugDevice(const Call& c) {
    if (!c.gadget().plugged())
        return "err not plugged";
    c.gadget().unplug();
    return c.ok();
}

std::string cmdBurst(const Call& c) {
    const auto n = parseNumber(c.args[0], kMaxBurst);
    if (!n || *n < 1)
        return c.usage();
    // State k (from 0): left stick X = 1 + k mod 254, Y = 1 + (k / 254) mod 254. Each state
    // differs from the one before, and no stick reaches an edge, so no window takes a press.
    for (int k = 0; k < *n; ++k) {
        const uint8_t sticks[2] = {static_cast<uint8_t>(1 + k % 254),
                                   static_cast<uint8_t>(1 + k / 254 % 254)};
        c.target.sendPadState(padState(sticks));
    }
    return c.ok() + " " + std::to_string(*n);
}

std::string cmdStore(const Call& c) {
    Record r{};
    const auto bytes = parseHex(joined(c.args), r.size());
    RecordStore* records = c.target.recordsOf(c.target.adapterName());
    if (!bytes || bytes->size() != r.size() || !records)
        return c.usage();
    std::copy(bytes->begin(), bytes->end(), r.begin());
    switch (records->store(r)) {
    case RecordStore::Stored::Yes:
        break;
    case RecordStore::Stored::UnknownConsole:
        return "err no console with id " + std::to_string(r[0]);
    case RecordStore::Stored::FlashFailed:
        return "err the flash file could not keep the record";
    }
    return c.ok();
}

std::string cmdReceived(const Call& c) {
    const auto& received = c.gadget().received();
    c.said.insert(c.said.end(), received.begin(), received.end());
    return c.ok();
}

std::string cmdClear(const Call& c) {
    c.gadget().clearReceived();
    return c.ok();
}

std::string cmdReset(const Call& c) {
    c.gadget().reset();
    return c.ok();
}

// Where a command exists in both programs in different forms, each has its row; the first row
// the program offers is taken. Words beyond a command's use are ignored where the maximum is
// kMaxArgs.
constexpr Command kCommands[] = {
    {"quit", "quit", 0, kMaxArgs, Only::None, cmdQuit},
    {"ping", "ping [TOKEN]", 0, kMaxArgs, Only::None, cmdPing},
    {"plug", "plug KIND NAME [noaccess]", 2, 3, Only::Simulator, cmdPlugNamed},
    {"plug", "plug [KIND...] (adapter input64 feature page twolinks keyboard mouse; default adapter)", 0, 4,
     Only::Gadget, cmdPlugKinds},
    {"unplug", "unplug NAME", 1, 1, Only::Simulator, cmdUnplugNamed},
    {"unplug", "unplug", 0, 0, Only::Gadget, cmdUnplugDevice},
    {"pad", "pad HEX (up to 30 bytes after the A1 C4 marker)", 0, kMaxArgs, Only::None, cmdPad},
    {"burst", "burst N (1..10000 pad states back to back)", 1, 1, Only::Gadget, cmdBurst},
    {"input", "input NAME HEX", 1, kMaxArgs, Only::Simulator, cmdInput},
    {"refuse", "refuse CONSOLE on|off", 2, 2, Only::None, cmdRefuse},
    {"drop", "drop CONSOLE on|off", 2, 2, Only::None, cmdDrop},
    {"delay", "delay CONSOLE MS (0..60000)", 2, 2, Only::None, cmdDelay},
    {"hold", "hold CONSOLE on|off", 2, 2, Only::Simulator, cmdHold},
    {"lead", "lead CONSOLE N (0..64)", 2, 2, Only::Simulator, cmdLead},
    {"stall", "stall MS (0..60000)", 1, 1, Only::None, cmdStall},
    {"demo", "demo [RATE|off] (0.1..1000 per second)", 0, 1, Only::None, cmdDemo},
    {"store", "store HEX (a 27-byte record; byte 0 names its slot)", 1, kMaxArgs, Only::Gadget, cmdStore},
    {"dump", "dump [NAME]", 0, kMaxArgs, Only::None, cmdDump},
    {"received", "received", 0, kMaxArgs, Only::Gadget, cmdReceived},
    {"clear", "clear", 0, kMaxArgs, Only::Gadget, cmdClear},
    {"stats", "stats", 0, kMaxArgs, Only::None, cmdStats},
    {"list", "list", 0, kMaxArgs, Only::Simulator, cmdList},
    {"reset", "reset", 0, kMaxArgs, Only::Gadget, cmdReset},
};

bool offers(Controlled& target, const Command& command) {
    switch (command.only) {
    case Only::None:
        return true;
    case Only::Simulator:
        return target.simulator() != nullptr;
    case Only::Gadget:
        return target.gadget() != nullptr;
    }
    return false;
}

} // namespace

std::string outputReportLine(const std::string& name, const Response& response,
                             std::span<const uint8_t> report) {
    const char* outcome = "";
    switch (response.outcome) {
    case Outcome::Taken:
        outcome = "ok";
        break;
    case Outcome::Refused:
        outcome = "refused";
        break;
    case Outcome::Ignored:
        outcome = "ignored";
        break;
    }
    return "out " + name + (response.way == Way::Interrupt ? " interrupt " : " set_report ") + outcome + " " +
           toHex(report);
}

std::string runControlLine(Controlled& target, const std::string& rawLine, std::vector<std::string>& said) {
    std::string line = rawLine;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    std::istringstream in(line);
    std::string name;
    in >> name;
    if (name.empty() || name[0] == '#')
        return {};
    std::vector<std::string> args;
    for (std::string w; in >> w && args.size() < kMaxArgs;)
        args.push_back(w);
    const auto it = std::find_if(std::begin(kCommands), std::end(kCommands),
                                 [&](const Command& c) { return name == c.name && offers(target, c); });
    if (it == std::end(kCommands))
        return "err unknown command " + echo(name);
    const Call call{target, *it, args, said};
    if (args.size() < it->minArgs || args.size() > it->maxArgs)
        return call.usage();
    return it->handler(call);
}

} // namespace velorin::sim
