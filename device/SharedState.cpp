#include "device/SharedState.h"

#include "device/Reports.h"

#include <algorithm>
#include <mutex>
#include <thread>

namespace velorin::device {

std::atomic<uint8_t>& currentConsole() {
    static std::atomic<uint8_t> value{static_cast<uint8_t>(ConsoleId::PS3)};
    return value;
}

std::atomic<uint8_t>& modeSelectPending() {
    static std::atomic<uint8_t> value{1};
    return value;
}

namespace {
std::mutex& wakerMutex() {
    static std::mutex m;
    return m;
}
std::function<void()>& waker() {
    static std::function<void()> w;
    return w;
}
} // namespace

void wakeReader() {
    std::lock_guard lock(wakerMutex());
    if (waker())
        waker()();
}

void setReaderWaker(std::function<void()> wake) {
    std::lock_guard lock(wakerMutex());
    waker() = std::move(wake);
}

std::atomic<uint64_t>& readerReportCount() {
    static std::atomic<uint64_t> value{0};
    return value;
}

std::atomic<uint8_t>& adapterSeen() {
    static std::atomic<uint8_t> value{1};
    return value;
}

uint32_t JoyData::beginWrite() {
    uint32_t seq = seq_.load(std::memory_order_relaxed);
    for (;;) {
        if (seq % 2 == 0 && seq_.compare_exchange_weak(seq, seq + 1, std::memory_order_acquire))
            return seq + 1;
        if (seq % 2 != 0) {
            std::this_thread::yield();
            seq = seq_.load(std::memory_order_relaxed);
        }
    }
}

void JoyData::endWrite(uint32_t seq) {
    seq_.store(seq + 1, std::memory_order_release);
}

void JoyData::storeBytes(const JoyState& state) {
    for (std::size_t i = 0; i < kJoyDataSize; ++i)
        bytes_[i].store(state[i], std::memory_order_release);
}

JoyState JoyData::get() const {
    for (;;) {
        const uint32_t before = seq_.load(std::memory_order_acquire);
        if (before % 2 != 0) {
            std::this_thread::yield();
            continue;
        }
        JoyState state{};
        for (std::size_t i = 0; i < kJoyDataSize; ++i)
            state[i] = bytes_[i].load(std::memory_order_acquire);
        if (seq_.load(std::memory_order_acquire) == before)
            return state;
    }
}

void JoyData::set(const JoyState& state) {
    const uint32_t seq = beginWrite();
    storeBytes(state);
    endWrite(seq);
}

void JoyData::setFromReport(std::span<const uint8_t> report) {
    if (report.size() < 1 + kJoyDataSize)
        return;
    JoyState state{};
    std::copy_n(report.begin() + 1, kJoyDataSize, state.begin());
    set(state);
}

void JoyData::zero() {
    set(JoyState{});
}

void JoyData::resetNeutral() {
    const uint32_t seq = beginWrite();
    JoyState state{};
    state[0] = bytes_[0].load(std::memory_order_relaxed);
    state[1] = bytes_[1].load(std::memory_order_relaxed);
    storeBytes(neutralJoyState(state));
    endWrite(seq);
}

JoyData& joyData() {
    static JoyData data;
    return data;
}

} // namespace velorin::device
