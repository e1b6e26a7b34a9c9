#include "core/sim/Firmware.h"

#include "core/Reports.h"

#include <algorithm>

namespace velorin::sim {
namespace {

// The adapter declares no report IDs: its output reports carry ID 0, its input reports none.
constexpr uint8_t kReportId = 0x00;
constexpr std::size_t kReplySize = kInputReportSize - 1;

// The console an output report is about: byte 4 for a write or read request, byte 5 for a mode
// select (byte 4 is 01); 0 for other commands.
uint8_t consoleOf(std::span<const uint8_t> report) {
    switch (report[1]) {
    case CMD_WRITE_WORKMODE:
    case CMD_READ_WORKMODE:
        return report[kArgumentOffset];
    case CMD_SELECT_MODE:
        return report[kArgumentOffset + 1];
    default:
        return 0;
    }
}

} // namespace

std::optional<std::size_t> slotOfConsole(uint8_t id) {
    const std::optional<ConsoleId> console = consoleFromByte(id);
    if (!console)
        return std::nullopt;
    return static_cast<std::size_t>(consoleInfo(*console).blockIndex);
}

// ---- RecordStore ------------------------------------------------------------------------------

RecordStore::RecordStore() {
    for (const ConsoleId console : kBlockOrder)
        records_[*slotOfConsole(static_cast<uint8_t>(console))][0] = static_cast<uint8_t>(console);
}

bool RecordStore::store(const Record& r) {
    const auto slot = slotOfConsole(r[0]);
    if (!slot)
        return false;
    records_[*slot] = r;
    return true;
}

std::optional<Record> RecordStore::record(uint8_t consoleId) const {
    const auto slot = slotOfConsole(consoleId);
    if (!slot)
        return std::nullopt;
    return records_[*slot];
}

WorkModeBlock RecordStore::block() const {
    WorkModeBlock block;
    for (std::size_t s = 0; s < records_.size(); ++s)
        block.replaceRecord(kBlockOrder[s], records_[s]);
    return block;
}

void RecordStore::setBlock(const WorkModeBlock& block) {
    for (std::size_t s = 0; s < records_.size(); ++s) {
        const ConstRecordSpan record = block.record(kBlockOrder[s]);
        std::copy(record.begin(), record.end(), records_[s].begin());
    }
}

// ---- Firmware ---------------------------------------------------------------------------------

Response Firmware::onOutputReport(std::span<const uint8_t> report, RecordStore* records) const {
    Response r;
    const bool wellFormed = report.size() == kOutputReportSize && report[0] == kReportId;
    r.outcome = wellFormed ? Outcome::Taken : Outcome::Refused;
    if (!records)
        return r;
    r.ackDelay = std::chrono::milliseconds(stallMs);
    const bool framed = wellFormed && report[2] == kFrameMagic0 && report[3] == kFrameMagic1;
    const uint8_t console = framed ? consoleOf(report) : 0;
    const bool known = slotOfConsole(console).has_value();
    if (known && faults[console].refuse)
        r.outcome = Outcome::Refused;
    // The kernel sends a write on the interrupt OUT endpoint when the interface has one.
    r.way = outEndpoint ? Way::Interrupt : Way::SetReport;
    if (r.outcome == Outcome::Taken && r.way == Way::Interrupt && ignoreInterruptOut)
        r.outcome = Outcome::Ignored;
    if (r.outcome != Outcome::Taken || !framed)
        return r;
    if (report[1] == CMD_WRITE_WORKMODE) {
        Record stored;
        std::copy_n(report.begin() + kArgumentOffset, stored.size(), stored.begin());
        if (records->store(stored))
            r.stored = stored;
    } else if (report[1] == CMD_READ_WORKMODE && known && !faults[console].drop) {
        const Record record = *records->record(console);
        Reply reply{std::vector<uint8_t>(kReplySize, 0), std::chrono::milliseconds(faults[console].delayMs)};
        std::copy(record.begin(), record.end(), reply.report.begin());
        r.reply = std::move(reply);
    }
    // CMD_SELECT_MODE is taken without visible effect.
    return r;
}

} // namespace velorin::sim
