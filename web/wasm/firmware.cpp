// The stand-in adapter's WebAssembly interface (`fw_*`) over the core's simulated firmware: its
// records, what it does with one output report, its faults. The browser tests' stand-in
// navigator.hid (web/test/standin) delivers the reports and sends the replies after the delays the
// firmware names. Built as its own module, which the site never carries.
#include "core/sim/Firmware.h"
#include "core/Console.h"
#include "core/Reports.h"
#include "core/WorkMode.h"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

using namespace velorin;

namespace {

constexpr int kAbiVersion = 1;

std::array<uint8_t, 256> buffer{};
std::array<uint8_t, kBlockSize> records{};
std::array<uint8_t, kInputReportSize> reply{};
int replyLength = 0;
int replyDelayMs = 0;
int ackDelayMs = 0;
sim::RecordStore store;
sim::Firmware firmware;
// A test's fault beside the firmware's own: record writes taken and dropped, while requests and
// mode selects still work (a firmware bug the read-back after apply must find).
bool ignoreWrites = false;

} // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int fw_abi_version() {
    return kAbiVersion;
}
EMSCRIPTEN_KEEPALIVE uint8_t* fw_buffer() {
    return buffer.data();
}
// The firmware's four records as 108 bytes in block order.
EMSCRIPTEN_KEEPALIVE const uint8_t* fw_records() {
    const WorkModeBlock block = store.block();
    std::copy(block.raw().begin(), block.raw().end(), records.begin());
    return records.data();
}
EMSCRIPTEN_KEEPALIVE void fw_seed(const uint8_t* bytes) {
    WorkModeBlock block;
    block.replaceAll(std::span<const uint8_t, kBlockSize>(bytes, kBlockSize));
    store.setBlock(block);
}
EMSCRIPTEN_KEEPALIVE void fw_set_fault(int consoleId, int refuse, int drop, int delayMs) {
    if (consoleId < 1 || consoleId >= int(firmware.faults.size()))
        return;
    firmware.faults[std::size_t(consoleId)] = sim::Faults{refuse != 0, drop != 0, std::max(0, delayMs)};
}
// An interrupt OUT endpoint, and whether the firmware drops what arrives there.
EMSCRIPTEN_KEEPALIVE void fw_set_interrupt_out(int present, int ignored) {
    firmware.outEndpoint = present != 0;
    firmware.ignoreInterruptOut = ignored != 0;
}
EMSCRIPTEN_KEEPALIVE void fw_set_ignore_writes(int on) {
    ignoreWrites = on != 0;
}
// One output report, report ID first: 0 taken, 1 refused, 2 taken and dropped. A reply, if any, is
// then at fw_reply() (fw_reply_length() data bytes, after fw_reply_delay_ms()).
EMSCRIPTEN_KEEPALIVE int fw_output(const uint8_t* report, int length) {
    replyLength = 0;
    replyDelayMs = 0;
    ackDelayMs = 0;
    if (!report || length < 0)
        return 1;
    const std::span<const uint8_t> bytes(report, std::size_t(length));
    if (ignoreWrites && bytes.size() > 1 && bytes[1] == CMD_WRITE_WORKMODE)
        return 2;
    const sim::Response r = firmware.onOutputReport(bytes, &store);
    ackDelayMs = int(r.ackDelay.count());
    if (r.reply) {
        replyLength = int(std::min(r.reply->report.size(), reply.size()));
        std::copy_n(r.reply->report.begin(), replyLength, reply.begin());
        replyDelayMs = int(r.reply->delay.count());
    }
    switch (r.outcome) {
    case sim::Outcome::Taken:
        return 0;
    case sim::Outcome::Refused:
        return 1;
    case sim::Outcome::Ignored:
        return 2;
    }
    return 1;
}
EMSCRIPTEN_KEEPALIVE int fw_reply_length() {
    return replyLength;
}
EMSCRIPTEN_KEEPALIVE const uint8_t* fw_reply() {
    return reply.data();
}
EMSCRIPTEN_KEEPALIVE int fw_reply_delay_ms() {
    return replyDelayMs;
}
EMSCRIPTEN_KEEPALIVE int fw_ack_delay_ms() {
    return ackDelayMs;
}

} // extern "C"
