// The baseline for the start-up and memory figures: a bare Qt Widgets window of the main window's
// size (800 by 600, frameless), started the same way. With VELORIN_REPORT_FIRST_FRAME set it prints
// "first-frame <CLOCK_MONOTONIC ns>" once its first paint is done, exactly like velorin.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>

namespace {

class FirstFrameReporter final : public QObject {
public:
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

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowFlags(Qt::FramelessWindowHint | Qt::Window);
    window.resize(800, 600);
    if (!qEnvironmentVariableIsEmpty("VELORIN_REPORT_FIRST_FRAME"))
        new FirstFrameReporter(&window); // owned by the window
    window.show();
    return QApplication::exec();
}
