// State shared by the UI thread and the reader thread: the selected console, the request to
// repeat the mode select, whether the reader has seen the adapter, and the live pad state.
#pragma once

#include "core/Console.h"
#include "core/PadState.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace velorin::device {

// The ConsoleId of the selected console; 1 (PS3) at start.
std::atomic<uint8_t>& currentConsole();
// Set by the UI thread to ask the reader to send the mode select again; 1 at start.
std::atomic<uint8_t>& modeSelectPending();
// Wakes the reader thread, so that a pending mode select goes out at once rather than after the
// next pad report.
void wakeReader();
// The reader's wake-up for wakeReader(); the listener installs it while its reader runs
// (nullptr: none).
void setReaderWaker(std::function<void()> wake);

// Input reports the reader has read since the program started, marked or not: a figure for
// diagnostics and benchmarks.
std::atomic<uint64_t>& readerReportCount();

// Set by the reader when it opens the adapter, cleared when it reports the adapter gone; 1 at start.
std::atomic<uint8_t>& adapterSeen();

// The pad state's bytes, validity and lamp tests are the core's (core/PadState.h).
using velorin::isJoyStateValid;
using velorin::JoyState;
using velorin::kJoyDataSize;
using velorin::lampOn;

// The last live pad state, replaced and read as one unit: a sequence lock over atomic bytes, so
// the reader thread never waits on the UI thread and no byte is ever raced on. Writers (the
// reader thread and the UI thread) exclude each other; readers retry when a write overlapped.
class JoyData {
public:
    JoyState get() const;
    void set(const JoyState& state);
    // Copies data bytes 0-11 of an input report (report ID first); a shorter report is ignored.
    void setFromReport(std::span<const uint8_t> report);
    // All 12 bytes 0.
    void zero();
    // Neutral: indexes 2-5 0x80, indexes 6-11 0; the marker bytes 0-1 keep their values.
    void resetNeutral();

private:
    uint32_t beginWrite();
    void endWrite(uint32_t seq);
    void storeBytes(const JoyState& state);

    std::atomic<uint32_t> seq_{0}; // odd while a write is in progress
    std::array<std::atomic<uint8_t>, kJoyDataSize> bytes_{};
};

JoyData& joyData();

} // namespace velorin::device
