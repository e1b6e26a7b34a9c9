// CPU used by the listener and its reader thread over a stretch of time (default 10 s), against
// the simulated adapter: no adapter, an idle adapter, and pad states at 250 and 1000 per second.
// The baseline is the same event loop running for the same time without a listener.
//
//   bench_reader_cpu [SECONDS]
#include "device/AdapterSession.h"
#include "device/Discovery.h"
#include "device/HidInputWnd.h"
#include "device/Messages.h"
#include "tests/support/SimController.h"

#include <QCoreApplication>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

using namespace velorin;
using namespace velorin::device;

namespace {

double processCpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// CPU of every thread but the main one, from /proc (clock ticks).
double otherThreadsCpuSeconds() {
    const long ticks = ::sysconf(_SC_CLK_TCK);
    const std::string self = std::to_string(::getpid());
    double total = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        if (entry.path().filename() == self)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const auto close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(line.substr(close + 2));
        std::string field;
        unsigned long long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && rest >> field; ++i) {
            if (i == 14)
                utime = std::stoull(field);
            if (i == 15)
                stime = std::stoull(field);
        }
        total += static_cast<double>(utime + stime) / static_cast<double>(ticks);
    }
    return total;
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

struct Figures {
    double process;
    double others;
    long updates;
};

Figures measure(const std::shared_ptr<AdapterSession>& session, int seconds, bool withListener) {
    Counter owner;
    std::unique_ptr<CHidInputWnd> listener;
    if (withListener)
        listener = std::make_unique<CHidInputWnd>(session, &owner);
    // Let the reader settle (first scan, mode selects) before measuring.
    QTimer::singleShot(300, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    const double p0 = processCpuSeconds();
    const double t0 = otherThreadsCpuSeconds();
    const long u0 = owner.updates;
    QTimer::singleShot(seconds * 1000, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    const Figures f{processCpuSeconds() - p0, otherThreadsCpuSeconds() - t0, owner.updates - u0};
    listener.reset();
    return f;
}

void print(const char* name, const Figures& f, const Figures& base, int seconds) {
    const double pct = 100.0 * f.process / seconds;
    const double readerPct = 100.0 * f.others / seconds;
    std::printf(
        "%-24s process %6.3f %% of one core  reader thread %6.3f %%  notices/s %7.1f  vs baseline %+.3f %%\n",
        name, pct, readerPct, static_cast<double>(f.updates) / seconds, pct - 100.0 * base.process / seconds);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    hid::SimController sim(QStringLiteral(VELORIN_SIM_PATH));
    if (!sim.start({QStringLiteral("--no-adapter")})) {
        std::fprintf(stderr, "velorin-sim did not start\n");
        return 1;
    }
    const auto session = std::make_shared<AdapterSession>(sim.makePlatform());
    session->modeSelectPending().store(false);

    const Figures base = measure(session, seconds, false);
    print("baseline (no listener)", base, base, seconds);
    print("no adapter", measure(session, seconds, true), base, seconds);

    sim.command(QStringLiteral("plug adapter adapter"));
    print("idle adapter", measure(session, seconds, true), base, seconds);

    sim.command(QStringLiteral("demo 250"));
    print("pad states 250/s", measure(session, seconds, true), base, seconds);
    sim.command(QStringLiteral("demo 1000"));
    print("pad states 1000/s", measure(session, seconds, true), base, seconds);
    sim.command(QStringLiteral("demo off"));
    return 0;
}
