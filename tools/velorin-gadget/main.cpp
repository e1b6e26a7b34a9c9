// velorin-gadget: the adapter as a USB gadget (configfs, usb_f_hid), played by the simulator's
// firmware core. For the kernel test machine (scripts/kernel-vm) and anyone with a USB device
// controller who wants a real USB adapter without the hardware.
#include "Player.h"

#include "PadStates.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

void usage() {
    std::fputs(
        "usage: velorin-gadget [options]\n"
        "       velorin-gadget ctl [--control SOCKET] LINE...\n"
        "  --control SOCKET      also take control lines on a Unix socket (for `velorin-gadget ctl`)\n"
        "  --no-out-endpoint     the interface has no interrupt OUT endpoint: writes arrive as\n"
        "                        SET_REPORT requests\n"
        "  --ignore-interrupt-out  the firmware drops reports that arrive on the interrupt OUT endpoint\n"
        "  --plug KIND[,KIND...] the interfaces at start (adapter input64 feature page keyboard;\n"
        "                        default adapter)\n"
        "  --no-plug             start unplugged\n"
        "  --realtime            run under SCHED_FIFO, so each report is read before the next comes\n"
        "  --flash FILE, --seed FILE.kvf, --demo [RATE], --script FILE, --rate RATE  as velorin-sim\n"
        "  --name NAME           the configfs gadget's name (default velorin)\n"
        "  --udc NAME            the USB device controller (default: the first in /sys/class/udc)\n"
        "Control lines are described in docs/velorin-gadget.md. Needs root, configfs, libcomposite\n"
        "and usb_f_hid.\n",
        stderr);
}

// Sends each line to the control socket and prints the answers; 0 when every final line is ok.
int runCtl(int argc, char** argv) {
    std::string path;
    if (const char* env = std::getenv("VELORIN_GADGET_CONTROL"))
        path = env;
    int i = 2;
    if (i + 1 < argc && std::strcmp(argv[i], "--control") == 0) {
        path = argv[i + 1];
        i += 2;
    }
    if (path.empty() || i >= argc) {
        usage();
        return 2;
    }
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        std::fprintf(stderr, "velorin-gadget: control socket path too long\n");
        return 2;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        std::fprintf(stderr, "velorin-gadget: cannot connect to %s: %s\n", path.c_str(),
                     std::strerror(errno));
        return 1;
    }
    int status = 0;
    std::string buffer;
    for (; i < argc; ++i) {
        const std::string line = std::string(argv[i]) + '\n';
        if (::send(fd, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size())) {
            std::fprintf(stderr, "velorin-gadget: the control socket closed\n");
            return 1;
        }
        for (bool final = false; !final;) {
            std::size_t nl;
            while (!final && (nl = buffer.find('\n')) != std::string::npos) {
                const std::string answer = buffer.substr(0, nl);
                buffer.erase(0, nl + 1);
                std::printf("%s\n", answer.c_str());
                final =
                    answer.rfind("ok", 0) == 0 || answer.rfind("pong", 0) == 0 || answer.rfind("err", 0) == 0;
                if (answer.rfind("err", 0) == 0)
                    status = 1;
            }
            if (final)
                break;
            pollfd p{fd, POLLIN, 0};
            char buf[4096];
            // A plug waits for the kernel; a minute is only there to end a hung run.
            const ssize_t got = ::poll(&p, 1, 60000) > 0 ? ::read(fd, buf, sizeof buf) : -1;
            if (got <= 0) {
                std::fprintf(stderr, "velorin-gadget: no answer to %s", line.c_str());
                return 1;
            }
            buffer.append(buf, static_cast<std::size_t>(got));
        }
    }
    ::close(fd);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    using namespace velorin::gadget;
    if (argc >= 2 && std::strcmp(argv[1], "ctl") == 0)
        return runCtl(argc, argv);
    Options opt;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "velorin-gadget: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            out = argv[++i];
        };
        if (a == "--control") {
            value(opt.control);
        } else if (a == "--no-out-endpoint") {
            opt.layout.outEndpoint = false;
        } else if (a == "--ignore-interrupt-out") {
            opt.ignoreInterruptOut = true;
        } else if (a == "--realtime") {
            opt.realtime = true;
        } else if (a == "--no-plug") {
            opt.plug = false;
        } else if (a == "--plug") {
            std::string list;
            value(list);
            opt.layout.interfaces.clear();
            for (std::size_t from = 0; from <= list.size();) {
                const std::size_t comma = std::min(list.find(',', from), list.size());
                const auto kind = kindFromName(list.substr(from, comma - from));
                if (!kind) {
                    std::fprintf(stderr, "velorin-gadget: bad --plug %s\n", list.c_str());
                    return 2;
                }
                opt.layout.interfaces.push_back(*kind);
                from = comma + 1;
            }
        } else if (a == "--flash") {
            value(opt.flash);
        } else if (a == "--seed") {
            value(opt.seed);
        } else if (a == "--script") {
            value(opt.script);
        } else if (a == "--name") {
            value(opt.name);
        } else if (a == "--udc") {
            value(opt.udc);
        } else if (a == "--demo" || a == "--rate") {
            if (a == "--demo")
                opt.demo = true;
            if (a == "--rate" || (i + 1 < argc && argv[i + 1][0] != '-')) {
                std::string r;
                value(r);
                const auto rate = velorin::sim::parseRate(r);
                if (!rate) {
                    std::fprintf(stderr, "velorin-gadget: bad rate %s\n", r.c_str());
                    return 2;
                }
                opt.rate = *rate;
            }
        } else if (a == "--help" || a == "-h") {
            usage();
            return 0;
        } else {
            std::fprintf(stderr, "velorin-gadget: unknown option %s\n", a.c_str());
            usage();
            return 2;
        }
    }
    Player player(opt);
    std::string error;
    if (!player.start(&error)) {
        std::fprintf(stderr, "velorin-gadget: %s\n", error.c_str());
        return 1;
    }
    std::printf("ready%s\n", player.gadget().plugged() ? " plugged" : "");
    std::fflush(stdout);
    return player.run();
}
