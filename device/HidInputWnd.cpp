#include "device/HidInputWnd.h"

#include "device/Discovery.h"
#include "device/Messages.h"
#include "device/Reports.h"
#include "device/SharedState.h"
#include "model/Log.h"

#include <QCoreApplication>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <exception>
#include <initializer_list>
#include <mutex>
#include <stdexcept>

namespace velorin::device {

namespace {
// How often the reader repeats the mode select while it is pending.
constexpr int kModeSelectRepeats = 5;
// A read that ends because the handle broke is followed by this pause (or an arrival notice), so
// a node that opens but fails every read cannot make the reader spin.
constexpr std::chrono::milliseconds kGoneBackoff{50};
} // namespace

namespace {

// An eventfd that closes itself. Waiting is done with poll(), which stays visible to thread
// checkers and wakes on the stop signal in the same call.
class EventFd {
public:
    EventFd() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (fd_ < 0)
            throw std::runtime_error("eventfd failed");
    }
    ~EventFd() { ::close(fd_); }
    EventFd(const EventFd&) = delete;
    EventFd& operator=(const EventFd&) = delete;
    int fd() const { return fd_; }
    void signal() const {
        const uint64_t one = 1;
        while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
    void drain() const {
        uint64_t value = 0;
        while (::read(fd_, &value, sizeof value) < 0 && errno == EINTR) {
        }
    }

private:
    int fd_;
};

// Waits until one of `fds` is readable or `bound` passed; returns whether one was.
bool waitReadable(std::initializer_list<int> fds, std::chrono::milliseconds bound) {
    std::array<pollfd, 2> p{};
    std::size_t n = 0;
    for (int fd : fds)
        p[n++] = {fd, POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        const int r = ::poll(p.data(), n, static_cast<int>(std::max<long long>(0, left.count())));
        if (r > 0)
            return true;
        if (r == 0 || errno != EINTR)
            return false;
    }
}

} // namespace

// Everything the reader thread uses. Shared between the listener and the thread, so a reader that
// outlives its listener still finds it.
struct CHidInputWnd::ReaderContext {
    std::atomic<bool> stop{false};
    hid::StopSignal stopSignal;
    // Signalled by every arrival notice; wakes the reader while it waits for an adapter.
    EventFd arrival;
    // Signalled by the thread as its last act.
    EventFd done;

    // The window to notify; cleared (under the lock) when it is destroyed or the listener goes.
    std::mutex ownerMutex;
    QObject* owner = nullptr;

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

    void requestStop() {
        stop.store(true);
        stopSignal.raise();
    }

    // Waits for an arrival notice since the last drain, the stop, or `bound`.
    void waitForWake(std::chrono::milliseconds bound) {
        if (waitReadable({arrival.fd(), stopSignal.fd()}, bound))
            arrival.drain();
    }

    bool waitDone(std::chrono::milliseconds bound) { return waitReadable({done.fd()}, bound); }
};

namespace {

using Context = CHidInputWnd::ReaderContext;

// One pass: open, mode select while pending, one read, close, notify. While the adapter is absent,
// notify once and then wait for an arrival notice, the stop, or the re-scan interval.
void readerPass(Context& ctx) {
    // Arrivals from here on end the wait below at once.
    ctx.arrival.drain();
    std::unique_ptr<hid::HidHandle> handle = OpenAdapter();
    if (!handle) {
        if (adapterSeen().load() == 1) {
            // The adapter went. A state stored by a read that raced with the removal (which had
            // already zeroed it) must not keep lamps lit with nothing attached.
            joyData().zero();
            if (ctx.postUpdate())
                adapterSeen().store(0);
        }
        ctx.waitForWake(CHidInputWnd::kAbsentRescanInterval);
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
        ctx.waitForWake(kGoneBackoff);
}

void AsynchReadThreadProc(std::shared_ptr<Context> ctx) {
    while (!ctx->stop.load()) {
        try {
            readerPass(*ctx);
        } catch (...) {
            logAt(LogLevel::Error, "HidInputWnd", 138, "AsynchReadThreadProc",
                  QStringLiteral("AsynchReadThreadProc exception"));
            // A fault that repeats on every pass must not turn the loop into a busy one.
            if (!ctx->stop.load())
                ctx->waitForWake(CHidInputWnd::kAbsentRescanInterval);
        }
    }
    ctx->done.signal();
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
    try {
        if (const std::optional<std::string> found = FindAdapter())
            adapterPath().set(*found);
    } catch (const std::exception& e) {
        qCWarning(lcSoui) << "the scan after an arrival failed:" << e.what();
    }
    ctx_->arrival.signal();
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
