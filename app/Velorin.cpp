#include "app/Velorin.h"

#include "app/AssignmentFiles.h"
#include "app/FirstFrameReporter.h"
#include "app/Language.h"
#include "app/MainDlg.h"
#include "app/SingleInstance.h"
#include "device/AdapterSession.h"
#include "device/hid/HidPlatform.h"
#include "model/Log.h"
#include "model/Paths.h"
#include "ui/NamedIds.h"
#include "ui/Toolkit.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QProcess>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace velorin::app {

StartOptions parseStartOptions(const QStringList& args) {
    StartOptions options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--simulate")) {
            options.simulate = true;
            if (i + 1 < args.size() && !args[i + 1].startsWith(u'-'))
                options.simBus = args[++i];
        } else if (arg.startsWith(QLatin1String("--simulate="))) {
            options.simulate = true;
            options.simBus = arg.mid(int(std::strlen("--simulate=")));
        } else if (arg == QLatin1String("--lang")) {
            options.lang = (i + 1 < args.size() && !args[i + 1].startsWith(u'-')) ? args[++i] : QString();
        } else if (arg.startsWith(QLatin1String("--lang="))) {
            options.lang = arg.mid(int(std::strlen("--lang=")));
        } else if (arg == QLatin1String("--help")) {
            options.help = true;
        } else if (arg == QLatin1String("-v") || arg == QLatin1String("--verbose")) {
            options.verbose = true;
        }
    }
    return options;
}

QString usageText() {
    return QStringLiteral(
        "Usage: velorin [-x | -boot] [--simulate[=BUS]] [--lang zh|en|ja] [-v]\n"
        "Sets up the four-in-one game controller adapter.\n"
        "\n"
        "  -x                 ask the running instance to close, and exit\n"
        "  -boot              start normally\n"
        "  --simulate[=BUS]   start a simulated adapter (velorin-sim) and use it\n"
        "  --lang zh|en|ja    show the window in Chinese, English or Japanese; without it\n"
        "                     VELORIN_LANG, then the locale (LANGUAGE, LC_ALL, LC_MESSAGES,\n"
        "                     LANG) decide: zh*, C and POSIX Chinese, ja* Japanese,\n"
        "                     anything else English\n"
        "  -v, --verbose      also show the log's info and debug lines on a terminal\n"
        "                     (as VELORIN_VERBOSE=1 does)\n"
        "  --help             show this text and exit\n"
        "\n"
        "See velorin(1).\n");
}

void chooseLogLevel(bool verbose, bool stderrIsTerminal) {
    if (verbose || !qEnvironmentVariableIsEmpty("VELORIN_VERBOSE") || !stderrIsTerminal)
        return;
    QLoggingCategory::setFilterRules(QStringLiteral("soui.debug=false\nsoui.info=false"));
}

namespace {

// The user chose a Qt platform: QT_QPA_PLATFORM or -platform/--platform on the command line.
bool platformChosen(int argc, char** argv) {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-platform") || !std::strcmp(argv[i], "--platform") ||
            !std::strncmp(argv[i], "--platform=", 11))
            return true;
    }
    return false;
}

} // namespace

