// Fuzzes what velorin-sim reads from outside: control lines on its standard input and packets on
// an interface's connections. An odd first byte sends the rest as one packet to the adapter; an
// even one as control lines. Each input runs against a fresh simulator in a private bus folder.
#include "tools/velorin-sim/Simulator.h"

#include <QTemporaryDir>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The simulator reports on standard output; keep the fuzzer's output readable.
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDOUT_FILENO);
        ::close(null);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    static QTemporaryDir bus;
    velorin::sim::Options options;
    options.busDir = bus.path().toStdString();
    velorin::sim::Simulator sim(options);
    std::string error;
    if (!sim.start(&error))
        std::abort();
    if (data[0] & 1) {
        (void)sim.handlePacket("adapter", {data + 1, size - 1});
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::size_t from = 0;
    int lines = 0;
    while (from <= text.size() && lines++ < 64) {
        const std::size_t end = std::min(text.find('\n', from), text.size());
        // Longer lines never reach the handler: the reader answers them "line too long".
        const std::string line = text.substr(from, std::min(end - from, velorin::sim::kMaxLine));
        if (!sim.handleLine(line))
            break;
        from = end + 1;
    }
    return 0;
}
