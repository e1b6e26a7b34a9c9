#include "device/AdapterSession.h"

#include <algorithm>
#include <stdexcept>
#include <thread>
#include <utility>

namespace velorin::device {

namespace {

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

AdapterSession::AdapterSession(std::unique_ptr<hid::HidPlatform> platform) : platform_(std::move(platform)) {
    if (!platform_)
        throw std::invalid_argument("an adapter session needs a HID platform");
}

void AdapterSession::wakeReader() const {
    std::lock_guard lock(wakerMutex_);
    if (waker_)
        waker_();
}

void AdapterSession::setReaderWaker(std::function<void()> wake) {
    std::lock_guard lock(wakerMutex_);
    waker_ = std::move(wake);
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

std::string AdapterPath::get() const {
    std::lock_guard lock(mutex_);
    return path_;
}

void AdapterPath::set(const std::string& path) {
    std::string copy = path; // allocate outside the lock
    std::lock_guard lock(mutex_);
    path_.swap(copy);
    empty_.store(path_.empty(), std::memory_order_release);
}

void AdapterPath::clear() {
    std::string old;
    std::lock_guard lock(mutex_);
    path_.swap(old);
    empty_.store(true, std::memory_order_release);
}

bool AdapterPath::clearIfSame(const std::string& removed) {
    std::lock_guard lock(mutex_);
    if (path_.empty() || path_.size() != removed.size())
        return false;
    for (std::size_t i = 0; i < path_.size(); ++i) {
        if (asciiLower(path_[i]) != asciiLower(removed[i]))
            return false;
    }
    path_.clear();
    empty_.store(true, std::memory_order_release);
    return true;
}

} // namespace velorin::device
