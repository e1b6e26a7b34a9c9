// CPU used by the listener and its reader thread over a stretch of time (default 10 s), against
// the simulated adapter, without a window: no adapter, an idle adapter, and pad states at 250 and
// 1000 per second. The notices go to a plain object on the main thread's event loop, so what is
// measured is the reader's path to the window, not the window's drawing.
//
// Baselines, measured in the same run: the same event loop alone (for the quiet situations), and
// for the streams a plain thread that holds the adapter's handle open and reads every report the
// moment it comes (what any reader that takes every report pays at least).
//
//   bench_reader_cpu [SECONDS] [--stream-only]
//
// --stream-only measures the listener at 1000 per second alone (for a profiler).
#include "BenchTable.h"

#include "device/AdapterSession.h"
#include "device/HidInputWnd.h"
#include "device/Messages.h"
#include "tests/support/SimController.h"

#include <QCoreApplication>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

using namespace velorin;
using namespace velorin::device;
using velorin::bench::fmt;
using velorin::bench::tableRow;
using velorin::bench::verdict;

namespace {

double processCpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class Counter : public QObject {
public:
    long updates = 0;
    bool event(QEvent* e) override {
        if (e->type() == WM_UPDATE_JOYDATE) {
            ++updates;
            return true;
        }
        return QObject::event(e);
    }
};

// Pad states the simulator has sent so far.
uint64_t padsSent(hid::SimController& sim) {
    QStringList lines;
    if (!sim.command(QStringLiteral("stats"), &lines) || lines.isEmpty())
        return 0;
    return lines.first().section(u' ', 2, 2).toULongLong();
}

struct Figures {
    double percent = 0; // of one core, the whole process
    double noticesPerSecond = 0;
    uint64_t sent = 0;
    uint64_t read = 0;
};

// Runs the event loop for `ms`.
void runFor(int ms) {
    QTimer::singleShot(ms, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

enum class Reader { None, Listener, PlainThread };

// Measures `reader` for `seconds` while the simulator streams pad states at `rate` per second (0:
// none). The stream starts after the reader settled and stops after the measured time; the reports
// read are counted once the last of them arrived.
Figures measure(hid::SimController& sim, const std::shared_ptr<AdapterSession>& session, int seconds,
                Reader reader, int rate = 0) {
    Counter owner;
    std::unique_ptr<CHidInputWnd> listener;
    hid::StopSignal stop;
    std::thread plain;
    uint64_t plainRead = 0;
    if (reader == Reader::Listener)
        listener = std::make_unique<CHidInputWnd>(session, &owner);
    if (reader == Reader::PlainThread) {
        std::unique_ptr<hid::HidHandle> handle = session->platform().open(sim.path());
        if (!handle) {
            std::fprintf(stderr, "the adapter cannot be opened\n");
            std::exit(1);
        }
        plain = std::thread([h = std::move(handle), &stop, &plainRead] {
            hid::InputReport report{};
            while (h->readInputReport(report, -1, &stop) == hid::ReadStatus::Report)
                ++plainRead;
        });
    }
    // Let the reader settle (first scan, mode selects) before the stream starts.
    runFor(300);
    const auto readSoFar = [&] {
        return reader == Reader::Listener ? session->readerReportCount() : plainRead;
    };
    const uint64_t s0 = padsSent(sim);
    const uint64_t r0 = readSoFar();
    if (rate > 0)
        sim.command(QStringLiteral("demo %1").arg(rate));
    runFor(100);
    const double p0 = processCpuSeconds();
    const long u0 = owner.updates;
    runFor(seconds * 1000);
    Figures f;
    f.percent = 100.0 * (processCpuSeconds() - p0) / seconds;
    f.noticesPerSecond = static_cast<double>(owner.updates - u0) / seconds;
    if (rate > 0)
        sim.command(QStringLiteral("demo off"));
    runFor(300); // the last ones still travel
    f.sent = padsSent(sim) - s0;
    f.read = readSoFar() - r0;
    if (plain.joinable()) {
        stop.raise();
        plain.join();
    }
    listener.reset();
    return f;
}

void print(const char* name, const Figures& f) {
    std::printf("%-44s process %6.3f %% of one core  notices/s %6.1f  reports read %llu of %llu sent\n", name,
                f.percent, f.noticesPerSecond, static_cast<unsigned long long>(f.read),
                static_cast<unsigned long long>(f.sent));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int seconds = 10;
    bool streamOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--stream-only"))
            streamOnly = true;
        else
            seconds = std::clamp(std::atoi(argv[i]), 1, 600);
    }

    hid::SimController sim(QStringLiteral(VELORIN_SIM_PATH));
    if (!sim.start({QStringLiteral("--no-adapter")})) {
        std::fprintf(stderr, "velorin-sim did not start\n");
        return 1;
    }
    const auto session = std::make_shared<AdapterSession>(sim.makePlatform());
    session->modeSelectPending().store(false);

    if (streamOnly) {
        sim.command(QStringLiteral("plug adapter adapter"));
        print("listener, pad states 1000/s", measure(sim, session, seconds, Reader::Listener, 1000));
        return 0;
    }

    const Figures loop = measure(sim, session, seconds, Reader::None);
    print("event loop alone (baseline)", loop);
    const Figures none = measure(sim, session, seconds, Reader::Listener);
    print("listener, no adapter", none);
    sim.command(QStringLiteral("plug adapter adapter"));
    print("listener, idle adapter", measure(sim, session, seconds, Reader::Listener));

    Figures plain[2], listened[2];
    const int rates[] = {250, 1000};
    for (int i = 0; i < 2; ++i) {
        plain[i] = measure(sim, session, seconds, Reader::PlainThread, rates[i]);
        print(qPrintable(QStringLiteral("plain reading thread, pad states %1/s (baseline)").arg(rates[i])),
              plain[i]);
        listened[i] = measure(sim, session, seconds, Reader::Listener, rates[i]);
        print(qPrintable(QStringLiteral("listener, pad states %1/s").arg(rates[i])), listened[i]);
    }

    tableRow("reader CPU, no adapter (no window)", fmt("%.3f %%", none.percent), fmt("%.3f %%", loop.percent),
             "-", "< 0.5 %", verdict(none.percent < 0.5));
    for (int i = 0; i < 2; ++i) {
        const bool targeted = rates[i] == 1000;
        tableRow(fmt("reader CPU, pad states %.0f/s (no window)", rates[i]),
                 fmt("%.3f %%", listened[i].percent), fmt("%.3f %% (plain reading thread)", plain[i].percent),
                 fmt("%.2fx", listened[i].percent / std::max(plain[i].percent, 0.001)),
                 targeted ? "< 3 %" : "-", targeted ? verdict(listened[i].percent < 3.0) : "-");
    }
    const double seen = listened[1].sent ? 100.0 * double(listened[1].read) / double(listened[1].sent) : 0.0;
    tableRow("reports read by the reader at 1000/s (no window)", fmt("%.2f %%", seen),
             fmt("%.0f sent", static_cast<double>(listened[1].sent)), "-", ">= 99.9 %",
             verdict(seen >= 99.9));
    return 0;
}
