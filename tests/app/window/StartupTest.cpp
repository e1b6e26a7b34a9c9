// Start-up: the program's own options, the simulated adapter child, the single instance as
// separate processes of the real program, and the guarded lamp refresh.
#include "WindowTestSupport.h"

#include "app/SingleInstance.h"
#include "app/Velorin.h"
#include "device/Discovery.h"
#include "device/Sequences.h"
#include "device/hid/HidPlatform.h"
#include "model/Log.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>

using namespace velorin;
using namespace velorin::app;
using namespace velorin::app::test;

TEST(StartOptions, SimulateTakesAnOptionalBus) {
    struct Case {
        QStringList args;
        bool simulate;
        QString bus;
    };
    const Case cases[] = {
        {{}, false, {}},
        {{"--simulate"}, true, {}},
        {{"--simulate", "/tmp/bus"}, true, "/tmp/bus"},
        {{"--simulate", "-boot"}, true, {}},
        {{"--simulate=/run/b"}, true, "/run/b"},
        {{"-x", "--simulate"}, true, {}},
        {{"--SIMULATE"}, false, {}},
    };
    for (const Case& c : cases) {
        const StartOptions o = parseStartOptions(c.args);
        EXPECT_EQ(o.simulate, c.simulate) << c.args.join(' ').toStdString();
        EXPECT_EQ(o.simBus, c.bus) << c.args.join(' ').toStdString();
    }
    // The switch test sees the command line without them.
    EXPECT_EQ(commandLineFromArguments({"--simulate", "/tmp/bus", "-x"}), "-x");
}

TEST(StartOptions, InfoAndDebugLinesStayOffATerminalUnlessAsked) {
    struct Case {
        bool verbose;      // -v
        const char* env;   // VELORIN_VERBOSE
        bool terminal;     // stderr is a terminal
        bool infoAndDebug; // shown
    };
    const Case cases[] = {
        {false, "", true, false}, {true, "", true, true},  {false, "1", true, true},
        {false, "", false, true}, {true, "", false, true},
    };
    const QByteArray saved = qgetenv("VELORIN_VERBOSE");
    for (const Case& c : cases) {
        qputenv("VELORIN_VERBOSE", c.env);
        QLoggingCategory::setFilterRules(QString());
        chooseLogLevel(c.verbose, c.terminal);
        const std::string what = std::to_string(c.verbose) + c.env + std::to_string(c.terminal);
        EXPECT_EQ(lcSoui().isInfoEnabled(), c.infoAndDebug) << what;
        EXPECT_EQ(lcSoui().isDebugEnabled(), c.infoAndDebug) << what;
        EXPECT_TRUE(lcSoui().isWarningEnabled()) << what;
        EXPECT_TRUE(lcSoui().isCriticalEnabled()) << what;
    }
    QLoggingCategory::setFilterRules(QString());
    qputenv("VELORIN_VERBOSE", saved);
}

TEST(GuardedKeystatus, AnExceptionIsLoggedWithItsTextAndLineAndTheNextHandlerRuns) {
    struct Logged {
        QtMsgType type;
        QString file, function, text;
        int line;
    };
    static std::vector<Logged> logged;
    logged.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& ctx, const QString& text) {
            logged.push_back(
                {type, QString::fromUtf8(ctx.file), QString::fromUtf8(ctx.function), text, ctx.line});
        });
    const struct {
        const char* text;
        int line;
    } rows[] = {{"m_PS3Handler.ShowKeystatus exception", 33},
                {"m_PS4Handler.ShowKeystatus(); exception", 41},
                {"m_SwtichHandler.ShowKeystatus(); exception", 48},
                {"m_XBOXHandler.ShowKeystatus(); exception", 55}};
    int calls = 0;
    guardedShowKeystatus(
        [&] {
            ++calls;
            throw std::runtime_error("lamp");
        },
        rows[0].text, rows[0].line);
    guardedShowKeystatus(
        [&] {
            ++calls;
            throw 7;
        },
        rows[1].text, rows[1].line);
    guardedShowKeystatus([&] { ++calls; }, "not logged", 1);
    guardedShowKeystatus(
        [&] {
            ++calls;
            throw std::logic_error("x");
        },
        rows[2].text, rows[2].line);
    guardedShowKeystatus(
        [&] {
            ++calls;
            throw std::bad_alloc();
        },
        rows[3].text, rows[3].line);
    qInstallMessageHandler(previous);

    EXPECT_EQ(calls, 5);
    ASSERT_EQ(logged.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(logged[i].type, QtCriticalMsg);
        EXPECT_EQ(logged[i].file, QStringLiteral("MainDlg"));
        EXPECT_EQ(logged[i].line, rows[i].line);
        EXPECT_EQ(logged[i].function, QStringLiteral("CMainDlg::OnWMUpdateJoydate"));
        EXPECT_EQ(logged[i].text, QString::fromLatin1(rows[i].text));
    }
}

