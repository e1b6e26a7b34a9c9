#include "FakeHid.h"
#include "TestSupport.h"

#include "device/AdapterSession.h"
#include "device/Discovery.h"
#include "device/HidInputWnd.h"
#include "device/Sequences.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <chrono>
#include <memory>
#include <mutex>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace velorin;
using namespace velorin::device;
using velorin::test::FakeBus;
using velorin::test::FakePlatform;
using velorin::test::NoticeCounter;
using velorin::test::pumpFor;
using velorin::test::pumpUntil;

namespace {

constexpr const char* kAdapter = "/dev/fake-adapter";

// Log entries written while a test runs (from any thread).
std::mutex g_logMutex;
QStringList g_log;
void captureLog(QtMsgType, const QMessageLogContext& ctx, const QString& text) {
    std::lock_guard lock(g_logMutex);
    g_log << QStringLiteral("%1:%2:%3")
                 .arg(QString::fromLatin1(ctx.file ? ctx.file : ""), text,
                      QString::fromLatin1(ctx.function ? ctx.function : ""));
}

class Listener : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureCoreApp();
        auto fake = test::makeFakeSession();
        bus = fake.bus;
        session = fake.session;
        bus->plug(test::keyboardInfo("/dev/fake-keyboard"), false);
        owner = std::make_unique<NoticeCounter>();
    }
    void TearDown() override {
        listener.reset();
        owner.reset();
    }
    void plugAdapter() { bus->plug(test::adapterInfo(kAdapter), true); }
    void start() { listener = std::make_unique<CHidInputWnd>(session, owner.get()); }
    test::FakeMonitor* monitor() const { return FakePlatform::lastMonitor; }

    std::shared_ptr<FakeBus> bus;
    std::shared_ptr<AdapterSession> session;
    std::unique_ptr<NoticeCounter> owner;
    std::unique_ptr<CHidInputWnd> listener;
};

TEST_F(Listener, StartWithoutAdapterPostsOneNoticeAndDoesNotSpin) {
    session->adapterSeen().store(true);
    start();
    ASSERT_TRUE(pumpUntil([&] { return owner->updates >= 1; }));
    const int scansBefore = bus->enumerateCount();
    pumpFor(1100);
    EXPECT_EQ(owner->updates, 1);
    EXPECT_FALSE(session->adapterSeen().load());
    // At most one fallback scan per 500 ms while nothing arrives.
    EXPECT_LE(bus->enumerateCount() - scansBefore, 4);
    EXPECT_EQ(owner->arrivals, 0);
}

TEST_F(Listener, CreationZeroesJoyData) {
    JoyState junk{};
    junk.fill(0x77);
    session->joyData().set(junk);
    start();
    EXPECT_EQ(session->joyData().get(), JoyState{});
}

TEST_F(Listener, KeepsOnlyMarkedReportsAndNotifiesAfterEveryRead) {
    plugAdapter();
    session->modeSelectPending().store(false);
    start();
    // The scan's probe opens and closes the adapter first; then the reader opens the handle it keeps.
    ASSERT_TRUE(pumpUntil([&] { return bus->openCount() >= 2 && bus->openHandles() == 1; }));
    const int before = owner->updates;

    bus->sendInput(kAdapter, test::padReport({0x01, 0x02, 0x03}));
    ASSERT_TRUE(pumpUntil([&] { return owner->updates == before + 1; }));
    EXPECT_EQ(session->joyData().get(), JoyState{});
    EXPECT_EQ(bus->openHandles(), 1u) << "the reader keeps its handle";

    bus->sendInput(kAdapter,
                   test::padReport({0xA1, 0xC4, 0x80, 0x80, 0x80, 0x80, 0, 0, 0x01, 0, 0, 0, 0xEE}));
    ASSERT_TRUE(pumpUntil([&] { return owner->updates == before + 2; }));
    EXPECT_EQ(session->joyData().get(), (JoyState{0xA1, 0xC4, 0x80, 0x80, 0x80, 0x80, 0, 0, 0x01, 0, 0, 0}));
    EXPECT_EQ(bus->countSent(CMD_SELECT_MODE), 0u);
}

