// Whole-program figures of the real `velorin` binary on the offscreen platform, against a bare Qt
// Widgets window of the same size started the same way (bench_bare_window):
//   - start to first painted frame (median of several alternating runs);
//   - resident memory (VmRSS, VmHWM) shortly after the first frame;
//   - CPU of the whole process over a stretch of time: no adapter, an idle adapter, and pad states
//     at 250 and 1000 per second from the simulator's demo stream.
// Each program runs with its own runtime directory, so a running Velorin is never disturbed.
//
//   bench_program [--runs N] [--cpu-seconds S] [--velorin PATH]   (PATH: another build to compare)
#include "BenchTable.h"

#include "tests/support/SimController.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using namespace velorin;
using velorin::bench::fmt;
using velorin::bench::tableRow;
using velorin::bench::verdict;

namespace {

long long monotonicNs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// kB of a "Name:   123 kB" line of /proc/PID/status.
long statusKb(qint64 pid, const char* name) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    const std::size_t len = std::strlen(name);
    while (std::getline(in, line)) {
        if (line.compare(0, len, name) == 0 && line.size() > len && line[len] == ':')
            return std::atol(line.c_str() + len + 1);
    }
    return -1;
}

// CPU time of every thread of PID in ns (scheduler statistics, not 10 ms ticks).
long long processCpuNs(qint64 pid) {
    long long total = 0;
    std::error_code ec;
    for (const auto& task :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        std::ifstream in(task.path() / "schedstat");
        long long ns = 0;
        if (in >> ns)
            total += ns;
    }
    return total;
}

struct Program {
    QString path;
    QStringList args;
    QString simBus; // empty: no VELORIN_SIM_BUS
};

// One started program, ended (SIGTERM, then kill) when it goes.
class Running {
public:
    explicit Running(const Program& program) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
        env.insert(QStringLiteral("VELORIN_REPORT_FIRST_FRAME"), QStringLiteral("1"));
        env.remove(QStringLiteral("VELORIN_SIM_BUS"));
        if (!program.simBus.isEmpty())
            env.insert(QStringLiteral("VELORIN_SIM_BUS"), program.simBus);
        process_.setProcessEnvironment(env);
        process_.setStandardErrorFile(QProcess::nullDevice());
        process_.setProgram(program.path);
        process_.setArguments(program.args);
        started_ = monotonicNs();
        process_.start();
    }
    ~Running() {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

    // Milliseconds from the start to the first painted frame; nullopt when it never came.
    std::optional<double> waitForFirstFrame(int timeoutMs = 20000) {
        const long long deadline = monotonicNs() + static_cast<long long>(timeoutMs) * 1000000LL;
        while (monotonicNs() < deadline && process_.state() != QProcess::NotRunning) {
            while (process_.canReadLine()) {
                const QByteArray line = process_.readLine().trimmed();
                if (line.startsWith("first-frame "))
                    return static_cast<double>(line.mid(12).toLongLong() - started_) / 1e6;
            }
            process_.waitForReadyRead(100);
        }
        return std::nullopt;
    }
    qint64 pid() const { return process_.processId(); }

private:
    QTemporaryDir runtime_;
    QProcess process_;
    long long started_ = 0;
};

struct StartFigures {
    std::vector<double> ms, rssKb, hwmKb;
};

bool startOnce(const Program& program, StartFigures& into) {
    Running r(program);
    const auto ms = r.waitForFirstFrame();
    if (!ms) {
        std::fprintf(stderr, "%s showed no first frame\n", qPrintable(program.path));
        return false;
    }
    QThread::msleep(500); // "after start": the first frame plus half a second
    into.ms.push_back(*ms);
    into.rssKb.push_back(static_cast<double>(statusKb(r.pid(), "VmRSS")));
    into.hwmKb.push_back(static_cast<double>(statusKb(r.pid(), "VmHWM")));
    return true;
}

// CPU time of the main (UI) thread of PID in ns.
long long mainThreadCpuNs(qint64 pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/schedstat");
    long long ns = 0;
    in >> ns;
    return ns;
}

// Pad states the simulator has sent so far.
uint64_t padsSent(hid::SimController& sim) {
    QStringList lines;
    if (!sim.command(QStringLiteral("stats"), &lines) || lines.isEmpty())
        return 0;
    return lines.first().section(u' ', 2, 2).toULongLong();
}

struct Cpu {
    double process = 0; // % of one core, whole process
    double ui = 0;      // of which the main (UI) thread
};

