// One adapter session: what the front end (the window, a velorinctl command, a test) and the device
// layer share about the adapter while the program talks to it. The HID platform, the adapter's
// path, the selected console, the request to repeat the mode select, whether the reader has seen
// the adapter, the live pad state, the reader's wake-up and its report count. Nothing of it is
// process-wide: the front end creates one session and hands it to whoever needs it.
//
// Threads: the UI thread and the listener's reader thread use one session at the same time. The
// path is behind a mutex, the flags and the console are atomics, the pad state is a seqlock, the
// waker is behind a mutex; the platform's operations are safe from both threads. A front end that
// runs a listener keeps the session in a std::shared_ptr and gives the listener a copy, so a reader
// that outlives its stop bound (a write the device never acknowledges) never meets a destroyed
// session.
#pragma once

#include "core/Console.h"
#include "core/PadState.h"
#include "device/hid/HidPlatform.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>

namespace velorin::device {

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

// The device path of the adapter, empty when none is known. Every read is a copy taken under the
// lock; every replacement is atomic with respect to those reads. Whether one is known is also kept
// apart, so that the reader can ask for every report without taking the lock.
class AdapterPath {
public:
    std::string get() const;
    bool empty() const { return empty_.load(std::memory_order_acquire); }
    void set(const std::string& path);
    void clear();
    // Clears the path when it equals `removed` ignoring ASCII case; returns whether it did.
    bool clearIfSame(const std::string& removed);

private:
    mutable std::mutex mutex_;
    std::string path_;
    std::atomic<bool> empty_{true}; // path_.empty(), stored under the lock with each change
};

class AdapterSession {
public:
    // A session over `platform` (hidraw, the simulated bus, a test's own), which it keeps. No
    // adapter known, PS3 selected, a mode select pending, the adapter counted as seen (so that the
    // reader reports it gone once if it is not there), the pad state all zero.
    explicit AdapterSession(std::unique_ptr<hid::HidPlatform> platform);
    AdapterSession(const AdapterSession&) = delete;
    AdapterSession& operator=(const AdapterSession&) = delete;

    hid::HidPlatform& platform() const { return *platform_; }

    // The adapter's device path: set by a scan that found it, cleared by its removal.
    AdapterPath& adapterPath() { return adapterPath_; }
    const AdapterPath& adapterPath() const { return adapterPath_; }
    // The console whose mode the reader's mode selects name.
    std::atomic<ConsoleId>& selectedConsole() { return selectedConsole_; }
    const std::atomic<ConsoleId>& selectedConsole() const { return selectedConsole_; }
    // Set to ask the reader to send the mode select again; cleared once one was delivered.
    std::atomic<bool>& modeSelectPending() { return modeSelectPending_; }
    // Set by the reader when it opens the adapter, cleared when it reports the adapter gone.
    std::atomic<bool>& adapterSeen() { return adapterSeen_; }
    // The last live pad state.
    JoyData& joyData() { return joyData_; }
    const JoyData& joyData() const { return joyData_; }

    // Wakes the reader thread, so that a pending mode select goes out at once rather than after
    // the next pad report. Does nothing while no reader runs.
    void wakeReader() const;
    // The reader's wake-up for wakeReader(); the listener installs it while its reader runs
    // (nullptr: none).
    void setReaderWaker(std::function<void()> wake);

    // Input reports the reader has read in this session, pad states or not: a figure for
    // diagnostics and benchmarks.
    uint64_t readerReportCount() const { return readerReportCount_.load(std::memory_order_relaxed); }
    void countReaderReports(uint64_t n) { readerReportCount_.fetch_add(n, std::memory_order_relaxed); }

private:
    const std::unique_ptr<hid::HidPlatform> platform_;
    AdapterPath adapterPath_;
    std::atomic<ConsoleId> selectedConsole_{ConsoleId::PS3};
    std::atomic<bool> modeSelectPending_{true};
    std::atomic<bool> adapterSeen_{true};
    JoyData joyData_;
    mutable std::mutex wakerMutex_;
    std::function<void()> waker_;
    std::atomic<uint64_t> readerReportCount_{0};

    static_assert(std::atomic<ConsoleId>::is_always_lock_free);
};

} // namespace velorin::device
