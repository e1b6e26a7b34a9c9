// The listener: follows arrivals and removals of HID interfaces on the UI thread and runs the
// reader thread that keeps the live pad state and repeats the mode select, both in one adapter
// session that the listener shares with its front end.
#pragma once

#include "device/AdapterSession.h"
#include "device/hid/HidPlatform.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <memory>
#include <thread>

namespace velorin::device {

class CHidInputWnd : public QObject {
    Q_OBJECT
public:
    // The longest wait for the reader to end when the listener goes.
    static constexpr std::chrono::milliseconds kStopTimeout{2000};
    // While no adapter is present the reader re-scans at most this often, unless an arrival
    // notice wakes it earlier.
    static constexpr std::chrono::milliseconds kAbsentRescanInterval{500};

    // Registers for arrival and removal notices of the session's platform, zeroes the session's
    // joyData, starts the reader and installs it as the session's reader waker. `owner` (the main
    // window) receives WM_HID_ARRIVAL and WM_UPDATE_JOYDATE; nothing reaches it once it is
    // destroyed. The reader keeps its own share of `session` (which must not be null) until it
    // ends. Must be created on the owner's (UI) thread.
    CHidInputWnd(std::shared_ptr<AdapterSession> session, QObject* owner, QObject* parent = nullptr);
    // Stops the reader (see stopReader()).
    ~CHidInputWnd() override;

    CHidInputWnd(const CHidInputWnd&) = delete;
    CHidInputWnd& operator=(const CHidInputWnd&) = delete;

    // Raises the stop signal and waits at most `bound` for the reader to end. Returns whether it
    // ended in time; a reader that did not is left to finish on its own, and never reaches the
    // owner again. Calling it again does nothing. (Tests pass a bound of their own, so that a
    // loaded machine cannot make a reader that does end look stuck.)
    bool stopReader(std::chrono::milliseconds bound = kStopTimeout);

    // Whether the reader thread is running.
    bool readerRunning() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

public Q_SLOTS:
    // An interface arrived: scan, store a found path in the session, wake the reader, then send
    // WM_HID_ARRIVAL to the owner and wait for it to be handled.
    void handleArrival(const QString& path);
    // An interface went: when it is the adapter's (ignoring ASCII case), forget the session's path
    // and zero its joyData.
    void handleRemoval(const QString& path);

public:
    struct ReaderContext;

private:
    std::shared_ptr<AdapterSession> session_;
    std::shared_ptr<ReaderContext> ctx_;
    QPointer<QObject> owner_;
    std::unique_ptr<hid::HidMonitor> monitor_;
    std::thread reader_;
};

} // namespace velorin::device