void preferXcbOnWayland(int argc, char** argv) {
    if (platformChosen(argc, argv))
        return;
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

bool displayAvailable(int argc, char** argv) {
    return platformChosen(argc, argv) || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QString findSimProgram() {
    const QString fromEnv = qEnvironmentVariable("VELORIN_SIM_PROGRAM");
    if (!fromEnv.isEmpty())
        return QFileInfo(fromEnv).isExecutable() ? fromEnv : QString();
    const QString dir = executableDir();
    for (const QString& candidate :
         {dir + QStringLiteral("velorin-sim"), dir + QStringLiteral("../tools/velorin-sim/velorin-sim")}) {
        if (QFileInfo(candidate).isExecutable())
            return QFileInfo(candidate).canonicalFilePath();
    }
    return QStandardPaths::findExecutable(QStringLiteral("velorin-sim"));
}

SimulatedAdapter::SimulatedAdapter() = default;

SimulatedAdapter::~SimulatedAdapter() {
    stop();
}

bool SimulatedAdapter::running() const {
    return process_ && process_->state() == QProcess::Running;
}

bool SimulatedAdapter::start(const QString& program, const QString& busDir, const QString& seedKvf,
                             QString* error, int timeoutMs) {
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (running())
        return fail(QStringLiteral("already running"));
    if (program.isEmpty())
        return fail(QStringLiteral("velorin-sim not found"));
    dir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/velorin-simulate-XXXXXX"));
    if (!dir_->isValid())
        return fail(QStringLiteral("cannot create a private folder: ") + dir_->errorString());
    bus_ = busDir.isEmpty() ? dir_->filePath(QStringLiteral("bus")) : busDir;
    QStringList args{QStringLiteral("--bus"), bus_, QStringLiteral("--demo"), QStringLiteral("--flash"),
                     dir_->filePath(QStringLiteral("flash.kvf"))};
    if (!seedKvf.isEmpty() && QFileInfo::exists(seedKvf))
        args << QStringLiteral("--seed") << seedKvf;
    process_ = std::make_unique<QProcess>();
    process_->setProgram(program);
    process_->setArguments(args);
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_->start();
    if (!process_->waitForStarted(timeoutMs))
        return fail(QStringLiteral("cannot start ") + program + QStringLiteral(": ") +
                    process_->errorString());
    // The child says "ready" once its interfaces are listening.
    QByteArray seen;
    const QDeadlineTimer deadline(timeoutMs);
    while (!seen.contains("ready")) {
        if (deadline.hasExpired() || process_->state() != QProcess::Running) {
            stop();
            return fail(QStringLiteral("velorin-sim did not become ready"));
        }
        process_->waitForReadyRead(int(std::min<qint64>(deadline.remainingTime(), 100)));
        seen += process_->readAllStandardOutput();
        if (seen.size() > 65536)
            seen = seen.right(64);
    }
    // What the child reports later (logged output reports) is not needed here.
    QObject::connect(process_.get(), &QProcess::readyReadStandardOutput, process_.get(),
                     [p = process_.get()] { p->readAllStandardOutput(); });
    return true;
}

void SimulatedAdapter::stop() {
    if (!process_)
        return;
    if (process_->state() != QProcess::NotRunning) {
        process_->write("quit\n");
        process_->closeWriteChannel();
        if (!process_->waitForFinished(kQuitWaitMs)) {
            process_->kill();
            process_->waitForFinished(kQuitWaitMs);
        }
    }
    process_.reset();
}

namespace {

// The platform the program talks to the adapter through: VELORIN_SIM_BUS attaches to a running
// simulated adapter, --simulate starts a child, otherwise hidraw. nullptr when the program cannot
// run as asked.
std::unique_ptr<hid::HidPlatform> choosePlatform(const StartOptions& options, SimulatedAdapter& sim) {
    const QString attach = qEnvironmentVariable("VELORIN_SIM_BUS");
    if (!attach.isEmpty() && !options.simulate) {
        qCInfo(lcSoui) << "using the simulated adapter bus" << attach;
        return hid::makeSimPlatform(attach.toStdString());
    }
    if (!options.simulate)
        return hid::makeHidrawPlatform();
    QString error;
    if (!sim.start(findSimProgram(), options.simBus, AssignmentFiles::defaultFilePath(), &error)) {
        qCCritical(lcSoui) << "--simulate:" << error;
        return nullptr;
    }
    qCInfo(lcSoui) << "simulated adapter on" << sim.busDir();
    return hid::makeSimPlatform(sim.busDir().toStdString());
}

// SIGINT and SIGTERM end the message loop, so the ordered teardown runs (the reader stops, the
// simulated adapter quits) instead of the process dying on the spot.
int g_signalPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

class TerminationSignals {
public:
    TerminationSignals() {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
            return;
        notifier_ = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [] {
            char c = 0;
            [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &c, 1);
            qCInfo(lcSoui) << "ending on a termination signal";
            QCoreApplication::quit();
        });
        struct sigaction sa {};
        sa.sa_handler = onTerminationSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &sa, nullptr);
        ::sigaction(SIGTERM, &sa, nullptr);
    }
    ~TerminationSignals() {
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGTERM, SIG_DFL);
        notifier_.reset();
        for (int& fd : g_signalPipe) {
            if (fd >= 0)
                ::close(fd);
            fd = -1;
        }
    }
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

// Without a display only the single-instance decision can be taken, and it needs none: "-x" and
// a later start reach the running instance through its local socket and end with 0; a first
// start has nothing to show on and says so in one line.
int runWithoutDisplay(int argc, char** argv, bool verbose) {
    const QCoreApplication app(argc, argv);
    installLogHandler();
    chooseLogLevel(verbose, ::isatty(STDERR_FILENO) == 1);
    SingleInstance instance;
    if (!instance.isMYMutex(commandLineFromArguments(QCoreApplication::arguments().mid(1))))
        return 0;
    std::fputs("velorin: no display; set DISPLAY or WAYLAND_DISPLAY\n", stderr);
    return 1;
}

} // namespace

