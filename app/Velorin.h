// The program's start: platform choice, single instance, the optional simulated adapter, the
// toolkit, the main window, the message loop and the ordered teardown.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QProcess;
class QTemporaryDir;

namespace velorin::app {

// What the program's own long options ask for.
struct StartOptions {
    bool simulate = false;       // --simulate [BUS]
    QString simBus;              // BUS, empty for a private bus folder
    std::optional<QString> lang; // --lang LANG or --lang=LANG; empty when the value is missing
    bool help = false;           // --help
    bool verbose = false;        // -v, --verbose
};
StartOptions parseStartOptions(const QStringList& argumentsWithoutProgram);

// What --help prints.
QString usageText();

// Info and debug lines are for a log. On a terminal only warnings and errors are shown, unless
// -v (--verbose) or a non-empty VELORIN_VERBOSE asks for all; written anywhere else (a journal, a
// file, a pipe) every line stays. QT_LOGGING_RULES still overrides both.
void chooseLogLevel(bool verbose, bool stderrIsTerminal);

// On a Wayland session with XWayland, asks Qt for xcb unless the user chose a platform (through
// QT_QPA_PLATFORM or -platform/--platform). Call before the QApplication exists.
void preferXcbOnWayland(int argc, char** argv);

// A display to open: a platform chosen (QT_QPA_PLATFORM, -platform, --platform) or DISPLAY or
// WAYLAND_DISPLAY set. Without one, start-up only takes the single-instance decision.
bool displayAvailable(int argc, char** argv);

// The velorin-sim program: $VELORIN_SIM_PROGRAM, beside the executable, in the build tree, or on
// PATH. Empty when none is found.
QString findSimProgram();

// A velorin-sim child with the demo pad pattern and a flash file seeded from default.kvf. The
// child reads its control lines from a pipe held by this object, so it ends with the program
// even when the program does not end cleanly.
class SimulatedAdapter {
public:
    SimulatedAdapter();
    ~SimulatedAdapter(); // stop()
    SimulatedAdapter(const SimulatedAdapter&) = delete;
    SimulatedAdapter& operator=(const SimulatedAdapter&) = delete;

    // Starts `program` on `busDir` (empty: a private folder) and waits for it to be ready. The
    // flash lives in a private folder; `seedKvf` fills it when it exists.
    bool start(const QString& program, const QString& busDir, const QString& seedKvf,
               QString* error = nullptr, int timeoutMs = 10000);
    bool running() const;
    // Asks the child to quit, kills it after a short wait.
    void stop();
    QString busDir() const { return bus_; }

    static constexpr int kQuitWaitMs = 2000;

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QProcess> process_;
    QString bus_;
};

// The whole program; returns the exit code.
int runVelorin(int argc, char** argv);

// Whether the reader thread did not end within its bound at teardown. It keeps the adapter session
// alive, but it may still log, so the process must end without running static destructors.
bool readerAbandoned();

} // namespace velorin::app
