#include "device/HidInputWnd.h"

#include "device/Discovery.h"
#include "device/Messages.h"
#include "device/Reports.h"
#include "device/Sequences.h"
#include "model/Log.h"

#include <QCoreApplication>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <exception>
#include <initializer_list>
#include <mutex>
#include <stdexcept>

namespace velorin::device {

namespace {
// A read that ends because the handle broke is followed by this pause (or an arrival notice), so
// a node that opens but fails every read cannot make the reader spin.
constexpr std::chrono::milliseconds kGoneBackoff{50};
// Lamp notices follow one another at most this often. A state read sooner is noticed at the end
// of the interval, so a fast stream wakes the window about 250 times a second instead of once per
// report, while a lone press is noticed at once.
constexpr std::chrono::milliseconds kNoticeInterval{4};
// At most this many queued reports are taken for one notice (a device's queue holds 64), so that a
// flood cannot hold the notice back.
constexpr uint64_t kTakenPerNotice = 256;
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

// Waits until one of `fds` (at most two) is readable or `bound` passed; returns which were, bit i
// for the i-th, or 0. The bound is kept to the microsecond (ppoll), so that sleeping out the rest of
// a notice interval does not overshoot it by a rounded-up millisecond.
unsigned waitReadable(std::initializer_list<int> fds, std::chrono::nanoseconds bound) {
    std::array<pollfd, 2> p{};
    std::size_t n = 0;
    for (int fd : fds)
        p[n++] = {fd, POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        const auto left = std::max(std::chrono::nanoseconds(0), deadline - std::chrono::steady_clock::now());
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
        const timespec timeout{static_cast<time_t>(seconds.count()),
                               static_cast<long>((left - seconds).count())};
        const int r = ::ppoll(p.data(), n, &timeout, nullptr);
        if (r > 0) {
            unsigned readable = 0;
            for (std::size_t i = 0; i < n; ++i)
                readable |= (p[i].revents & POLLIN) ? 1u << i : 0u;
            return readable;
        }
        if (r == 0 || errno != EINTR)
            return 0;
    }
}

} // namespace

// Everything the reader thread uses. Shared between the listener and the thread, so a reader that
// outlives its listener still finds it, and the session with it.
struct CHidInputWnd::ReaderContext {
    explicit ReaderContext(std::shared_ptr<AdapterSession> s) : session(std::move(s)) {}

    const std::shared_ptr<AdapterSession> session;
    std::atomic<bool> stop{false};
    // Raised to stop the reader or to wake it for a mode select; ends a pending read at once.
    hid::StopSignal wake;
    // Signalled by every arrival notice; wakes the reader while it waits for an adapter.
    EventFd arrival;
    // Signalled by the thread as its last act.
    EventFd done;
    // Set while a WM_UPDATE_JOYDATE is on its way to the owner; cleared as it is delivered.
    std::atomic<bool> updatePending{false};

    // The window to notify; cleared (under the lock) when it is destroyed or the listener goes.
    std::mutex ownerMutex;
    QObject* owner = nullptr;

    // Posts WM_UPDATE_JOYDATE when the owner still exists and none is on its way; returns whether
    // the owner will see one.
    bool postUpdate() {
        std::lock_guard lock(ownerMutex);
        if (!owner)
            return false;
        if (updatePending.exchange(true))
            return true; // the pending one reads the newest state when it is handled
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
        wake.raise();
    }

    // Waits for an arrival notice since the last drain, a wake-up, or `bound`; returns whether a
    // wake-up (a stop or a mode select request) is raised. The wake-up stays raised.
    bool waitForWake(std::chrono::nanoseconds bound) {
        const unsigned readable = waitReadable({arrival.fd(), wake.fd()}, bound);
        if (readable & 1u)
            arrival.drain();
        return (readable & 2u) != 0;
    }

    bool waitDone(std::chrono::nanoseconds bound) { return waitReadable({done.fd()}, bound) != 0; }
};

namespace {

using Context = CHidInputWnd::ReaderContext;

// The reader's own state between passes: the one handle it keeps while the adapter stays.
struct ReaderState {
    std::unique_ptr<hid::HidHandle> handle;
    std::chrono::steady_clock::time_point lastNotice{};
    // Reports came within the notice interval: the next pass sleeps out the interval first.
    bool streaming = false;

