#include "Commands.h"

#include "Simulator.h"

#include "core/sim/Hex.h"
#include "core/sim/PadStates.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <sstream>

namespace velorin::sim {
namespace {

constexpr int kMaxMs = 60000;
constexpr int kMaxLead = 64; // pad states before one reply
// Names and other words are cut to this many characters when an error repeats them.
constexpr std::size_t kEcho = 40;

// Milliseconds 0..60000 written as at most six digits.
std::optional<int> parseMs(const std::string& w) {
    if (w.size() > 6 || !std::all_of(w.begin(), w.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int ms = std::stoi(w);
    return ms <= kMaxMs ? std::optional(ms) : std::nullopt;
}

// The words from `from` on, joined without spaces (hex may be written in groups).
std::string joined(const std::vector<std::string>& args, std::size_t from) {
    std::string s;
    for (std::size_t i = from; i < args.size(); ++i)
        s += args[i];
    return s;
}

std::string ok(const Call& c) {
    return std::string("ok ") + c.command.name;
}

std::string cmdQuit(const Call& c) {
    c.sim.quit();
    return ok(c);
}

std::string cmdPing(const Call& c) {
    return "pong" + (c.args.empty() ? std::string() : " " + c.args[0]);
}

std::string cmdPlug(const Call& c) {
    if (c.args.size() == 3 && c.args[2] != "noaccess")
        return c.usage();
    const auto kind = kindFromName(c.args[0]);
    if (!kind)
        return "err unknown kind " + c.args[0].substr(0, kEcho);
    std::string error;
    if (!c.sim.plug(*kind, c.args[1], c.args.size() == 3, &error))
        return "err " + error;
    return ok(c) + " " + c.args[1];
}

std::string cmdUnplug(const Call& c) {
    if (!c.sim.unplug(c.args[0]))
        return "err no interface " + c.args[0].substr(0, kEcho);
    return ok(c) + " " + c.args[0];
}

std::string cmdPad(const Call& c) {
    const auto bytes = parseHex(joined(c.args, 0), kPadStateBytes);
    if (!bytes)
        return c.usage();
    c.sim.sendPadToAdapters(padState(*bytes));
    return ok(c);
}

std::string cmdInput(const Call& c) {
    const auto bytes = parseHex(joined(c.args, 1), hid::sim::kMaxReportSize);
    if (!bytes || bytes->empty() || !c.sim.sendInput(c.args[0], *bytes))
        return c.usage();
    return ok(c);
}

std::string setFault(const Call& c, bool Faults::*fault) {
    const auto console = consoleFromControlWord(c.args[0]);
    if (!console || (c.args[1] != "on" && c.args[1] != "off"))
        return c.usage();
    c.sim.firmware().faults[*console].*fault = c.args[1] == "on";
    return ok(c);
}

std::string cmdRefuse(const Call& c) {
    return setFault(c, &Faults::refuse);
}

std::string cmdDrop(const Call& c) {
    return setFault(c, &Faults::drop);
}

std::string cmdDelay(const Call& c) {
    const auto console = consoleFromControlWord(c.args[0]);
    const auto ms = parseMs(c.args[1]);
    if (!console || !ms)
        return c.usage();
    c.sim.firmware().faults[*console].delayMs = *ms;
    return ok(c);
}

std::string cmdHold(const Call& c) {
    const auto console = consoleFromControlWord(c.args[0]);
    if (!console || (c.args[1] != "on" && c.args[1] != "off"))
        return c.usage();
    c.sim.setHold(*console, c.args[1] == "on");
    return ok(c);
}

std::string cmdLead(const Call& c) {
    const auto console = consoleFromControlWord(c.args[0]);
    int count = -1;
    const auto [end, ec] = std::from_chars(c.args[1].data(), c.args[1].data() + c.args[1].size(), count);
    if (!console || ec != std::errc() || end != c.args[1].data() + c.args[1].size() || count < 0 ||
        count > kMaxLead)
        return c.usage();
    c.sim.setLead(*console, count);
    return ok(c);
}

std::string cmdStall(const Call& c) {
    const auto ms = parseMs(c.args[0]);
    if (!ms)
        return c.usage();
    c.sim.setStall(*ms);
    return ok(c);
}

std::string cmdDemo(const Call& c) {
    if (c.args.size() == 1 && c.args[0] == "off") {
        c.sim.stopPadStream();
        return ok(c);
    }
    std::optional<double> rate;
    if (c.args.size() == 1 && !(rate = parseRate(c.args[0])))
        return c.usage();
    c.sim.startPadStream(rate);
    return ok(c);
}

std::string cmdDump(const Call& c) {
    const std::string& name = c.args.empty() ? c.sim.adapterName() : c.args[0];
    const RecordStore* records = c.sim.recordsOf(name);
    if (!records)
        return "err no adapter " + (c.args.empty() ? name : name.substr(0, kEcho));
    for (std::size_t s = 0; s < records->records().size(); ++s)
        c.sim.say("record " + name + " " + std::to_string(s) + " " + toHex(records->records()[s]));
    return ok(c);
}

std::string cmdStats(const Call& c) {
    c.sim.say("stats pads " + std::to_string(c.sim.padsSent()));
    return ok(c);
}

std::string cmdList(const Call& c) {
    for (const auto& [name, connections] : c.sim.interfaces())
        c.sim.say("interface " + name + " " + std::to_string(connections));
    return ok(c);
}

// Words beyond a command's use are ignored where the maximum is kMaxArgs.
constexpr Command kCommands[] = {
    {"quit", "quit", 0, kMaxArgs, cmdQuit},
    {"ping", "ping [TOKEN]", 0, kMaxArgs, cmdPing},
    {"plug", "plug KIND NAME [noaccess]", 2, 3, cmdPlug},
    {"unplug", "unplug NAME", 1, 1, cmdUnplug},
    {"pad", "pad HEX (up to 30 bytes after the A1 C4 marker)", 0, kMaxArgs, cmdPad},
    {"input", "input NAME HEX", 1, kMaxArgs, cmdInput},
    {"refuse", "refuse CONSOLE on|off", 2, 2, cmdRefuse},
    {"drop", "drop CONSOLE on|off", 2, 2, cmdDrop},
    {"delay", "delay CONSOLE MS (0..60000)", 2, 2, cmdDelay},
    {"hold", "hold CONSOLE on|off", 2, 2, cmdHold},
    {"lead", "lead CONSOLE N (0..64)", 2, 2, cmdLead},
    {"stall", "stall MS (0..60000)", 1, 1, cmdStall},
    {"demo", "demo [RATE|off] (0.1..1000 per second)", 0, kMaxArgs, cmdDemo},
    {"dump", "dump [NAME]", 0, kMaxArgs, cmdDump},
    {"stats", "stats", 0, kMaxArgs, cmdStats},
    {"list", "list", 0, kMaxArgs, cmdList},
};

} // namespace

std::string Call::usage() const {
    return std::string("err usage: ") + command.usage;
}

std::span<const Command> commands() {
    return kCommands;
}

void runControlLine(Simulator& sim, const std::string& rawLine) {
    std::string line = rawLine;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    std::istringstream in(line);
    std::string name;
    in >> name;
    std::vector<std::string> args;
    for (std::string w; in >> w && args.size() < kMaxArgs;)
        args.push_back(w);
    if (name.empty() || name[0] == '#')
        return;
    const auto it = std::find_if(std::begin(kCommands), std::end(kCommands),
                                 [&](const Command& c) { return name == c.name; });
    if (it == std::end(kCommands)) {
        sim.say("err unknown command " + name.substr(0, kEcho));
        return;
    }
    const Call call{sim, *it, args};
    sim.say(args.size() < it->minArgs || args.size() > it->maxArgs ? call.usage() : it->handler(call));
}

} // namespace velorin::sim