TEST_F(Listener, AnotherDeviceArrivingScansAndAsksForReadBack) {
    plugAdapter();
    session->adapterPath().set(kAdapter);
    session->modeSelectPending().store(false);
    WorkModeBlock block;
    std::vector<ConsoleId> replaced;
    owner->onArrival = [&] { replaced = ReadBackFromAdapter(*session, block); };
    start();
    ASSERT_NE(monitor(), nullptr);

    const int scans = bus->enumerateCount();
    bus->plug(test::keyboardInfo("/dev/fake-mouse"), false);
    Q_EMIT monitor()->deviceArrived(QStringLiteral("/dev/fake-mouse"));
    // Sent and handled before the notice returns.
    EXPECT_EQ(owner->arrivals, 1);
    EXPECT_GT(bus->enumerateCount(), scans);
    EXPECT_EQ(session->adapterPath().get(), kAdapter);
    EXPECT_EQ(replaced.size(), 4u);

    // Another device removed: nothing changes.
    const JoyState held{0xA1, 0xC4, 0x80, 0x80, 0x80, 0x80, 0, 0, 0x01, 0, 0, 0};
    session->joyData().set(held);
    bus->unplug("/dev/fake-mouse");
    Q_EMIT monitor()->deviceRemoved(QStringLiteral("/dev/fake-mouse"));
    Q_EMIT monitor()->deviceRemoved(QStringLiteral("/dev/fake-adapter2"));
    Q_EMIT monitor()->deviceRemoved(QString());
    EXPECT_EQ(session->adapterPath().get(), kAdapter);
    EXPECT_EQ(session->joyData().get(), held);

    // The adapter's own removal, its path spelled in another case: path and state cleared, and one
    // notice so the lamps go out even when the reader already reported the adapter gone.
    const int updates = owner->updates;
    bus->unplug(kAdapter);
    Q_EMIT monitor()->deviceRemoved(QStringLiteral("/DEV/Fake-Adapter"));
    EXPECT_EQ(session->adapterPath().get(), "");
    EXPECT_EQ(session->joyData().get(), JoyState{});
    EXPECT_TRUE(pumpUntil([&] { return owner->updates > updates; }));
}

// A pad state stored by a read that raced with the adapter's removal (the removal zeroed the
// state first) must not keep lamps lit: the reader, finding the adapter gone, clears the state and
// notifies once more.
TEST_F(Listener, AStateLeftWhenTheAdapterIsGoneIsClearedByTheReader) {
    plugAdapter();
    start();
    ASSERT_TRUE(
        pumpUntil([&] { return session->adapterPath().get() == kAdapter && session->adapterSeen().load(); }));
    pumpFor(20); // the reader is waiting in its read now
    const JoyState held{0xA1, 0xC4, 0x80, 0x80, 0x80, 0x80, 0, 0, 0x01, 0, 0, 0};
    bus->unplug(kAdapter);
    session->joyData().set(held); // as the raced read would leave it, after the removal's own clearing
    const int updates = owner->updates;
    EXPECT_TRUE(pumpUntil([&] { return session->joyData().get() == JoyState{}; }));
    EXPECT_TRUE(pumpUntil([&] { return owner->updates > updates; }));
}

// Two sessions share nothing: a pad state, a selected console and a mode select of one stay in
// it and reach only its own adapter.
TEST_F(Listener, TwoSessionsShareNothing) {
    plugAdapter();
    session->modeSelectPending().store(false);
    start();
    const test::FakeSession other = test::makeFakeSession();
    other.bus->plug(test::adapterInfo(kAdapter), true);
    other.session->modeSelectPending().store(false);
    NoticeCounter otherOwner;
    CHidInputWnd otherListener(other.session, &otherOwner);
    ASSERT_TRUE(pumpUntil([&] { return bus->openHandles() == 1 && other.bus->openHandles() == 1; }));

    bus->sendInput(kAdapter, test::padReport({0xA1, 0xC4, 0x80, 0x80, 0x80, 0x80, 0, 0, 0x01}));
    ASSERT_TRUE(pumpUntil([&] { return session->joyData().get()[8] == 0x01; }));
    other.session->selectedConsole().store(ConsoleId::XBOX);
    other.session->modeSelectPending().store(true);
    other.session->wakeReader();
    ASSERT_TRUE(pumpUntil([&] { return other.bus->countSent(CMD_SELECT_MODE) == 5; }));
    EXPECT_FALSE(other.session->modeSelectPending().load());
    EXPECT_EQ(bus->countSent(CMD_SELECT_MODE), 0u);
    EXPECT_EQ(other.session->joyData().get(), JoyState{});
    EXPECT_EQ(other.session->readerReportCount(), 0u);
    EXPECT_EQ(session->selectedConsole().load(), ConsoleId::PS3);
    EXPECT_TRUE(otherListener.stopReader(test::kHangLimit));
}

