// The simulated adapter's firmware: its four records and what it does with one output report,
// under the faults a test or a user switched on. No sockets, no files and no clock: a bus server
// (velorin-sim), a USB gadget or a browser test delivers the reports, sends what the firmware
// answers after the delays it names, and keeps the records wherever it likes (velorin-sim's flash
// file).
#pragma once

#include "core/Console.h"
#include "core/WorkMode.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velorin::sim {

using Record = std::array<uint8_t, kRecordSize>;

// Slot of a console's record in the block (PS3, PS4, SWITCH, XBOX); nullopt for other ids.
std::optional<std::size_t> slotOfConsole(uint8_t consoleId);

// The firmware's four records. Without a seed each record is its console id followed by zeros.
class RecordStore {
public:
    RecordStore();
    const std::array<Record, 4>& records() const { return records_; }
    // Into the slot named by r[0]; false for an unknown console.
    bool store(const Record& r);
    std::optional<Record> record(uint8_t consoleId) const;
    // All four, as the 108 bytes of a .kvf file (block order).
    WorkModeBlock block() const;
    void setBlock(const WorkModeBlock& block);

private:
    std::array<Record, 4> records_{};
};

// What the firmware does to reports about one console.
struct Faults {
    bool refuse = false; // refuse write, read request and mode select
    bool drop = false;   // take read requests without answering
    int delayMs = 0;     // answer read requests this much later
};

// How an output report reached the firmware.
enum class Way { SetReport, Interrupt };

// What became of an output report: the acknowledgement says taken for Taken and Ignored.
enum class Outcome { Taken, Refused, Ignored };

// An input report the firmware sends in answer (data bytes only: the adapter has no report IDs).
struct Reply {
    std::vector<uint8_t> report;
    std::chrono::milliseconds delay{0};
};

struct Response {
    Way way = Way::SetReport;
    Outcome outcome = Outcome::Refused;
    std::optional<Record> stored; // the record a write put into its slot: save it when the records are kept
    std::optional<Reply> reply;
    // How long the acknowledgement is held back ("stall"): the writer waits that long to learn
    // whether the report was taken.
    std::chrono::milliseconds ackDelay{0};
    bool taken() const { return outcome != Outcome::Refused; }
};

class Firmware {
public:
    // One output report, report ID first, arriving at an interface whose records are `records`.
    // Without records the interface has no firmware: it takes every well-formed report, without
    // effect, over SET_REPORT and at once.
    Response onOutputReport(std::span<const uint8_t> report, RecordStore* records) const;

    // By console id 1..4 (index 0 is unused).
    std::array<Faults, 5> faults{};
    // The interface has an interrupt OUT endpoint: writes arrive there instead of as SET_REPORT.
    bool outEndpoint = false;
    // Reports arriving on the interrupt OUT endpoint are taken and then dropped.
    bool ignoreInterruptOut = false;
    // Acknowledgements of the adapter's output reports are held back this long.
    int stallMs = 0;
};

} // namespace velorin::sim