TEST(Simulate, ChildServesTheDefaultAssignmentAndEndsWithItsOwner) {
    test::app();
    SimulatedAdapter sim;
    QString error;
    ASSERT_TRUE(
        sim.start(QStringLiteral(VELORIN_SIM_PATH), QString(), QStringLiteral(VELORIN_DEFAULT_KVF), &error))
        << error.toStdString();
    EXPECT_TRUE(sim.running());
    EXPECT_TRUE(QFileInfo::exists(sim.busDir() + QStringLiteral("/adapter")));
    device::AdapterSession session(hid::makeSimPlatform(sim.busDir().toStdString()));

    WorkModeBlock block;
    const auto replaced = device::ReadBackFromAdapter(session, block);
    EXPECT_EQ(replaced.size(), 4u);
    WorkModeBlock::Bytes expected{};
    ASSERT_EQ(readKvf(QStringLiteral(VELORIN_DEFAULT_KVF), expected), KvfReadStatus::Ok);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), block.raw().begin()));

    sim.stop();
    EXPECT_FALSE(sim.running());
    EXPECT_FALSE(QFileInfo::exists(sim.busDir() + QStringLiteral("/adapter")));

    SimulatedAdapter missing;
    EXPECT_FALSE(missing.start(QString(), QString(), QString(), &error));
    EXPECT_FALSE(missing.running());
}

#ifdef VELORIN_APP_PATH
namespace {

// The real program in its own process, with its own runtime folder and an empty simulated bus;
// on the offscreen platform, or without any display.
class Program {
public:
    explicit Program(const QString& runtimeDir, const QString& busDir, bool display = true) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
        env.insert(QStringLiteral("VELORIN_SIM_BUS"), busDir);
        if (display) {
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        } else {
            for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
                env.remove(QString::fromLatin1(name));
        }
        // The program under a sanitizer build: the same allowances as the tests themselves.
        env.insert(QStringLiteral("LSAN_OPTIONS"),
                   QStringLiteral("suppressions=") + supp(u"leak:libfontconfig.so\nleak:libdbus-1.so\n"));
        env.insert(QStringLiteral("TSAN_OPTIONS"), QStringLiteral("die_after_fork=0:suppressions=") +
                                                       supp(u"race:libQt6Core.so\nrace:libQt6Gui.so\n"));
        process_.setProcessEnvironment(env);
        process_.setProgram(QStringLiteral(VELORIN_APP_PATH));
        process_.setProcessChannelMode(QProcess::MergedChannels);
    }
    ~Program() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    void start(const QStringList& args) {
        process_.setArguments(args);
        process_.start();
        process_.waitForStarted(5000);
    }
    // Waits for the end; the exit code, or -1 when it still runs.
    int finish(int timeoutMs) {
        if (!process_.waitForFinished(timeoutMs))
            return -1;
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -2;
    }
    bool running() const { return process_.state() == QProcess::Running; }
    qint64 pid() const { return process_.processId(); }
    // Writes a suppression file for the child and returns its path.
    QString supp(QStringView lines) {
        const QString path = dir_.filePath(QString::number(++files_) + QStringLiteral(".supp"));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(lines.toUtf8());
        return path;
    }
    QString output() { return QString::fromUtf8(process_.readAll()); }

private:
    QTemporaryDir dir_;
    int files_ = 0;
    QProcess process_;
};