TEST_F(Listener, ArrivalWithoutAdapterStillNotifiesAndFindsALaterOne) {
    start();
    Q_EMIT monitor()->deviceArrived(QStringLiteral("/dev/fake-keyboard"));
    EXPECT_EQ(owner->arrivals, 1);
    EXPECT_EQ(session->adapterPath().get(), "");
    plugAdapter();
    Q_EMIT monitor()->deviceArrived(QString::fromLatin1(kAdapter));
    EXPECT_EQ(owner->arrivals, 2);
    EXPECT_EQ(session->adapterPath().get(), kAdapter);
}

TEST_F(Listener, StopEndsAReaderWaitingForAReportOrForTheAdapter) {
    plugAdapter();
    session->modeSelectPending().store(false);
    start();
    ASSERT_TRUE(pumpUntil([&] { return bus->openHandles() == 1; }));
    // The reader waits in a read without a time limit: only the stop ends it. How long stopping
    // takes is left to bench/; the bound here only ends a hung run.
    EXPECT_TRUE(listener->stopReader(test::kHangLimit));
    EXPECT_FALSE(listener->readerRunning());
    EXPECT_EQ(bus->openHandles(), 0u);
    EXPECT_TRUE(listener->stopReader()) << "a second stop does nothing";

    // Also while waiting for an adapter.
    listener.reset();
    bus->unplug(kAdapter);
    start();
    ASSERT_TRUE(pumpUntil([&] { return !session->adapterSeen().load(); }));
    EXPECT_TRUE(listener->stopReader(test::kHangLimit));
    EXPECT_FALSE(listener->readerRunning());
    listener.reset();
}

TEST_F(Listener, NothingReachesAGoneOwner) {
    start();
    ASSERT_TRUE(pumpUntil([&] { return owner->updates == 1; }));
    owner.reset();
    // With the owner gone the absent branch cannot post, so it keeps adapterSeen set.
    plugAdapter();
    session->modeSelectPending().store(false);
    ASSERT_TRUE(pumpUntil([&] { return session->adapterSeen().load() && bus->openHandles() == 1; }));
    bus->sendInput(kAdapter, test::padReport({0xA1, 0xC4}));
    bus->unplug(kAdapter);
    session->adapterPath().clear();
    pumpFor(700);
    EXPECT_TRUE(session->adapterSeen().load());
    Q_EMIT monitor()->deviceArrived(QStringLiteral("/dev/fake-keyboard")); // sends nothing, no crash
}

TEST_F(Listener, AnExceptionInAPassIsLoggedAndTheReaderGoesOn) {
    {
        std::lock_guard lock(g_logMutex);
        g_log.clear();
    }
    const QtMessageHandler previous = qInstallMessageHandler(captureLog);
    bus->throwOnEnumerate(2);
    start();
    plugAdapter();
    session->modeSelectPending().store(false);
    ASSERT_TRUE(pumpUntil([&] { return bus->openHandles() == 1; }));
    listener.reset();
    qInstallMessageHandler(previous);
    std::lock_guard lock(g_logMutex);
    EXPECT_EQ(g_log.filter(QStringLiteral("HidInputWnd:AsynchReadThreadProc exception:AsynchReadThreadProc"))
                  .size(),
              2)
        << g_log.join(QLatin1Char('\n')).toStdString();
}

// With no descriptor left to make (the process at its file limit), the listener cannot set up its
// reader; it says so and the program goes on without live lamps instead of ending.
TEST_F(Listener, StartsWithoutAReaderWhenNoDescriptorCanBeMade) {
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    std::vector<int> filler;
    rlimit tight = saved;
    tight.rlim_cur = 256;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    for (int fd; (fd = ::dup(0)) >= 0;)
        filler.push_back(fd);
    // Two left free: fewer than the reader needs, enough for a sanitizer runtime's own pipe.
    for (int i = 0; i < 2 && !filler.empty(); ++i) {
        ::close(filler.back());
        filler.pop_back();
    }
    EXPECT_NO_THROW(start());
    for (int fd : filler)
        ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_FALSE(listener->readerRunning());
    EXPECT_TRUE(listener->stopReader());
    Q_EMIT monitor()->deviceArrived(QStringLiteral("/dev/fake-keyboard")); // still handled
    EXPECT_EQ(owner->arrivals, 1);
}

} // namespace
