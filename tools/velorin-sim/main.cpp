// velorin-sim: a simulated adapter on a socket bus, for tests, demos and users without hardware.
#include "Simulator.h"

#include "core/sim/PadStates.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void usage(std::FILE* to) {
    std::fputs(
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
        "See velorin-sim(1) for what each does and what the simulator prints.\n",
        to);
}

bool parseRate(const std::string& s, double& out) {
    const auto rate = velorin::sim::parseRate(s);
    if (rate)
        out = *rate;
    return rate.has_value();
}

} // namespace

int main(int argc, char** argv) {
    using namespace velorin::sim;
    Options opt;
    opt.busDir = velorin::hid::sim::defaultBusDir();
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "velorin-sim: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            out = argv[++i];
        };
        if (a == "--bus") {
            value(opt.busDir);
        } else if (a == "--flash") {
            value(opt.flash);
        } else if (a == "--seed") {
            value(opt.seed);
        } else if (a == "--script") {
            value(opt.script);
        } else if (a == "--adapter-name") {
            value(opt.adapterName);
        } else if (a == "--out-endpoint") {
            opt.outEndpoint = true;
        } else if (a == "--ignore-interrupt-out") {
            opt.ignoreInterruptOut = true;
        } else if (a == "--no-adapter") {
            opt.plugAdapter = false;
        } else if (a == "--demo") {
            opt.demo = true;
            if (i + 1 < argc && argv[i + 1][0] != '-' && !parseRate(argv[++i], opt.rate)) {
                std::fprintf(stderr, "velorin-sim: bad rate %s\n", argv[i]);
                return 2;
            }
        } else if (a == "--rate") {
            std::string r;
            value(r);
            if (!parseRate(r, opt.rate)) {
                std::fprintf(stderr, "velorin-sim: bad rate %s\n", r.c_str());
                return 2;
            }
        } else if (a == "--plug") {
            std::string spec;
            value(spec);
            const auto colon = spec.find(':');
            const auto kind = kindFromName(spec.substr(0, colon));
            if (colon == std::string::npos || !kind) {
                std::fprintf(stderr, "velorin-sim: bad --plug %s (KIND:NAME)\n", spec.c_str());
                return 2;
            }
            opt.extra.emplace_back(*kind, spec.substr(colon + 1));
        } else if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "velorin-sim: unknown option %s\n", a.c_str());
            usage(stderr);
            return 2;
        }
    }
    Simulator sim(opt);
    std::string error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "velorin-sim: %s\n", error.c_str());
        return 1;
    }
    return sim.run();
}
