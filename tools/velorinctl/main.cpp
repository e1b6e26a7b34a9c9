// velorinctl: the command-line companion of the adapter. No widgets, no display.
#include "Ctl.h"

#include "model/Log.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <csignal>
#include <cstdio>

namespace {

velorin::hid::StopSignal* g_stop = nullptr;

extern "C" void onTerminate(int) {
    // Writing to an eventfd is async-signal-safe.
    if (g_stop)
        g_stop->raise();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velorinctl"));
    velorin::installLogHandler();
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    // The device layer's own log only with --verbose; the command reports what matters itself.
    if (!args.contains(QStringLiteral("-v")) && !args.contains(QStringLiteral("--verbose")))
        QLoggingCategory::setFilterRules(
            QStringLiteral("soui.debug=false\nsoui.info=false\nsoui.warning=false"));

    velorin::hid::StopSignal stop;
    g_stop = &stop;
    struct sigaction sa {};
    sa.sa_handler = onTerminate;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    QTextStream out(stdout);
    QTextStream err(stderr);
    const int rc = velorin::ctl::run(args, out, err, &stop);
    out.flush();
    err.flush();
    g_stop = nullptr;
    return rc;
}
