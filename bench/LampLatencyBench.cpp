// Lamp latency: from the simulator being told to send a pad report to the lamp's visibility
// changing in the main window (offscreen, the whole listener and reader path in between). The
// baseline is the same report reaching a handle that a plain thread holds open and reads at once.
// The simulator is driven from a thread of its own, so the UI thread only runs its event loop.
//
// Then the simulator streams pad states at 1000 per second for a while (default 10 s), and the
// share of them that the window's reader read is counted.
//
//   bench_lamp_latency [ROUNDS [STREAM_SECONDS]]
#include "BenchTable.h"

#include "app/AssignmentFiles.h"
#include "app/MainDlg.h"
#include "core/Console.h"
#include "device/AdapterSession.h"
#include "device/Discovery.h"
#include "model/DisplayTexts.h"
#include "model/Paths.h"
#include "tests/support/SimController.h"
#include "ui/NamedIds.h"
#include "ui/Toolkit.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>
#include <vector>

using namespace velorin;
using namespace velorin::app;
using velorin::bench::fmt;
using velorin::bench::tableRow;
using velorin::bench::verdict;
using Clock = std::chrono::steady_clock;

namespace {

// Data bytes 2.. of a pad state: button A held, and nothing held.
const QString kPressA = QStringLiteral("pad 80 80 80 80 00 00 01 00 00 00");
const QString kRelease = QStringLiteral("pad 80 80 80 80 00 00 00 00 00 00");

long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// Something that changes: a count and the time of the last change.
struct Change {
    std::atomic<long> count{0};
    std::atomic<long long> atNs{0};
    void mark() {
        atNs.store(nowNs());
        count.fetch_add(1);
    }
};

class NoChooser final : public FileChooser {
public:
    std::optional<QString> chooseOpen(QWidget*) override { return std::nullopt; }
    std::optional<QString> chooseSave(QWidget*) override { return std::nullopt; }
};
class NoBoxes final : public MessageBoxes {
public:
    void error(const QString&) override {}
    void information(const QString&, const QString&) override {}
    bool question(const QString&, const QString&) override { return false; }
};

// Marks every visibility change of the watched lamp.
class LampWatch final : public QObject {
public:
    explicit LampWatch(Change& change) : change_(change) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)
            change_.mark();
        return false;
    }

private:
    Change& change_;
};

struct Figures {
    double medianMs = 0, p99Ms = 0;
    int missed = 0;
};

