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
    std::fill(state.begin() + 2, state.begin() + 6, uint8_t{0x80});
    storeBytes(state);
    endWrite(seq);
}

JoyData& joyData() {
    static JoyData data;
    return data;
}

bool isJoyStateValid(const JoyState& state) {
    return state[0] == kPadMarker0 && state[1] == kPadMarker1;
}

namespace {

struct BitTest {
    uint8_t index;
    uint8_t mask;
};

// The button bits; the four stick directions are compared instead.
constexpr BitTest bitTest(PadButton button) {
    switch (button) {
    case PadButton::L2:
        return {9, 0x01};
    case PadButton::L1:
        return {8, 0x40};
    case PadButton::SELECT:
        return {9, 0x04};
    case PadButton::ARROW_UP:
        return {10, 0x01};
    case PadButton::ARROW_DOWN:
        return {10, 0x08};
    case PadButton::ARROW_L:
        return {10, 0x04};
    case PadButton::ARROW_R:
        return {10, 0x02};
    case PadButton::LSTICK_KEY:
        return {9, 0x20};
    case PadButton::R2:
        return {9, 0x02};
    case PadButton::R1:
        return {8, 0x80};
    case PadButton::START:
        return {9, 0x08};
    case PadButton::A:
        return {8, 0x01};
    case PadButton::B:
        return {8, 0x02};
    case PadButton::X:
        return {8, 0x08};
    case PadButton::Y:
        return {8, 0x10};
    case PadButton::RSTICK_KEY:
        return {9, 0x40};
    case PadButton::HOME:
        return {9, 0x10};
    case PadButton::SHARE:
    case PadButton::CAPTURE:
        return {9, 0x80};
    default:
        return {0, 0};
    }
}

} // namespace

bool lampOn(const JoyState& state, PadButton button) {
    if (!isJoyStateValid(state))
        return false;
    constexpr uint8_t centre = 0x80;
    switch (button) {
    case PadButton::lyhih_UP:
        return state[3] < centre;
    case PadButton::lyhih_DOWN:
        return state[3] > centre;
    case PadButton::lxhih_L:
        return state[2] < centre;
    case PadButton::lxhih_R:
        return state[2] > centre;
    default: {
        const BitTest t = bitTest(button);
        return (state[t.index] & t.mask) != 0;
    }
    }
}

} // namespace velorin::device