class SingleInstanceProcesses : public ::testing::Test {
protected:
    void SetUp() override {
        test::app();
        ASSERT_TRUE(runtime_.isValid());
        ASSERT_TRUE(QDir().mkpath(bus()));
        QFile::setPermissions(bus(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString marker() const {
        return runtime_.path() + QStringLiteral("/Velorin-Mutex{15EE4096-8AC3-4708-A2E6-B581F600A5EB}");
    }
    QString bus() const { return runtime_.path() + QStringLiteral("/bus"); }
    std::unique_ptr<Program> startFirst() {
        auto p = std::make_unique<Program>(runtime_.path(), bus());
        p->start({});
        EXPECT_TRUE(waitUntil([&] { return QFileInfo::exists(marker()); }, 15000))
            << p->output().toStdString();
        return p;
    }
    std::unique_ptr<Program> program(bool display = true) {
        return std::make_unique<Program>(runtime_.path(), bus(), display);
    }

    QTemporaryDir runtime_;
};

} // namespace

TEST_F(SingleInstanceProcesses, DashXClosesTheRunningInstance) {
    auto first = startFirst();
    // Started from elsewhere, it works in the folder of its executable.
    EXPECT_EQ(QFileInfo(QStringLiteral("/proc/%1/cwd").arg(first->pid())).canonicalFilePath(),
              QFileInfo(QStringLiteral(VELORIN_APP_PATH)).canonicalPath());
    auto closer = program();
    closer->start({"-x"});
    EXPECT_EQ(closer->finish(10000), 0);
    EXPECT_EQ(first->finish(10000), 0) << first->output().toStdString();
    EXPECT_FALSE(QFileInfo::exists(marker()));
}

TEST_F(SingleInstanceProcesses, DashXWithNothingRunningEndsAtOnceWithoutAWindow) {
    auto closer = program();
    closer->start({"-x"});
    EXPECT_EQ(closer->finish(10000), 0);
    EXPECT_FALSE(QFileInfo::exists(marker()));
}

TEST_F(SingleInstanceProcesses, WithoutADisplayOnlyTheInstanceDecisionRuns) {
    auto closer = program(false);
    closer->start({"-x"});
    EXPECT_EQ(closer->finish(10000), 0) << closer->output().toStdString();
    auto alone = program(false);
    alone->start({});
    EXPECT_EQ(alone->finish(10000), 1);
    EXPECT_EQ(alone->output(), QStringLiteral("velorin: no display; set DISPLAY or WAYLAND_DISPLAY\n"));

    auto first = startFirst();
    auto second = program(false);
    second->start({});
    EXPECT_EQ(second->finish(10000), 0) << second->output().toStdString();
    EXPECT_TRUE(first->running());
    closer = program(false);
    closer->start({"-x"});
    EXPECT_EQ(closer->finish(10000), 0) << closer->output().toStdString();
    EXPECT_EQ(first->finish(10000), 0);
    EXPECT_FALSE(QFileInfo::exists(marker()));
}

TEST_F(SingleInstanceProcesses, OtherCommandLinesActivateTheRunningOneAndEnd) {
    auto first = startFirst();
    for (const QStringList& args :
         {QStringList{}, QStringList{"-X"}, QStringList{" -x"}, QStringList{"-boot"}}) {
        auto second = program();
        second->start(args);
        EXPECT_EQ(second->finish(10000), 0) << args.join(' ').toStdString();
        EXPECT_TRUE(first->running()) << args.join(' ').toStdString();
    }
    auto closer = program();
    closer->start({"-x"});
    EXPECT_EQ(closer->finish(10000), 0);
    EXPECT_EQ(first->finish(10000), 0);
}

TEST_F(SingleInstanceProcesses, UpperCaseXStartsNormallyWhenAlone) {
    for (const QStringList& args : {QStringList{"-X"}, QStringList{" -x"}, QStringList{"-boot"}}) {
        auto p = program();
        p->start(args);
        EXPECT_TRUE(waitUntil([&] { return QFileInfo::exists(marker()); }, 15000))
            << args.join(' ').toStdString();
        EXPECT_TRUE(p->running());
        auto closer = program();
        closer->start({"-x"});
        EXPECT_EQ(closer->finish(10000), 0);
        EXPECT_EQ(p->finish(10000), 0);
        if (args == QStringList{"-boot"}) {
            EXPECT_TRUE(p->output().contains(QStringLiteral("strCmdLine.Compare - boot")));
        }
    }
}

// A reader stuck in writes that the adapter never acknowledges must not keep the program from
// ending, nor run on into what the exit takes down: after its bound the process ends at once.
TEST_F(SingleInstanceProcesses, CloseWhileTheReaderIsStuckInAWriteEndsCleanly) {
    hid::SimController sim{QStringLiteral(VELORIN_SIM_PATH)};
    ASSERT_TRUE(sim.start());
    // Stuck far longer than the stop's bound, however slowly this machine gets to the stop.
    ASSERT_TRUE(sim.command(QStringLiteral("stall 60000")));
    Program p(runtime_.path(), QString::fromStdString(sim.busDir()));
    p.start({});
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(marker()); }, 15000)) << p.output().toStdString();
    ASSERT_TRUE(
        sim.waitForOutputReports(2, 5000)); // the read-back request and the reader's first mode select
    ::kill(static_cast<pid_t>(p.pid()), SIGTERM);
    EXPECT_EQ(p.finish(15000), 0);
    EXPECT_TRUE(p.output().contains(QStringLiteral("did not end within"))) << "the reader was not stuck";
}
#endif
