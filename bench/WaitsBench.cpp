// The waits of the device link that the tests check only for ending, timed against the simulated
// adapter: a read with a 100 ms limit when nothing comes (baseline: poll() on an idle pipe with
// the same limit), a pending read ended by the stop signal, and the listener's stop while its
// reader waits in a read and while it waits for an adapter (the stop's bound is 2000 ms; the
// reader waiting for an adapter re-scans every 500 ms on its own, so a stop that woke it is well
// under that). The targets are the bounds the tests asserted before they stopped timing things.
//
//   bench_waits [ROUNDS]
#include "BenchTable.h"

#include "device/HidInputWnd.h"
#include "tests/support/SimController.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace velorin;
using velorin::bench::fmt;
using velorin::bench::tableRow;
using velorin::bench::verdict;
using Clock = std::chrono::steady_clock;

namespace {

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The owner of the listener's notices: takes them and does nothing.
class Owner : public QObject {};

// Runs the event loop for a while, so the listener's reader gets going.
void pumpFor(int msToRun) {
    const auto until = Clock::now() + std::chrono::milliseconds(msToRun);
    while (Clock::now() < until)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::clamp(std::atoi(argv[1]), 3, 1000) : 10;

    hid::SimController sim(QStringLiteral(VELORIN_SIM_PATH));
    if (!sim.start()) {
        std::fprintf(stderr, "velorin-sim did not start\n");
        return 1;
    }
    const auto session = std::make_shared<device::AdapterSession>(sim.makePlatform());

    // A read with a 100 ms limit on the adapter that sends nothing, against poll() on a pipe.
    std::vector<double> readMs, pollMs;
    auto handle = session->platform().open(sim.path());
    if (!handle) {
        std::fprintf(stderr, "the adapter cannot be opened\n");
        return 1;
    }
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return 1;
    for (int i = 0; i < rounds; ++i) {
        hid::InputReport r{};
        auto t0 = Clock::now();
        if (handle->readInputReport(r, 100) != hid::ReadStatus::Timeout) {
            std::fprintf(stderr, "a report came where none was sent\n");
            return 1;
        }
        readMs.push_back(ms(Clock::now() - t0));
        pollfd p{pipeFds[0], POLLIN, 0};
        t0 = Clock::now();
        (void)::poll(&p, 1, 100);
        pollMs.push_back(ms(Clock::now() - t0));
    }
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    const double read100 = median(readMs), poll100 = median(pollMs);
    std::printf("read with a 100 ms limit, nothing comes: median %.2f ms (poll on a pipe: %.2f ms)\n",
                read100, poll100);
    tableRow("read with a 100 ms limit, nothing comes (median)", fmt("%.2f ms", read100),
             fmt("%.2f ms", poll100), fmt("%.2fx", read100 / poll100), "95-1000 ms",
             verdict(read100 >= 95 && read100 < 1000));

    // A read without a limit, ended by the stop signal: from the raise to the read's return.
    std::vector<double> stopMs;
    for (int i = 0; i < rounds; ++i) {
        hid::StopSignal stop;
        std::atomic<Clock::rep> ended{0};
        std::thread reader([&] {
            hid::InputReport r{};
            (void)handle->readInputReport(r, -1, &stop);
            ended = Clock::now().time_since_epoch().count();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto raised = Clock::now();
        stop.raise();
        reader.join();
        stopMs.push_back(ms(Clock::duration(ended.load()) - raised.time_since_epoch()));
    }
    handle.reset();
    const double stopped = median(stopMs);
    std::printf("pending read ended by the stop signal: median %.3f ms\n", stopped);
    tableRow("pending read ended by the stop signal (median)", fmt("%.3f ms", stopped), "-", "-", "< 500 ms",
             verdict(stopped < 500));

    // The listener's stop, with the reader in a read and with the reader waiting for an adapter.
    for (const bool present : {true, false}) {
        if (!present && !sim.command(QStringLiteral("unplug adapter"))) {
            std::fprintf(stderr, "velorin-sim: %s\n", qPrintable(sim.lastError()));
            return 1;
        }
        std::vector<double> listenerMs;
        for (int i = 0; i < rounds; ++i) {
            Owner owner;
            device::CHidInputWnd listener(session, &owner);
            pumpFor(150); // the reader opens the adapter and waits, or finds none and waits
            const auto t0 = Clock::now();
            const bool ended = listener.stopReader();
            listenerMs.push_back(ms(Clock::now() - t0));
            if (!ended)
                std::fprintf(stderr, "the reader did not end within the stop's bound\n");
        }
        const double m = median(listenerMs);
        const char* what = present ? "listener stop, reader in a read (median)"
                                   : "listener stop, reader waiting for an adapter (median)";
        std::printf("%s: %.3f ms\n", what, m);
        tableRow(what, fmt("%.3f ms", m), "-", "-", present ? "< 2000 ms" : "< 400 ms",
                 verdict(m < (present ? 2000 : 400)));
    }
    return 0;
}