namespace {
bool g_readerAbandoned = false;
} // namespace

bool readerAbandoned() {
    return g_readerAbandoned;
}

int runVelorin(int argc, char** argv) {
    QStringList rawArguments;
    for (int i = 1; i < argc; ++i)
        rawArguments << QString::fromLocal8Bit(argv[i]);
    const StartOptions early = parseStartOptions(rawArguments);
    if (early.help) {
        std::fputs(usageText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!displayAvailable(argc, argv))
        return runWithoutDisplay(argc, argv, early.verbose);
    preferXcbOnWayland(argc, argv);
    QApplication app(argc, argv);
    installLogHandler();
    chooseLogLevel(early.verbose, ::isatty(STDERR_FILENO) == 1);
    const QStringList arguments = QCoreApplication::arguments().mid(1);

    SingleInstance instance;
    if (!instance.isMYMutex(commandLineFromArguments(arguments)))
        return 0;

    const TerminationSignals terminationSignals;
    const StartOptions options = parseStartOptions(arguments);
    QString languageWarning;
    const Language language = chooseLanguage(options.lang, qEnvironmentVariable("VELORIN_LANG"),
                                             QLocale::system().uiLanguages(), &languageWarning);
    if (!languageWarning.isEmpty())
        std::fprintf(stderr, "%s\n", languageWarning.toLocal8Bit().constData());
    SimulatedAdapter sim;
    std::unique_ptr<hid::HidPlatform> platform = choosePlatform(options, sim);
    if (!platform)
        return 1;
    // The window's adapter session; its reader shares it.
    const auto session = std::make_shared<device::AdapterSession>(std::move(platform));

    QDir::setCurrent(executableDir());

    ui::Toolkit toolkit(QStringLiteral("imgdecoder-gdip"));
    toolkit.loadUiDefinition(u"uidef:xml_init");
    toolkit.registerNamedIds(ui::NamedIdTable::fromLayouts(toolkit.package()));
    LanguageInstaller languageInstaller;
    languageInstaller.install(toolkit, language);

    QtFileChooser chooser;
    QtMessageBoxes boxes;
    int result = 0;
    {
        CMainDlg dlg(session, chooser, boxes, &instance);
        if (!dlg.create()) {
            qCCritical(lcSoui) << "the main window cannot be built";
            return 1;
        }
        QObject::connect(&dlg, &CMainDlg::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        dlg.OnInitDialog();
        dlg.centerOnWorkArea();
        if (!qEnvironmentVariableIsEmpty("VELORIN_REPORT_FIRST_FRAME"))
            new FirstFrameReporter(&dlg); // owned by the window
        dlg.show();
        result = QApplication::exec();
        // Teardown: the reader first, then the window, the toolkit and the simulated adapter.
        if (!dlg.stopListener())
            g_readerAbandoned = true;
    }
    return result;
}

} // namespace velorin::app
