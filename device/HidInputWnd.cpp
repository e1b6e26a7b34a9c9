#include "device/HidInputWnd.h"

#include "device/Discovery.h"
#include "device/Messages.h"
#include "device/Reports.h"
#include "device/SharedState.h"
#include "model/Log.h"

#include <QCoreApplication>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>

namespace velorin::device {

namespace {
// How often the reader repeats the mode select while it is pending.
constexpr int kModeSelectRepeats = 5;
// A read that ends because the handle broke is followed by this pause (or an arrival notice), so
// a node that opens but fails every read cannot make the reader spin.
constexpr std::chrono::milliseconds kGoneBackoff{50};
} // namespace

// Everything the reader thread uses. Shared between the listener and the thread, so a reader that
// outlives its listener still finds it.
struct CHidInputWnd::ReaderContext {
    std::atomic<bool> stop{false};
    hid::StopSignal stopSignal;

    // Arrival notices and the stop wake the reader while it waits for an adapter.
    std::mutex wakeMutex;
    std::condition_variable wakeCv;
    uint64_t arrivals = 0;

    // The window to notify; cleared (under the lock) when it is destroyed or the listener goes.
    std::mutex ownerMutex;
    QObject* owner = nullptr;

    std::mutex doneMutex;
    std::condition_variable doneCv;
    bool done = false;

    // Posts WM_UPDATE_JOYDATE when the owner still exists; returns whether it did.
    bool postUpdate() {
        std::lock_guard lock(ownerMutex);
        if (!owner)
            return false;
        // postEvent takes the event over.
        QCoreApplication::postEvent(owner, new QEvent(WM_UPDATE_JOYDATE));
        return true;
    }

    void clearOwner() {
        std::lock_guard lock(ownerMutex);
        owner = nullptr;
    }

    uint64_t arrivalCount() {
        std::lock_guard lock(wakeMutex);
        return arrivals;
    }

    void notifyArrival() {
        {
            std::lock_guard lock(wakeMutex);
            ++arrivals;
        }
        wakeCv.notify_all();
    }

    void requestStop() {
        {
            std::lock_guard lock(wakeMutex);
            stop.store(true);
        }
        stopSignal.raise();
        wakeCv.notify_all();
    }

    // Waits until an arrival after `seen`, the stop, or `bound`.
    void waitForWake(uint64_t seen, std::chrono::milliseconds bound) {
        std::unique_lock lock(wakeMutex);
        wakeCv.wait_for(lock, bound, [&] { return stop.load() || arrivals != seen; });
    }

    void markDone() {
        {
            std::lock_guard lock(doneMutex);
            done = true;
        }
        doneCv.notify_all();
    }

    bool waitDone(std::chrono::milliseconds bound) {
        std::unique_lock lock(doneMutex);
        return doneCv.wait_for(lock, bound, [&] { return done; });
    }
};

namespace {

using Context = CHidInputWnd::ReaderContext;

// One pass: open, mode select while pending, one read, close, notify. While the adapter is absent,
// notify once and then wait for an arrival notice, the stop, or the re-scan interval.
void readerPass(Context& ctx) {
    const uint64_t seenArrivals = ctx.arrivalCount();
    std::unique_ptr<hid::HidHandle> handle = OpenAdapter();
    if (!handle) {
        if (adapterSeen().load() == 1 && ctx.postUpdate())
            adapterSeen().store(0);
        ctx.waitForWake(seenArrivals, CHidInputWnd::kAbsentRescanInterval);
        return;
    }
    adapterSeen().store(1);

    if (modeSelectPending().load() != 0) {
        // All five are sent even after an early success.
        for (int i = 0; i < kModeSelectRepeats; ++i) {
            if (SendModeSelect())
                modeSelectPending().store(0);
        }
    }

    hid::InputReport report{};
    const hid::ReadStatus status = handle->readInputReport(report, -1, &ctx.stopSignal);
    if (status == hid::ReadStatus::Report && isPadStateReport(report))
        joyData().setFromReport(report);
    handle.reset();

    if (status == hid::ReadStatus::Stopped)
        return;
    ctx.postUpdate();
    if (status == hid::ReadStatus::Gone)
        ctx.waitForWake(seenArrivals, kGoneBackoff);
}

void AsynchReadThreadProc(std::shared_ptr<Context> ctx) {
    while (!ctx->stop.load()) {
        try {
            readerPass(*ctx);
        } catch (...) {
            logAt(LogLevel::Error, "HidInputWnd", 138, "AsynchReadThreadProc",
                  QStringLiteral("AsynchReadThreadProc exception"));
        }
    }
    ctx->markDone();
}

} // namespace

CHidInputWnd::CHidInputWnd(QObject* owner, QObject* parent)
    : QObject(parent), ctx_(std::make_shared<ReaderContext>()), owner_(owner) {
    monitor_ = hid::platform().createMonitor();
    if (monitor_) {
        connect(monitor_.get(), &hid::HidMonitor::deviceArrived, this, &CHidInputWnd::handleArrival);
        connect(monitor_.get(), &hid::HidMonitor::deviceRemoved, this, &CHidInputWnd::handleRemoval);
    } else {
        qCWarning(lcSoui) << "no HID arrival and removal notices";
    }
    if (owner) {
        ctx_->owner = owner;
        // Runs inside the owner's destruction, before its queued events are dropped.
        connect(
            owner, &QObject::destroyed, this, [ctx = ctx_] { ctx->clearOwner(); }, Qt::DirectConnection);
    }
    joyData().zero();
    reader_ = std::thread(AsynchReadThreadProc, ctx_);
}

CHidInputWnd::~CHidInputWnd() {
    stopReader();
}

bool CHidInputWnd::stopReader() {
    ctx_->clearOwner();
    if (!reader_.joinable())
        return true;
    ctx_->requestStop();
    if (ctx_->waitDone(kStopTimeout)) {
        reader_.join();
        return true;
    }
    // The context stays alive with the thread; with the owner cleared it reaches nobody.
    qCWarning(lcSoui) << "the reader thread did not end within" << kStopTimeout.count() << "ms";
    reader_.detach();
    return false;
}

bool CHidInputWnd::readerRunning() const {
    return reader_.joinable();
}

void CHidInputWnd::handleArrival(const QString& path) {
    qCDebug(lcSoui) << "HID interface arrived:" << path;
    if (const std::optional<std::string> found = FindAdapter())
        adapterPath().set(*found);
    ctx_->notifyArrival();
    if (owner_) {
        QEvent event(WM_HID_ARRIVAL);
        QCoreApplication::sendEvent(owner_.data(), &event);
    }
}

void CHidInputWnd::handleRemoval(const QString& path) {
    if (!adapterPath().clearIfSame(path.toStdString()))
        return;
    qCInfo(lcSoui) << "the adapter went away:" << path;
    joyData().zero();
    // The reader may have reported the adapter gone before this; one more notice puts the lamps out.
    ctx_->postUpdate();
}

} // namespace velorin::device
