// velorin-sim: a simulated adapter on a socket bus, for tests, demos and users without hardware.
#include "CommandLine.h"
#include "Simulator.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "usage: velorin-sim [options]\n"
    "  --bus DIR            bus directory (default: $VELORIN_SIM_BUS, $XDG_RUNTIME_DIR/velorin-sim)\n"
    "  --flash FILE         keep the four records in FILE (108 bytes)\n"
    "  --seed FILE.kvf      initial records when the flash file is new (or without --flash)\n"
    "  --demo [RATE]        press the pad buttons one after another, RATE states per second\n"
    "  --script FILE        play pad states from FILE (one hex line each: bytes after A1 C4)\n"
    "  --rate RATE          pad states per second for --script (default 10)\n"
    "  --adapter-name NAME  name of the adapter interface (default: adapter)\n"
    "  --no-adapter         start with no interface plugged\n"
    "  --plug KIND:NAME     plug another interface at start (adapter keyboard mouse feature\n"
    "                       input64 page twolinks); may be repeated\n"
    "  --out-endpoint       the adapter's interface has an interrupt OUT endpoint, so writes\n"
    "                       travel there instead of as SET_REPORT requests\n"
    "  --ignore-interrupt-out  the firmware drops reports that arrive on that endpoint\n"
    "  -h, --help           this text\n"
    "\n"
    "Control lines on standard input, one answer line each (ok ... or err ...):\n"
    "  plug KIND NAME [noaccess], unplug NAME, pad HEX, input NAME HEX,\n"
    "  refuse CONSOLE on|off, drop CONSOLE on|off, delay CONSOLE MS, hold CONSOLE on|off,\n"
    "  lead CONSOLE N, stall MS,\n"
    "  demo [RATE|off], dump [NAME], stats, list, ping [TOKEN], quit\n"
    "See velorin-sim(1) for what each does and what the simulator prints.\n";

} // namespace

int main(int argc, char** argv) {
    using namespace velorin::sim;
    Options opt;
    opt.busDir = velorin::hid::sim::defaultBusDir();
    CommandLine args("velorin-sim", kUsage, argc, argv);
    while (args.next(opt)) {
        const std::string& a = args.option();
        if (a == "--bus") {
            opt.busDir = args.value();
        } else if (a == "--plug") {
            const std::string spec = args.value();
            const auto colon = spec.find(':');
            const auto kind = kindFromName(std::string_view(spec).substr(0, colon));
            if (colon == std::string::npos || !kind)
                args.fail("bad --plug " + spec + " (KIND:NAME)");
            opt.extra.emplace_back(*kind, spec.substr(colon + 1));
        } else if (a == "--out-endpoint") {
            opt.outEndpoint = true;
        } else if (a == "--no-adapter") {
            opt.plugAdapter = false;
        } else if (a == "--adapter-name") {
            opt.adapterName = args.value();
        } else {
            args.unknownOption();
        }
    }
    Simulator sim(opt);
    if (std::string error; !sim.start(&error))
        args.exitWith(1, error);
    return sim.run();
}
