// One QApplication for a whole test program: created on first use on the offscreen platform
// (unless the environment names another) and kept until the process ends.
#pragma once

#include <QApplication>

namespace velorin::test {

inline QApplication& guiApplication() {
    static int argc = 1;
    static char arg0[] = "velorin-tests";
    static char* argv[] = {arg0, nullptr};
    static QApplication* instance = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv); // lives until the process ends
    }();
    return *instance;
}

} // namespace velorin::test