    void notice(Context& ctx) {
        ctx.postUpdate();
        lastNotice = std::chrono::steady_clock::now();
    }
    // How long until a notice keeps to the interval again.
    std::chrono::nanoseconds timeLeft() const {
        return std::max(std::chrono::nanoseconds(0),
                        lastNotice + kNoticeInterval - std::chrono::steady_clock::now());
    }
};

// The reports taken for one notice. Only the last pad state among them is kept: the window reads
// the state once per notice, and the earlier ones would only be overwritten.
struct ReportBatch {
    uint64_t taken = 0;
    bool padState = false;
    hid::InputReport lastPadState{};

    void take(const hid::InputReport& report) {
        ++taken;
        if (isPadStateReport(report)) {
            lastPadState = report;
            padState = true;
        }
    }

    // Counts the reports and keeps the last pad state as the live one.
    void keep(AdapterSession& session) const {
        session.countReaderReports(taken);
        // A report still queued when the window handled the adapter's removal is no live state.
        // The removal clears the path before it zeroes the state, so checking the path again
        // after storing leaves either this zero or the removal's last.
        if (padState && !session.adapterPath().empty()) {
            session.joyData().setFromReport(lastPadState);
            if (session.adapterPath().empty())
                session.joyData().zero();
        }
    }
};

// One pass. Without a handle: open the adapter (identity checked), or, while it is absent, notify
// once and wait for an arrival notice, a wake-up or the re-scan interval. With a handle: send the
// mode selects while one is pending; while reports stream, sleep out the rest of the notice
// interval and take what queued meanwhile, or else wait for the next input report; take every
// report queued after it, and notify once. The handle stays open until a read ends with the device
// gone.
void readerPass(Context& ctx, ReaderState& state) {
    AdapterSession& session = *ctx.session;
    if (!state.handle) {
        // Arrivals from here on end the wait below at once.
        ctx.arrival.drain();
        state.handle = OpenAdapter(session);
        if (!state.handle) {
            if (session.adapterSeen().load()) {
                // The adapter went. A state stored by a read that raced with the removal (which
                // had already zeroed it) must not keep lamps lit with nothing attached.
                session.joyData().zero();
                if (ctx.postUpdate())
                    session.adapterSeen().store(false);
            }
            ctx.waitForWake(CHidInputWnd::kAbsentRescanInterval);
            if (!ctx.stop.load())
                ctx.wake.reset(); // a mode select wake-up is answered once the adapter opens
            return;
        }
        session.adapterSeen().store(true);
    }

    if (session.modeSelectPending().load())
        RepeatModeSelect(session); // all five are sent even after an early success

    // While the reports stream, they gather in the device's queue until the next notice is due and
    // are then taken together: one wake-up per interval, not one per report. Otherwise the reader
    // waits for the next report and notices it at once, unless it comes within the interval after
    // the last notice: then a stream begins. A stop or a mode select ends every wait at once.
    ReportBatch batch;
    hid::InputReport report{};
    hid::ReadStatus status = hid::ReadStatus::Timeout;
    if (const std::chrono::nanoseconds left = state.timeLeft(); state.streaming && left.count() > 0) {
        if (ctx.waitForWake(left)) {
            ctx.wake.reset(); // as for a read that a wake-up ended, below
            return;
        }
        status = state.handle->readInputReport(report, 0, &ctx.wake);
    }
    if (status == hid::ReadStatus::Timeout) {
        state.streaming = false;
        status = state.handle->readInputReport(report, -1, &ctx.wake);
        if (status == hid::ReadStatus::Report && state.timeLeft().count() > 0) {
            batch.take(report);
            state.streaming = true;
            if (ctx.waitForWake(state.timeLeft())) {
                batch.keep(session);
                state.notice(ctx);
                ctx.wake.reset();
                return;
            }
            status = state.handle->readInputReport(report, 0, &ctx.wake);
        }
    }
    // Then every report already queued, up to a bound, and one notice for them all.
    while (status == hid::ReadStatus::Report) {
        batch.take(report);
        if (batch.taken == kTakenPerNotice)
            break;
        status = state.handle->readInputReport(report, 0, &ctx.wake);
    }
    if (batch.taken > 0) {
        batch.keep(session);
        state.notice(ctx);
    }
    switch (status) {
    case hid::ReadStatus::Stopped:
        // A stop or a mode select request. The stop flag is set before the raise, so a raise
        // consumed here either belongs to a stop the loop sees, or is followed by another.
        ctx.wake.reset();
        return;
    case hid::ReadStatus::Report:
    case hid::ReadStatus::Timeout:
        return;
    case hid::ReadStatus::Gone:
        break;
    }
    state.handle.reset();
    session.joyData().zero(); // nothing read from a gone adapter is live any more
    state.notice(ctx);
    ctx.waitForWake(kGoneBackoff);
    if (!ctx.stop.load())
        ctx.wake.reset();
}

void AsynchReadThreadProc(std::shared_ptr<Context> ctx) {
    ReaderState state;
    while (!ctx->stop.load()) {
        try {
            readerPass(*ctx, state);
        } catch (...) {
            logAt(LogLevel::Error, "HidInputWnd", 138, "AsynchReadThreadProc",
                  QStringLiteral("AsynchReadThreadProc exception"));
            state.handle.reset();
            // A fault that repeats on every pass must not turn the loop into a busy one.
            if (!ctx->stop.load())
                ctx->waitForWake(CHidInputWnd::kAbsentRescanInterval);
        }
    }
    state.handle.reset();
    ctx->done.signal();
}

} // namespace

CHidInputWnd::CHidInputWnd(std::shared_ptr<AdapterSession> session, QObject* owner, QObject* parent)
    : QObject(parent), session_(std::move(session)), owner_(owner) {
    if (!session_)
        throw std::invalid_argument("a listener needs an adapter session");
    // Nothing else here may end the program: without notices or without a reader the window still
    // works, only without arrivals or live lamps.
    try {
        monitor_ = session_->platform().createMonitor();
    } catch (const std::exception& e) {
        qCWarning(lcSoui) << "cannot follow HID arrivals:" << e.what();
    }
    if (monitor_) {
        connect(monitor_.get(), &hid::HidMonitor::deviceArrived, this, &CHidInputWnd::handleArrival);
        connect(monitor_.get(), &hid::HidMonitor::deviceRemoved, this, &CHidInputWnd::handleRemoval);
    } else {
        qCWarning(lcSoui) << "no HID arrival and removal notices";
    }
    session_->joyData().zero();
    try {
        ctx_ = std::make_shared<ReaderContext>(session_);
    } catch (const std::exception& e) {
        qCWarning(lcSoui) << "no live pad state: cannot set up the reader:" << e.what();
        return;
    }
    if (owner) {
        ctx_->owner = owner;
        // Delivery of WM_UPDATE_JOYDATE clears the pending mark before the owner reads the state.
        owner->installEventFilter(this);
        // Runs inside the owner's destruction, before its queued events are dropped.
        connect(
            owner, &QObject::destroyed, this, [ctx = ctx_] { ctx->clearOwner(); }, Qt::DirectConnection);
    }
    try {
        reader_ = std::thread(AsynchReadThreadProc, ctx_);
    } catch (const std::exception& e) {
        qCWarning(lcSoui) << "no live pad state: cannot start the reader thread:" << e.what();
        return;
    }
    session_->setReaderWaker([ctx = ctx_] { ctx->wake.raise(); });
}

CHidInputWnd::~CHidInputWnd() {
    stopReader();
}

bool CHidInputWnd::eventFilter(QObject* watched, QEvent* event) {
    if (ctx_ && watched == owner_ && event->type() == WM_UPDATE_JOYDATE)
        ctx_->updatePending.exchange(false); // acquires what the reader stored before it posted
    return false;
}

bool CHidInputWnd::stopReader(std::chrono::milliseconds bound) {
    if (!ctx_)
        return true;
    ctx_->clearOwner();
    if (!reader_.joinable())
        return true;
    session_->setReaderWaker(nullptr);
    ctx_->requestStop();
    if (ctx_->waitDone(bound)) {
        reader_.join();
        return true;
    }
    // The context stays alive with the thread; with the owner cleared it reaches nobody.
    qCWarning(lcSoui) << "the reader thread did not end within" << bound.count() << "ms";
    reader_.detach();
    return false;
}

bool CHidInputWnd::readerRunning() const {
    return reader_.joinable();
}

void CHidInputWnd::handleArrival(const QString& path) {
    qCDebug(lcSoui) << "HID interface arrived:" << path;
    try {
        if (const std::optional<std::string> found = FindAdapter(session_->platform()))
            session_->adapterPath().set(*found);
    } catch (const std::exception& e) {
        qCWarning(lcSoui) << "the scan after an arrival failed:" << e.what();
    }
    if (ctx_)
        ctx_->arrival.signal();
    if (owner_) {
        QEvent event(WM_HID_ARRIVAL);
        QCoreApplication::sendEvent(owner_.data(), &event);
    }
}

void CHidInputWnd::handleRemoval(const QString& path) {
    if (!session_->adapterPath().clearIfSame(path.toStdString()))
        return;
    qCInfo(lcSoui) << "the adapter went away:" << path;
    session_->joyData().zero();
    // The reader may have reported the adapter gone before this; one more notice puts the lamps out.
    if (ctx_)
        ctx_->postUpdate();
}

} // namespace velorin::device
