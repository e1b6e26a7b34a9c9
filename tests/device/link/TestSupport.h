// Shared pieces of the link tests: the Qt application, an owner window stand-in that counts the
// listener's notices, and waiting with the event loop running.
#pragma once

#include "device/Messages.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>

#include <chrono>
#include <functional>
#include <thread>

namespace velorin::test {

// A limit that only ends a hung run: what is waited for comes long before it, and no test checks
// how long it took (timing lives in bench/).
inline constexpr std::chrono::milliseconds kHangLimit{60000};

inline void ensureCoreApp() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "device_link_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

// Stands in for the main window: counts the two notices and runs a hook on WM_HID_ARRIVAL.
class NoticeCounter : public QObject {
public:
    int arrivals = 0;
    int updates = 0;
    std::function<void()> onArrival;

    bool event(QEvent* e) override {
        if (e->type() == device::WM_HID_ARRIVAL) {
            ++arrivals;
            if (onArrival)
                onArrival();
            return true;
        }
        if (e->type() == device::WM_UPDATE_JOYDATE) {
            ++updates;
            return true;
        }
        return QObject::event(e);
    }
};

// Runs the event loop until `done` holds or `timeoutMs` passed; returns whether it held. The
// default only ends a hung run.
inline bool pumpUntil(const std::function<bool()>& done, int timeoutMs = int(kHangLimit.count())) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Runs the event loop for `ms`.
inline void pumpFor(int ms) {
    pumpUntil([] { return false; }, ms);
}

} // namespace velorin::test
