// The adapter scan, FindAdapter(), with 1, 10 and 50 HID interfaces present on the simulated bus:
// the adapter plus keyboards, the adapter last in enumeration order (so every identity is read and
// tested before it is found and opened). The baseline is the scan with the adapter alone.
//
//   bench_scan [REPEATS]
#include "BenchTable.h"

#include "device/Discovery.h"
#include "tests/support/SimController.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace velorin;
using velorin::bench::fmt;
using velorin::bench::tableRow;
using velorin::bench::verdict;

namespace {

struct Figures {
    double medianUs = 0, p99Us = 0;
    bool found = true;
};

Figures scan(hid::HidPlatform& platform, int repeats) {
    std::vector<double> us;
    us.reserve(static_cast<std::size_t>(repeats));
    Figures f;
    for (int i = 0; i < repeats; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        const auto path = device::FindAdapter(platform);
        const auto t1 = std::chrono::steady_clock::now();
        f.found = f.found && path.has_value();
        us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    std::sort(us.begin(), us.end());
    f.medianUs = us[us.size() / 2];
    f.p99Us = us[std::min(us.size() - 1, us.size() * 99 / 100)];
    return f;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int repeats = argc > 1 ? std::clamp(std::atoi(argv[1]), 10, 100000) : 500;

    hid::SimController sim(QStringLiteral(VELORIN_SIM_PATH));
    // "zz-adapter" sorts after the keyboards "kbd00".."kbd48".
    if (!sim.start({QStringLiteral("--no-adapter"), QStringLiteral("--plug"),
                    QStringLiteral("adapter:zz-adapter")})) {
        std::fprintf(stderr, "velorin-sim did not start\n");
        return 1;
    }
    const std::unique_ptr<hid::HidPlatform> platform = sim.makePlatform();

    int present = 1;
    Figures base;
    for (const int want : {1, 10, 50}) {
        for (; present < want; ++present) {
            if (!sim.command(
                    QStringLiteral("plug keyboard kbd%1").arg(present - 1, 2, 10, QLatin1Char('0')))) {
                std::fprintf(stderr, "velorin-sim: %s\n", qPrintable(sim.lastError()));
                return 1;
            }
        }
        scan(*platform, repeats / 10); // warm-up
        const Figures f = scan(*platform, repeats);
        if (want == 1)
            base = f;
        if (!f.found) {
            std::fprintf(stderr, "the adapter was not found among %d interfaces\n", want);
            return 1;
        }
        std::printf(
            "FindAdapter with %2d interfaces: median %8.1f us  p99 %8.1f us  (%d scans)  %.2fx the scan "
            "of one\n",
            want, f.medianUs, f.p99Us, repeats, f.medianUs / base.medianUs);
        if (want == 1) {
            // What the reader pays per pass to open the adapter afresh (the identity hand-over on
            // the simulated bus included), next to the scan.
            std::vector<double> us;
            for (int i = 0; i < repeats; ++i) {
                const auto t0 = std::chrono::steady_clock::now();
                auto handle = platform->open(sim.path("zz-adapter"));
                handle.reset();
                us.push_back(
                    std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
            }
            std::sort(us.begin(), us.end());
            std::printf("open and close of the adapter: median %8.1f us\n", us[us.size() / 2]);
            tableRow("open and close of the adapter (median)", fmt("%.3f ms", us[us.size() / 2] / 1000),
                     fmt("%.3f ms", base.medianUs / 1000), fmt("%.2fx", us[us.size() / 2] / base.medianUs),
                     "-", "-");
        }
        const bool targeted = want == 50;
        tableRow(fmt("adapter scan, %.0f interfaces (median)", want), fmt("%.3f ms", f.medianUs / 1000),
                 fmt("%.3f ms", base.medianUs / 1000), fmt("%.2fx", f.medianUs / base.medianUs),
                 targeted ? "< 2 ms" : "-", targeted ? verdict(f.medianUs < 2000) : "-");
    }
    return 0;
}
