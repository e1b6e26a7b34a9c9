// The baseline for the start-up and memory figures: a bare Qt Widgets window of the main window's
// size (800 by 600, frameless), started the same way. With VELORIN_REPORT_FIRST_FRAME set it prints
// "first-frame <CLOCK_MONOTONIC ns>" once its first paint is done, exactly like velorin.
#include "app/FirstFrameReporter.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowFlags(Qt::FramelessWindowHint | Qt::Window);
    window.resize(800, 600);
    if (!qEnvironmentVariableIsEmpty("VELORIN_REPORT_FIRST_FRAME"))
        new velorin::app::FirstFrameReporter(&window); // owned by the window
    window.show();
    return QApplication::exec();
}
