// velorinctl: the command-line companion. One verb per job; see docs/velorinctl.md.
#pragma once

#include "core/WorkMode.h"
#include "device/hid/HidPlatform.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <memory>
#include <vector>

namespace velorin::ctl {

// Stable exit codes (documented in velorinctl(1)).
enum Exit : int {
    kExitOk = 0,
    kExitDiffers = 1,       // diff found differences, apply --verify read back something else, or check
                            // found clashing keys or codes that name no key
    kExitUsage = 2,         // bad command line: unknown verb or option, console, button or key
    kExitBadInput = 3,      // an input file cannot be read or is not valid
    kExitCannotWrite = 4,   // an output file cannot be written
    kExitNoAdapter = 5,     // no adapter found
    kExitNoAccess = 6,      // the adapter is present but cannot be opened (permissions)
    kExitAdapterFailed = 7, // the adapter refused a report, did not answer, or went away
};

// Makes the HID platform a command talks to the adapter through.
using PlatformFactory = std::function<std::unique_ptr<hid::HidPlatform>()>;

// Runs one command line (without the program name), writing results to `out` and messages to
// `err`, in an adapter session of its own. Without --simulate (and without VELORIN_SIM_BUS) the
// session's platform comes from `makePlatform`, hidraw when there is none; with it, it is the
// simulated bus. `stop` ends monitor; without one monitor runs until the adapter goes away.
int run(const QStringList& args, QTextStream& out, QTextStream& err, const hid::StopSignal* stop = nullptr,
        const PlatformFactory& makePlatform = {});

// One difference between two blocks: a byte of one console's record.
struct Difference {
    ConsoleId console;
    int byte = 0;
    uint8_t a = 0;
    uint8_t b = 0;
};
std::vector<Difference> diffBlocks(const WorkModeBlock& a, const WorkModeBlock& b);
// "PS3 L2", "PS4 byte 7", "SWITCH id (byte 0)".
QString describeByte(ConsoleId console, int byte);

} // namespace velorin::ctl