Cpu cpuPercent(qint64 pid, int seconds) {
    const long long c0 = processCpuNs(pid);
    const long long m0 = mainThreadCpuNs(pid);
    const long long t0 = monotonicNs();
    QThread::sleep(static_cast<unsigned long>(seconds));
    const long long c1 = processCpuNs(pid);
    const long long m1 = mainThreadCpuNs(pid);
    const double wall = static_cast<double>(monotonicNs() - t0);
    return {100.0 * static_cast<double>(c1 - c0) / wall, 100.0 * static_cast<double>(m1 - m0) / wall};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int runs = 7;
    int cpuSeconds = 10;
    QString velorinPath = QStringLiteral(VELORIN_PATH);
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--runs"))
            runs = std::clamp(std::atoi(argv[i + 1]), 1, 100);
        else if (!std::strcmp(argv[i], "--cpu-seconds"))
            cpuSeconds = std::clamp(std::atoi(argv[i + 1]), 1, 600);
        else if (!std::strcmp(argv[i], "--velorin"))
            velorinPath = QString::fromLocal8Bit(argv[i + 1]);
    }

    hid::SimController sim(QStringLiteral(VELORIN_SIM_PATH));
    if (!sim.start({QStringLiteral("--no-adapter")})) {
        std::fprintf(stderr, "velorin-sim did not start\n");
        return 1;
    }
    const QString bus = QString::fromStdString(sim.busDir());
    const Program bare{QStringLiteral(BARE_WINDOW_PATH), {}, {}};
    const Program velorin{velorinPath, {}, bus};

    // Start-up and memory: one discarded warm-up run each (file caches), then alternating runs.
    StartFigures b, v, va;
    startOnce(bare, b);
    startOnce(velorin, v);
    b = {};
    v = {};
    for (int i = 0; i < runs; ++i) {
        if (!startOnce(bare, b) || !startOnce(velorin, v))
            return 1;
    }
    // The same with the adapter present (the start-up then also reads the four records back).
    sim.command(QStringLiteral("plug adapter adapter"));
    for (int i = 0; i < runs; ++i) {
        if (!startOnce(velorin, va))
            return 1;
    }
    sim.command(QStringLiteral("unplug adapter"));

    const double bMs = median(b.ms), vMs = median(v.ms), vaMs = median(va.ms);
    const double bRss = median(b.rssKb), vRss = median(v.rssKb), vaRss = median(va.rssKb);
    const double bHwm = median(b.hwmKb), vHwm = median(v.hwmKb);
    std::printf("start to first frame, median of %d: bare window %.1f ms, velorin %.1f ms (%.2fx), "
                "velorin with the adapter %.1f ms (%.2fx)\n",
                runs, bMs, vMs, vMs / bMs, vaMs, vaMs / bMs);
    std::printf(
        "memory after start: bare VmRSS %.0f kB VmHWM %.0f kB; velorin VmRSS %.0f kB (%.2fx) VmHWM %.0f kB "
        "(%.2fx); with the adapter VmRSS %.0f kB\n",
        bRss, bHwm, vRss, vRss / bRss, vHwm, vHwm / bHwm, vaRss);
    tableRow("start to first frame, no adapter", fmt("%.1f ms", vMs), fmt("%.1f ms", bMs),
             fmt("%.2fx", vMs / bMs), "<= 1.5x", verdict(vMs / bMs <= 1.5));
    tableRow("start to first frame, adapter present", fmt("%.1f ms", vaMs), fmt("%.1f ms", bMs),
             fmt("%.2fx", vaMs / bMs), "<= 1.5x", verdict(vaMs / bMs <= 1.5));
    tableRow("memory after start (VmRSS)", fmt("%.1f MB", vRss / 1024), fmt("%.1f MB", bRss / 1024),
             fmt("%.2fx", vRss / bRss), "<= 1.3x", verdict(vRss / bRss <= 1.3));
    tableRow("memory peak at start (VmHWM)", fmt("%.1f MB", vHwm / 1024), fmt("%.1f MB", bHwm / 1024),
             fmt("%.2fx", vHwm / bHwm), "<= 1.3x", verdict(vHwm / bHwm <= 1.3));

    // CPU of the whole process. The baseline is the bare window idling for the same time.
    double bareCpu = 0;
    {
        Running r(bare);
        if (!r.waitForFirstFrame())
            return 1;
        QThread::sleep(1);
        bareCpu = cpuPercent(r.pid(), cpuSeconds).process;
    }
    std::printf("CPU over %d s, bare window idle: %.3f %% of one core\n", cpuSeconds, bareCpu);
    Running r(velorin);
    if (!r.waitForFirstFrame())
        return 1;
    struct Step {
        const char* name;
        const char* command; // to the sim before measuring
        double target;       // % of one core; 0: none
    };
    const Step steps[] = {
        {"CPU, no adapter", nullptr, 0.5},
        {"CPU, idle adapter", "plug adapter adapter", 0},
        {"CPU, pad states 250/s", "demo 250", 0},
        {"CPU, pad states 1000/s", "demo 1000", 5.0},
    };
    for (const Step& s : steps) {
        if (s.command && !sim.command(QString::fromLatin1(s.command))) {
            std::fprintf(stderr, "velorin-sim: %s\n", qPrintable(sim.lastError()));
            return 1;
        }
        QThread::sleep(1); // arrival, read-back and mode selects settle first
        // A loaded machine may keep the simulator below the rate asked for: the rate it reached is
        // printed beside the figure.
        const uint64_t sent0 = padsSent(sim);
        const Cpu cpu = cpuPercent(r.pid(), cpuSeconds);
        const double rate = static_cast<double>(padsSent(sim) - sent0) / cpuSeconds;
        const double pct = cpu.process;
        std::printf("%s: velorin %.3f %% of one core over %d s (UI thread %.3f %%, other threads %.3f %%), "
                    "%.0f pad states/s sent\n",
                    s.name, pct, cpuSeconds, cpu.ui, pct - cpu.ui, rate);
        const std::string ratio = bareCpu > 0.001 ? fmt("%.1fx", pct / bareCpu) : std::string("-");
        tableRow(s.name, fmt("%.3f %%", pct), fmt("%.3f %%", bareCpu), ratio,
                 s.target > 0 ? fmt("< %.1f %%", s.target) : std::string("-"),
                 s.target > 0 ? verdict(pct < s.target) : "-");
    }
    sim.command(QStringLiteral("demo off"));
    return 0;
}