// Sends press and release alternately; each must show as one change within 300 ms.
Figures measure(hid::SimController& sim, Change& change, int rounds) {
    std::vector<double> ms;
    Figures f;
    for (int i = 0; i < rounds; ++i) {
        const long before = change.count.load();
        const long long t0 = nowNs();
        if (!sim.command(i % 2 ? kRelease : kPressA))
            break;
        const auto deadline = Clock::now() + std::chrono::milliseconds(300);
        while (change.count.load() == before && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        if (change.count.load() == before) {
            ++f.missed; // no change seen within 300 ms
        } else {
            ms.push_back(static_cast<double>(change.atNs.load() - t0) / 1e6);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
    if (ms.empty())
        return f;
    std::sort(ms.begin(), ms.end());
    f.medianMs = ms[ms.size() / 2];
    f.p99Ms = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
    return f;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::clamp(std::atoi(argv[1]), 10, 100000) : 500;
    const int streamSeconds = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, 600) : 10;
    uint64_t padsSent = 0;
    uint64_t padsRead = 0;
    // The window's adapter session, made before the window is ready (which the driver waits for).
    std::shared_ptr<device::AdapterSession> session;

    std::promise<std::string> busReady;
    std::promise<void> windowReady;
    std::promise<void> windowGone;
    Change raw, lamp;
    Figures base, lampFigures;
    bool ok = false;

    std::thread driver([&] {
        hid::SimController sim(QStringLiteral(VELORIN_SIM_PATH));
        if (!sim.start()) {
            busReady.set_value({});
            return;
        }
        busReady.set_value(sim.busDir());

        // Baseline: a handle held open and read by a thread of its own.
        {
            auto handle = sim.makePlatform()->open(sim.path());
            hid::StopSignal stop;
            std::thread reader([&] {
                hid::InputReport report{};
                while (handle && handle->readInputReport(report, -1, &stop) == hid::ReadStatus::Report) {
                    if (report[1] == 0xA1 && report[2] == 0xC4)
                        raw.mark();
                }
            });
            base = measure(sim, raw, rounds);
            stop.raise();
            reader.join();
        }
        windowReady.get_future().wait();
        lampFigures = measure(sim, lamp, rounds);
        // The stream: how many of the states sent does the reader read?
        const auto sentSoFar = [&sim]() -> uint64_t {
            QStringList lines;
            if (!sim.command(QStringLiteral("stats"), &lines) || lines.isEmpty())
                return 0;
            return lines.first().section(u' ', 2, 2).toULongLong();
        };
        const uint64_t sent0 = sentSoFar();
        const uint64_t read0 = session->readerReportCount();
        sim.command(QStringLiteral("demo 1000"));
        std::this_thread::sleep_for(std::chrono::seconds(streamSeconds));
        sim.command(QStringLiteral("demo off"));
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the last ones still travel
        padsSent = sentSoFar() - sent0;
        padsRead = session->readerReportCount() - read0;
        ok = true;
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        windowGone.get_future().wait(); // the sim outlives the window's reader
    });

    const std::string bus = busReady.get_future().get();
    if (bus.empty()) {
        std::fprintf(stderr, "velorin-sim did not start\n");
        driver.join();
        return 1;
    }
    session = std::make_shared<device::AdapterSession>(hid::makeSimPlatform(bus));

    QTemporaryDir exeDir;
    setExecutableDirForTesting(exeDir.path() + u'/');
    ui::Toolkit toolkit(QStringLiteral("imgdecoder-gdip"));
    toolkit.loadUiDefinition(u"uidef:xml_init");
    toolkit.registerNamedIds(ui::NamedIdTable::fromLayouts(toolkit.package()));
    toolkit.installTranslator(u"lang_cn");

    NoChooser chooser;
    NoBoxes boxes;
    int result = 0;
    {
        CMainDlg dlg(session, chooser, boxes);
        if (!dlg.create()) {
            std::fprintf(stderr, "the main window cannot be built\n");
            windowReady.set_value();
            windowGone.set_value();
            driver.join();
            return 1;
        }
        dlg.OnInitDialog();
        dlg.show();
        ui::SWindow* lampWnd =
            dlg.findChildByName(QString::fromStdString(lampName(ConsoleId::PS3, PadButton::A)));
        LampWatch watch(lamp);
        if (lampWnd)
            lampWnd->installEventFilter(&watch);
        // Start measuring once the arrival's read-back and mode selects are done.
        QTimer::singleShot(1000, [&] { windowReady.set_value(); });
        QApplication::exec();
        if (lampWnd)
            lampWnd->removeEventFilter(&watch);
        dlg.stopListener();
        if (!lampWnd) {
            std::fprintf(stderr, "no lamp for A on the PS3 page\n");
            result = 1;
        }
    }
    windowGone.set_value();
    driver.join();
    if (!ok || result)
        return 1;

    std::printf("pad report to a held-open handle (baseline): median %.3f ms  p99 %.3f ms  missed %d of %d\n",
                base.medianMs, base.p99Ms, base.missed, rounds);
    std::printf("pad report to the lamp's visibility change:  median %.3f ms  p99 %.3f ms  missed %d of %d\n",
                lampFigures.medianMs, lampFigures.p99Ms, lampFigures.missed, rounds);
    tableRow("lamp latency, median", fmt("%.3f ms", lampFigures.medianMs), fmt("%.3f ms", base.medianMs),
             fmt("%.2fx", lampFigures.medianMs / base.medianMs), "-", "-");
    tableRow("lamp latency, p99", fmt("%.3f ms", lampFigures.p99Ms), fmt("%.3f ms", base.p99Ms),
             fmt("%.2fx", lampFigures.p99Ms / base.p99Ms), "< 5 ms", verdict(lampFigures.p99Ms < 5.0));
    tableRow("lamp reports missed", fmt("%.0f", lampFigures.missed), fmt("%.0f", base.missed), "-", "-", "-");
    const double seen = padsSent ? 100.0 * double(padsRead) / double(padsSent) : 0.0;
    std::printf("pad states at 1000/s for %d s: %llu sent, %llu read by the reader\n", streamSeconds,
                static_cast<unsigned long long>(padsSent), static_cast<unsigned long long>(padsRead));
    tableRow("reports seen by the reader at 1000/s", fmt("%.2f %%", seen),
             fmt("%.0f sent", static_cast<double>(padsSent)), "-", ">= 99.9 %", verdict(seen >= 99.9));
    return 0;
}
