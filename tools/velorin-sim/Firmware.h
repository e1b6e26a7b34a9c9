// The simulated adapter's firmware: its four records (optionally kept in a flash file) and what it
// does with one output report. No sockets and no clock: the bus server delivers the reports and
// sends what the firmware answers.
#pragma once

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

// The firmware's four records, optionally kept in a flash file. Without a seed each record is its
// console id followed by zeros.
class RecordStore {
public:
    RecordStore();
    // Loads the flash file, seeding it from `seed` (or defaults) when it does not exist yet.
    bool attachFlash(const std::string& flash, const std::string& seed, std::string* error);
    bool loadSeed(const std::string& seed, std::string* error);
    const std::array<Record, 4>& records() const { return records_; }
    // Into the slot named by r[0] (and the flash file, when attached); false for an unknown console.
    bool store(const Record& r);
    std::optional<Record> record(uint8_t consoleId) const;

private:
    bool save(std::string* error) const;
    void setRecords(const WorkModeBlock& block);
    std::array<Record, 4> records_{};
    std::string flash_;
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
    std::optional<Record> stored; // the record a write put into its slot
    std::optional<Reply> reply;
    bool taken() const { return outcome != Outcome::Refused; }
};

class Firmware {
public:
    // One output report, report ID first, arriving at an interface whose records are `records`.
    // Without records the interface has no firmware: it takes every well-formed report, without
    // effect and over SET_REPORT.
    Response onOutputReport(std::span<const uint8_t> report, RecordStore* records) const;

    // By console id 1..4 (index 0 is unused).
    std::array<Faults, 5> faults{};
    // The interface has an interrupt OUT endpoint: writes arrive there instead of as SET_REPORT.
    bool outEndpoint = false;
    // Reports arriving on the interrupt OUT endpoint are taken and then dropped.
    bool ignoreInterruptOut = false;
};

} // namespace velorin::sim
