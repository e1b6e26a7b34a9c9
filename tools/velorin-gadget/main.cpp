// velorin-gadget: the adapter as a USB gadget (configfs, usb_f_hid), played by the simulator's
// firmware core. For the kernel test machine (scripts/kernel-vm) and anyone with a USB device
// controller who wants a real USB adapter without the hardware.
#include "Player.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr const char* kUsage =
    "usage: velorin-gadget [options]\n"
    "       velorin-gadget ctl [--control SOCKET] LINE...\n"
    "  --control SOCKET      also take control lines on a Unix socket (for `velorin-gadget ctl`)\n"
    "  --no-out-endpoint     the interface has no interrupt OUT endpoint: writes arrive as\n"
    "                        SET_REPORT requests\n"
    "  --ignore-interrupt-out  the firmware drops reports that arrive on the interrupt OUT endpoint\n"
    "  --plug KIND[,KIND...] the interfaces at start (adapter input64 feature page twolinks\n"
    "                        keyboard mouse; default adapter)\n"
    "  --no-plug             start unplugged\n"
    "  --realtime            run under SCHED_FIFO, so each report is read before the next comes\n"
    "  --flash FILE, --seed FILE.kvf, --demo [RATE], --script FILE, --rate RATE  as velorin-sim\n"
    "  --name NAME           the configfs gadget's name (default velorin)\n"
    "  --udc NAME            the USB device controller (default: the first in /sys/class/udc)\n"
    "Control lines are described in docs/velorin-gadget.md. Needs root, configfs, libcomposite\n"
    "and usb_f_hid.\n";

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
        std::fputs(kUsage, stderr);
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

// Takes one of the gadget's own options; false for an unknown one.
bool takeOption(velorin::sim::CommandLine& args, velorin::gadget::Options& opt) {
    const std::string& a = args.option();
    if (a == "--no-out-endpoint") {
        opt.layout.outEndpoint = false;
    } else if (a == "--control") {
        opt.control = args.value();
    } else if (a == "--realtime") {
        opt.realtime = true;
    } else if (a == "--no-plug") {
        opt.plug = false;
    } else if (a == "--plug") {
        const std::string list = args.value();
        opt.layout.interfaces.clear();
        for (std::size_t from = 0; from <= list.size();) {
            const std::size_t comma = std::min(list.find(',', from), list.size());
            const auto kind = velorin::sim::kindFromName(std::string_view(list).substr(from, comma - from));
            if (!kind)
                args.fail("bad --plug " + list);
            opt.layout.interfaces.push_back(*kind);
            from = comma + 1;
        }
    } else if (a == "--name") {
        opt.name = args.value();
    } else if (a == "--udc") {
        opt.udc = args.value();
    } else {
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    using namespace velorin::gadget;
    if (argc >= 2 && std::strcmp(argv[1], "ctl") == 0)
        return runCtl(argc, argv);
    Options opt;
    velorin::sim::CommandLine args("velorin-gadget", kUsage, argc, argv);
    while (args.next(opt)) {
        if (!takeOption(args, opt))
            args.unknownOption();
    }
    Player player(opt);
    if (std::string error; !player.start(&error))
        args.exitWith(1, error);
    std::printf("ready%s\n", player.plugged() ? " plugged" : "");
    std::fflush(stdout);
    return player.run();
}
