#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace velorin::app;

namespace {

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* instance =
        QCoreApplication::instance() ? QCoreApplication::instance() : new QCoreApplication(argc, argv);
    return *instance;
}

// A running instance on its own thread with its own event loop, as another process would be.
class RunningInstance {
public:
    explicit RunningInstance(const QString& dir) {
        thread_ = std::thread([this, dir] {
            SingleInstance instance(dir);
            started_ = instance.isMYMutex(QString());
            QEventLoop loop;
            instance.setMarker(
                [&] {
                    ++closes_;
                    instance.removeMarker();
                    loop.quit();
                },
                [&] { ++activations_; });
            ready_ = true;
            QTimer stopper;
            QObject::connect(&stopper, &QTimer::timeout, &loop, [&] {
                if (stop_)
                    loop.quit();
            });
            stopper.start(10);
            loop.exec();
        });
        while (!ready_)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~RunningInstance() {
        stop_ = true;
        thread_.join();
    }
    bool started() const { return started_; }
    int closes() const { return closes_; }
    int activations() const { return activations_; }

private:
    std::thread thread_;
    std::atomic<bool> ready_{false}, stop_{false}, started_{false};
    std::atomic<int> closes_{0}, activations_{0};
};

bool waitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 300 && !condition(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return condition();
}

} // namespace

TEST(CommandLine, WholeLineComparedExactlyWithoutTheProgramsOwnOptions) {
    EXPECT_EQ(commandLineFromArguments({}), "");
    EXPECT_EQ(commandLineFromArguments({"-x"}), "-x");
    EXPECT_EQ(commandLineFromArguments({" -x"}), " -x");
    EXPECT_EQ(commandLineFromArguments({"-X"}), "-X");
    EXPECT_EQ(commandLineFromArguments({"-boot", "extra"}), "-boot extra");
    EXPECT_EQ(commandLineFromArguments({"--simulate", "-x"}), "-x");
    EXPECT_EQ(commandLineFromArguments({"--simulate", "/run/bus", "-boot"}), "-boot");
    EXPECT_EQ(commandLineFromArguments({"--simulate=/run/bus", "-x"}), "-x");
}

TEST(InstanceRequests, OnlyTheTwoKnownLines) {
    EXPECT_EQ(parseInstanceRequest("close\n"), InstanceRequest::Close);
    EXPECT_EQ(parseInstanceRequest("activate"), InstanceRequest::Activate);
    EXPECT_EQ(parseInstanceRequest("CLOSE"), InstanceRequest::None);
    EXPECT_EQ(parseInstanceRequest(QByteArray(5000, 'a')), InstanceRequest::None);
    EXPECT_EQ(parseInstanceRequest(QByteArray("close\0x", 7)), InstanceRequest::None);
}

TEST(SingleInstance, FirstStartTakesTheLockAndLaterStartsActivateIt) {
    app();
    QTemporaryDir dir;
    RunningInstance first(dir.path());
    ASSERT_TRUE(first.started());

    for (const char* line : {"", "-boot", "-X", " -x", "anything"}) {
        SingleInstance second(dir.path());
        EXPECT_FALSE(second.isMYMutex(QString::fromLatin1(line))) << line;
    }
    EXPECT_TRUE(waitFor([&] { return first.activations() == 5; })) << first.activations();
    EXPECT_EQ(first.closes(), 0);
}

TEST(SingleInstance, MinusXClosesTheRunningInstanceAndWaits) {
    app();
    QTemporaryDir dir;
    RunningInstance first(dir.path());
    SingleInstance closer(dir.path());
    EXPECT_FALSE(closer.isMYMutex(QStringLiteral("-x")));
    // The request returned only after the instance dropped its marker.
    EXPECT_EQ(first.closes(), 1);
}

TEST(SingleInstance, MinusXWithNothingRunningEndsWithoutTakingTheLock) {
    app();
    QTemporaryDir dir;
    SingleInstance closer(dir.path());
    EXPECT_FALSE(closer.isMYMutex(QStringLiteral("-x"))); // returns: no instance to wait for
    SingleInstance next(dir.path());
    EXPECT_TRUE(next.isMYMutex(QString())); // "-x" did not hold the lock
}

TEST(SingleInstance, LockIsFreeAgainAfterTheInstanceEnds) {
    app();
    QTemporaryDir dir;
    {
        SingleInstance first(dir.path());
        ASSERT_TRUE(first.isMYMutex(QString()));
        ASSERT_TRUE(first.setMarker({}, {}));
    }
    SingleInstance again(dir.path());
    EXPECT_TRUE(again.isMYMutex(QStringLiteral("-boot")));
    EXPECT_TRUE(again.setMarker({}, {})); // a marker socket left behind does not block the new one
}
