// For the start-up benchmark: prints "first-frame <CLOCK_MONOTONIC ns>" on standard output once
// the watched window's first paint is done. Header-only, so the bare baseline window of the
// benchmarks uses the very same measurement without linking the program's libraries.
#pragma once

#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>

namespace velorin::app {

class FirstFrameReporter final : public QObject {
public:
    // Owned by the window.
    explicit FirstFrameReporter(QWidget* window) : QObject(window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, [] {
                timespec now{};
                ::clock_gettime(CLOCK_MONOTONIC, &now);
                std::printf("first-frame %lld\n",
                            static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
                std::fflush(stdout);
            });
        }
        return false;
    }
};

} // namespace velorin::app
