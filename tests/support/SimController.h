// Drives a velorin-sim process for tests and demos: starts it in a private temporary bus
// directory, sends control lines and collects the output reports it logs.
//
//   velorin::hid::SimController sim(VELORIN_SIM_PATH);
//   ASSERT_TRUE(sim.start());                         // one adapter named "adapter" is plugged
//   velorin::device::AdapterSession s(sim.makePlatform()); // a session that talks to the sim
//   sim.command("refuse switch on");                  // control lines: docs/velorin-sim.md
//   sim.waitForOutputReports(5, 2000);
//   auto reports = sim.outputReports();               // exact bytes of every output report received
//
// Not thread-safe: use one controller from one thread. No event loop is needed.
#pragma once

#include "device/hid/HidPlatform.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <array>
#include <memory>
#include <optional>
#include <sys/types.h>
#include <vector>

namespace velorin::hid {

class SimController {
public:
    struct OutputReportLog {
        std::string iface;          // the interface that received it
        bool accepted = false;      // false when the sim refused it
        bool ignored = false;       // taken on the interrupt endpoint, then dropped by the firmware
        bool interrupt = false;     // it came on the interrupt OUT endpoint, not as SET_REPORT
        std::vector<uint8_t> bytes; // report ID first, as written
    };
    using Record = std::array<uint8_t, 27>;

    // `program` is the velorin-sim executable.
    explicit SimController(QString program);
    ~SimController(); // asks the sim to quit, kills it after a short wait
    SimController(const SimController&) = delete;
    SimController& operator=(const SimController&) = delete;

    // Starts the sim with `args` (e.g. "--no-adapter", "--flash", f) plus its own --bus, and waits
    // for its "ready" line. False when it did not come up within `timeoutMs`.
    bool start(const QStringList& args = {}, int timeoutMs = 10000);
    bool running();
    // The sim's process id (0 when not running), e.g. to send it a signal.
    qint64 processId() const { return pid_ > 0 ? pid_ : 0; }
    // Waits until the sim process has ended by itself.
    bool waitForExit(int timeoutMs = 5000);
    // Stops the sim ("quit", then kill); the bus directory stays for a later start().
    void stop();

    const std::string& busDir() const { return busDir_; }
    std::string path(const std::string& iface = "adapter") const { return busDir_ + "/" + iface; }
    std::unique_ptr<HidPlatform> makePlatform() const { return makeSimPlatform(busDir_); }

    // Sends one control line and waits for its answer ("ok ..."/"pong" true, "err ..." false).
    // Lines the command printed before its answer (e.g. "record ...") go to `lines`.
    bool command(const QString& line, QStringList* lines = nullptr, int timeoutMs = 5000);
    // The last "err ..." text.
    const QString& lastError() const { return lastError_; }

    // Every output report logged so far (reads what the sim printed without waiting).
    std::vector<OutputReportLog> outputReports();
    void clearOutputReports();
    // Waits until at least `count` output reports were logged.
    bool waitForOutputReports(std::size_t count, int timeoutMs = 5000);

    // The four records of an adapter interface in block order (PS3, PS4, SWITCH, XBOX).
    std::optional<std::array<Record, 4>> dump(const std::string& iface = "adapter");

private:
    // Reads available stdout; with `timeoutMs` > 0 waits for more once. Returns false on time-out.
    bool pump(int timeoutMs);
    void takeLine(const QString& line);

    QString program_;
    QTemporaryDir dir_;
    std::string busDir_;
    // The child is started with plain fork and exec (thread checkers follow those) and talks
    // over one socket pair, which also keeps a write to a dead sim from raising SIGPIPE.
    pid_t pid_ = -1;
    int socket_ = -1;
    int exitStatus_ = 0;
    QByteArray partial_;
    QStringList answers_; // lines that are not output-report logs, in order
    std::vector<OutputReportLog> outputs_;
    QString lastError_;
};

} // namespace velorin::hid
