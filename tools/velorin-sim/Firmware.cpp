#include "Firmware.h"

#include "device/Reports.h"
#include "model/KvfCodec.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace velorin::sim {
namespace {

using device::CMD_READ_WORKMODE;
using device::CMD_SELECT_MODE;
using device::CMD_WRITE_WORKMODE;
using device::kArgumentOffset;

// The adapter declares no report IDs: its output reports carry ID 0, its input reports none.
constexpr uint8_t kReportId = 0x00;
constexpr std::size_t kReplySize = hid::kInputReportSize - 1;

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
    switch (id) {
    case 1:
        return 0; // PS3
    case 2:
        return 1; // PS4
    case 4:
        return 2; // SWITCH
    case 3:
        return 3; // XBOX
    default:
        return std::nullopt;
    }
}

// ---- RecordStore ------------------------------------------------------------------------------

RecordStore::RecordStore() {
    for (uint8_t id = 1; id <= 4; ++id)
        records_[*slotOfConsole(id)][0] = id;
}

bool RecordStore::loadSeed(const std::string& seed, std::string* error) {
    // Like the window's load: the first 108 bytes of a regular file.
    const auto block = kvf::read(QString::fromStdString(seed), kvf::SizeRule::AtLeastBlock);
    if (!block) {
        if (error)
            *error = "seed file " + seed + " does not hold a 108-byte record block";
        return false;
    }
    setRecords(*block);
    return true;
}

void RecordStore::setRecords(const WorkModeBlock& block) {
    const auto raw = block.raw();
    for (std::size_t s = 0; s < 4; ++s)
        std::copy_n(raw.begin() + static_cast<std::ptrdiff_t>(s * kRecordSize), kRecordSize,
                    records_[s].begin());
}

bool RecordStore::attachFlash(const std::string& flash, const std::string& seed, std::string* error) {
    flash_ = flash;
    if (::access(flash.c_str(), F_OK) == 0) {
        // An existing flash file is the adapter's memory: never overwritten when it is unreadable.
        const auto block = kvf::read(QString::fromStdString(flash), kvf::SizeRule::ExactlyBlock);
        if (!block) {
            if (error)
                *error = "flash file " + flash + " is not a 108-byte record block";
            return false;
        }
        setRecords(*block);
        return true;
    }
    if (!seed.empty() && !loadSeed(seed, error))
        return false;
    return save(error);
}

bool RecordStore::store(const Record& r) {
    const auto slot = slotOfConsole(r[0]);
    if (!slot)
        return false;
    records_[*slot] = r;
    if (!flash_.empty()) {
        std::string error;
        if (!save(&error))
            std::fprintf(stderr, "velorin-sim: %s\n", error.c_str());
    }
    return true;
}

std::optional<Record> RecordStore::record(uint8_t consoleId) const {
    const auto slot = slotOfConsole(consoleId);
    if (!slot)
        return std::nullopt;
    return records_[*slot];
}

bool RecordStore::save(std::string* error) const {
    WorkModeBlock block;
    for (std::size_t s = 0; s < 4; ++s)
        block.replaceRecord(kBlockOrder[s], records_[s]);
    const auto written = kvf::write(QString::fromStdString(flash_), block);
    if (written)
        return true;
    if (error)
        *error = "cannot write the flash file " + flash_ + ": " + written.error().detail;
    return false;
}

// ---- Firmware ---------------------------------------------------------------------------------

Response Firmware::onOutputReport(std::span<const uint8_t> report, RecordStore* records) const {
    Response r;
    const bool wellFormed = report.size() == hid::kOutputReportSize && report[0] == kReportId;
    r.outcome = wellFormed ? Outcome::Taken : Outcome::Refused;
    if (!records)
        return r;
    const bool framed = wellFormed && report[2] == device::kFrameMagic0 && report[3] == device::kFrameMagic1;
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
