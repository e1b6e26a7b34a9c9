// The link against the simulated adapter process, checking the bytes it logs.
#include "TestSupport.h"
#include "tests/support/SimController.h"

#include "device/AdapterSession.h"
#include "device/Discovery.h"
#include "device/HidInputWnd.h"
#include "device/Reports.h"
#include "device/Sequences.h"

#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <chrono>

using namespace velorin;
using namespace velorin::device;
using velorin::test::NoticeCounter;
using velorin::test::pumpFor;
using velorin::test::pumpUntil;

namespace {

#ifdef VELORIN_SIM_PATH

std::vector<uint8_t> frame(std::initializer_list<uint8_t> head, std::span<const uint8_t> args = {}) {
    std::vector<uint8_t> v(hid::kOutputReportSize, 0);
    std::copy(head.begin(), head.end(), v.begin());
    std::copy(args.begin(), args.end(), v.begin() + 4);
    return v;
}

WorkModeBlock patternBlock() {
    WorkModeBlock block;
    std::array<uint8_t, kBlockSize> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(0x21 + i);
    block.replaceAll(bytes);
    return block;
}

class SimLink : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureCoreApp();
        sim = std::make_unique<hid::SimController>(QStringLiteral(VELORIN_SIM_PATH));
        ASSERT_TRUE(sim->start(startArgs()));
        session = std::make_shared<AdapterSession>(sim->makePlatform());
        session->modeSelectPending().store(false);
    }
    void TearDown() override {
        listener.reset();
        owner.reset();
        session.reset();
        sim.reset();
    }
    virtual QStringList startArgs() const { return {}; }

    bool command(const std::string& line) { return sim->command(QString::fromStdString(line)); }

    std::vector<hid::SimController::OutputReportLog> reportsAfter(std::size_t count, int settleMs = 150) {
        EXPECT_TRUE(sim->waitForOutputReports(count, int(test::kHangLimit.count())));
        pumpFor(settleMs); // anything beyond `count` would show up here
        return sim->outputReports();
    }

    // Sends a pad state until the reader took it: a state sent before the reader opened the
    // adapter reaches nobody.
    bool padUntilTaken(const std::string& hex, uint8_t byte8) {
        for (const QDeadlineTimer hang(test::kHangLimit); !hang.hasExpired();) {
            if (!command("pad " + hex))
                return false;
            if (pumpUntil([&] { return session->joyData().get()[8] == byte8; }, 50))
                return true;
        }
        return false;
    }

    void startListener() {
        owner = std::make_unique<NoticeCounter>();
        listener = std::make_unique<CHidInputWnd>(session, owner.get());
    }

    std::unique_ptr<hid::SimController> sim;
    std::shared_ptr<AdapterSession> session;
    std::unique_ptr<NoticeCounter> owner;
    std::unique_ptr<CHidInputWnd> listener;
};

TEST_F(SimLink, FullApplyPutsFiveReportsOnTheWire) {
    WorkModeBlock block = patternBlock();
    const ApplyResult result = ApplyToAdapter(*session, block, ConsoleId::SWITCH);
    EXPECT_EQ(result.status, ApplyStatus::Success);

    const auto out = reportsAfter(5);
    ASSERT_EQ(out.size(), 5u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(out[i].accepted);
        EXPECT_EQ(out[i].bytes, frame({0x00, 0x30, 0xAA, 0x55}, block.record(kBlockOrder[i]))) << i;
    }
    EXPECT_EQ(out[4].bytes, frame({0x00, 0x32, 0xAA, 0x55, 0x01, 0x04}));

    const auto raw = block.raw();
    EXPECT_EQ(raw[0], 1);
    EXPECT_EQ(raw[27], 2);
    EXPECT_EQ(raw[54], 4);
    EXPECT_EQ(raw[81], 3);
    for (std::size_t r = 0; r < 4; ++r)
        for (std::size_t b = 6; b <= 9; ++b)
            EXPECT_EQ(raw[r * kRecordSize + b], 0) << "record " << r << " byte " << b;
    EXPECT_EQ(raw[26], 0);
    EXPECT_EQ(raw[81 + 26], 0);
    EXPECT_EQ(raw[27 + 26], 0x21 + 27 + 26) << "PS4 keeps SHARE";
    EXPECT_EQ(raw[54 + 26], 0x21 + 54 + 26) << "SWITCH keeps CAPTURE";

    const auto stored = sim->dump();
    ASSERT_TRUE(stored);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_TRUE(std::equal((*stored)[i].begin(), (*stored)[i].end(), raw.begin() + i * kRecordSize)) << i;
}

TEST_F(SimLink, RefusedWriteForEachConsole) {
    const struct {
        const char* word;
        ConsoleId console;
        const char* text;
    } cases[] = {
        {"ps3", ConsoleId::PS3, "Write ps3 workModeData error"},
        {"ps4", ConsoleId::PS4, "Write ps4 workModeData error"},
        {"switch", ConsoleId::SWITCH, "Write switch workModeData error"},
        {"xbox", ConsoleId::XBOX, "Write Xbox workModeData error"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(command(std::string("refuse ") + c.word + " on"));
        sim->clearOutputReports();
        const auto storedBefore = sim->dump();
        WorkModeBlock block = patternBlock();
        const WorkModeBlock before = block;

        const ApplyResult result = ApplyToAdapter(*session, block, ConsoleId::PS3);
        EXPECT_EQ(applyErrorText(result), c.text);

        const std::size_t failedAt = static_cast<std::size_t>(consoleInfo(c.console).blockIndex);
        const auto out = reportsAfter(failedAt + 1);
        ASSERT_EQ(out.size(), failedAt + 1) << c.text << ": no report after the refused one, no mode select";
        EXPECT_FALSE(out.back().accepted);
        const auto stored = sim->dump();
        for (std::size_t i = 0; i < 4; ++i) {
            const auto rec = block.record(kBlockOrder[i]);
            const auto old = before.record(kBlockOrder[i]);
            if (i < failedAt) {
                EXPECT_TRUE(out[i].accepted);
                EXPECT_TRUE(std::equal(rec.begin(), rec.end(), (*stored)[i].begin()))
                    << c.text << " wrote " << i;
            } else if (i > failedAt) {
                EXPECT_TRUE(std::equal(rec.begin(), rec.end(), old.begin())) << c.text << " untouched " << i;
            }
            if (i >= failedAt) {
                EXPECT_EQ((*stored)[i], (*storedBefore)[i]) << c.text << ": the adapter keeps record " << i;
            }
        }
        ASSERT_TRUE(command(std::string("refuse ") + c.word + " off"));
    }
}

TEST_F(SimLink, ReadBackWithTheSwitchReplyMissing) {
    WorkModeBlock seed = patternBlock();
    ASSERT_EQ(ApplyToAdapter(*session, seed, ConsoleId::PS3).status, ApplyStatus::Success);
    ASSERT_TRUE(command("drop switch on"));
    sim->clearOutputReports();

    WorkModeBlock block; // all zero
    std::vector<ConsoleId> redrawn;
    ReadBackEnd end = ReadBackEnd::Complete;
    const auto replaced = ReadBackFromAdapter(
        *session, block, [&](ConsoleId c) { redrawn.push_back(c); }, &end);
    EXPECT_EQ(replaced, (std::vector{ConsoleId::PS3, ConsoleId::PS4}));
    EXPECT_EQ(end, ReadBackEnd::NoReply);
    EXPECT_EQ(redrawn, replaced);
    EXPECT_TRUE(std::equal(block.raw().begin(), block.raw().begin() + 54, seed.raw().begin()));
    EXPECT_TRUE(std::all_of(block.raw().begin() + 54, block.raw().end(), [](uint8_t b) { return b == 0; }));

    const auto out = reportsAfter(3);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].bytes, frame({0x00, 0x31, 0xAA, 0x55, 0x01}));
    EXPECT_EQ(out[1].bytes, frame({0x00, 0x31, 0xAA, 0x55, 0x02}));
    EXPECT_EQ(out[2].bytes, frame({0x00, 0x31, 0xAA, 0x55, 0x04}));
}

TEST_F(SimLink, ReadBackEndsAtARefusedRequest) {
    ASSERT_TRUE(command("refuse ps4 on"));
    WorkModeBlock block = patternBlock();
    const WorkModeBlock before = block;
    const auto stored = sim->dump();
    ASSERT_TRUE(stored);
    ReadBackEnd end = ReadBackEnd::Complete;
    EXPECT_EQ(ReadBackFromAdapter(*session, block, {}, &end), std::vector{ConsoleId::PS3});
    EXPECT_EQ(end, ReadBackEnd::RequestFailed) << "a refused request is a failed write, not a missing reply";
    EXPECT_TRUE(std::equal((*stored)[0].begin(), (*stored)[0].end(), block.raw().begin()));
    EXPECT_TRUE(std::equal(block.raw().begin() + 27, block.raw().end(), before.raw().begin() + 27));
    EXPECT_EQ(reportsAfter(2).size(), 2u) << "nothing after the refused request";
}

TEST_F(SimLink, PadReportsBetweenRequestAndReplyAreNotRecords) {
    WorkModeBlock seed = patternBlock();
    ASSERT_EQ(ApplyToAdapter(*session, seed, ConsoleId::PS3).status, ApplyStatus::Success);
    // Every reply comes after pad states of its own, and the demo stream runs besides.
    for (const char* word : {"ps3", "ps4", "switch", "xbox"})
        ASSERT_TRUE(command(std::string("lead ") + word + " 20"));
    ASSERT_TRUE(command("demo 500"));
    pumpFor(50);
    WorkModeBlock block;
    EXPECT_EQ(ReadBackFromAdapter(*session, block).size(), 4u);
    ASSERT_TRUE(command("demo off"));
    EXPECT_EQ(block, seed);
}

// A reply that came too late for one read-back reaches the handle of the next one when that one
// starts before it arrives (a second arrival right after the first read-back). It belongs to
// another console, so it must not become the record asked for.
TEST_F(SimLink, ALateReplyForAnotherConsoleIsNotTakenForTheRecordAsked) {
    WorkModeBlock seed = patternBlock();
    ASSERT_EQ(ApplyToAdapter(*session, seed, ConsoleId::PS3).status, ApplyStatus::Success);
    // PS4's reply is held back: the first read-back's wait for it runs out.
    ASSERT_TRUE(command("hold ps4 on"));
    WorkModeBlock first;
    EXPECT_EQ(ReadBackFromAdapter(*session, first), std::vector{ConsoleId::PS3});
    // The held PS4 reply goes out just before PS3's own, inside the next read-back's wait for PS3.
    ASSERT_TRUE(command("hold ps4 off"));
    sim->clearOutputReports();
    WorkModeBlock second;
    EXPECT_EQ(ReadBackFromAdapter(*session, second).size(), 4u);
    EXPECT_EQ(second, seed);
    // The second read-back asked once for each console: the stray reply cost no request.
    const auto out = reportsAfter(4, 0);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].bytes, frame({0x00, 0x31, 0xAA, 0x55, 0x01}));
}

TEST_F(SimLink, ModeSelectsAtTheNextOpenWhilePending) {
    session->selectedConsole().store(ConsoleId::XBOX);
    session->modeSelectPending().store(true);
    startListener();
    auto out = reportsAfter(5, 300);
    ASSERT_EQ(out.size(), 5u);
    for (const auto& r : out)
        EXPECT_EQ(r.bytes, frame({0x00, 0x32, 0xAA, 0x55, 0x01, 0x03}));
    EXPECT_FALSE(session->modeSelectPending().load());

    // Later passes (driven by pad reports) send none.
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(command("pad 80 80 80 80 00 00 01"));
    ASSERT_TRUE(pumpUntil([&] { return session->joyData().get()[8] == 0x01; }));
    pumpFor(200);
    EXPECT_EQ(sim->outputReports().size(), 5u);

    // All five refused: still pending, and five again at the next opening.
    ASSERT_TRUE(command("refuse xbox on"));
    sim->clearOutputReports();
    session->modeSelectPending().store(true);
    ASSERT_TRUE(command("pad 80 80 80 80 00 00 02"));
    out = reportsAfter(5, 200);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_FALSE(out[0].accepted);
    EXPECT_TRUE(session->modeSelectPending().load());
    ASSERT_TRUE(command("pad 80 80 80 80 00 00 04"));
    EXPECT_EQ(reportsAfter(10, 200).size(), 10u);
    EXPECT_TRUE(session->modeSelectPending().load());
}

TEST_F(SimLink, LiveStateReachesJoyData) {
    startListener();
    ASSERT_TRUE(padUntilTaken("7F 81 80 80 00 00 41 80 05", 0x41));
    const JoyState s = session->joyData().get();
    EXPECT_TRUE(lampOn(s, PadButton::lxhih_L));
    EXPECT_TRUE(lampOn(s, PadButton::lyhih_DOWN));
    EXPECT_TRUE(lampOn(s, PadButton::A));
    EXPECT_TRUE(lampOn(s, PadButton::L1));
    EXPECT_TRUE(lampOn(s, PadButton::CAPTURE));
    EXPECT_TRUE(lampOn(s, PadButton::ARROW_UP));
    EXPECT_TRUE(lampOn(s, PadButton::ARROW_L));
    EXPECT_FALSE(lampOn(s, PadButton::B));
    EXPECT_TRUE(pumpUntil([&] { return owner->updates >= 1; }));
}

// The reader keeps one handle while the adapter stays: a burst of states sent faster than any
// reopening could follow is read in full, the notices to an owner that handles no event meanwhile
// collapse into the one on its way, and a mode select request goes out at once, with no pad
// report to wake the reader.
TEST_F(SimLink, ReaderKeepsItsHandleReadsEveryReportAndWakesForModeSelects) {
    startListener();
    ASSERT_TRUE(padUntilTaken("80 80 80 80 00 00 01", 0x01));
    pumpFor(50);
    const int updatesBefore = owner->updates;
    const uint64_t readBefore = session->readerReportCount();
    constexpr int kBurst = 300;
    for (int i = 0; i < kBurst; ++i) // the owner handles no event meanwhile
        ASSERT_TRUE(command("pad 80 80 80 80 00 00 " + std::string(i % 2 ? "02" : "04")));
    // Still without running the owner's events: the reader reads on its own.
    const QDeadlineTimer hang(test::kHangLimit);
    while (session->readerReportCount() - readBefore < kBurst && !hang.hasExpired())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(session->readerReportCount() - readBefore, uint64_t(kBurst));
    pumpFor(50);
    EXPECT_EQ(session->readerReportCount() - readBefore, uint64_t(kBurst));
    // One notice per report would be 300. The first one posted stays on its way until the owner
    // handles it, and the reader posts no other meanwhile; one more may follow when the owner
    // handled it just before the reader's notice after its last read.
    EXPECT_GE(owner->updates - updatesBefore, 1);
    EXPECT_LE(owner->updates - updatesBefore, 2);
    EXPECT_EQ(session->joyData().get()[8], 0x02) << "the last state is the one kept";

    sim->clearOutputReports();
    session->selectedConsole().store(ConsoleId::SWITCH);
    session->modeSelectPending().store(true);
    session->wakeReader();
    const auto out = reportsAfter(5);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[0].bytes, frame({0x00, 0x32, 0xAA, 0x55, 0x01, 0x04}));
    EXPECT_FALSE(session->modeSelectPending().load());
}

class SimLinkNoAdapter : public SimLink {
protected:
    QStringList startArgs() const override { return {QStringLiteral("--no-adapter")}; }
};

TEST_F(SimLinkNoAdapter, ApplyAndReadBackWithoutAdapter) {
    WorkModeBlock block = patternBlock();
    const WorkModeBlock before = block;
    const ApplyResult result = ApplyToAdapter(*session, block, ConsoleId::PS3);
    EXPECT_EQ(applyErrorText(result), "CreateFileHandle error");
    EXPECT_TRUE(ReadBackFromAdapter(*session, block).empty());
    EXPECT_EQ(block, before);
    pumpFor(100);
    EXPECT_TRUE(sim->outputReports().empty());
}

TEST_F(SimLinkNoAdapter, StartPostsOneNoticeThenOthersArriveAndTheAdapterComesAndGoes) {
    startListener();
    ASSERT_TRUE(pumpUntil([&] { return owner->updates == 1; }));
    pumpFor(700);
    EXPECT_EQ(owner->updates, 1);

    // The adapter arrives: a scan, a stored path, WM_HID_ARRIVAL with a read-back.
    WorkModeBlock block;
    std::vector<ConsoleId> replaced;
    owner->onArrival = [&] { replaced = ReadBackFromAdapter(*session, block); };
    ASSERT_TRUE(command("plug adapter adapter"));
    ASSERT_TRUE(pumpUntil([&] { return owner->arrivals >= 1; }));
    EXPECT_EQ(session->adapterPath().get(), sim->path("adapter"));
    EXPECT_EQ(replaced.size(), 4u);
    ASSERT_TRUE(pumpUntil([&] { return session->adapterSeen().load(); }));

    // Another device arrives: scan and read-back again, path unchanged; it goes: nothing changes.
    replaced.clear();
    const int arrivals = owner->arrivals;
    ASSERT_TRUE(command("plug keyboard kb"));
    ASSERT_TRUE(pumpUntil([&] { return owner->arrivals > arrivals; }));
    EXPECT_EQ(session->adapterPath().get(), sim->path("adapter"));
    EXPECT_EQ(replaced.size(), 4u);
    ASSERT_TRUE(padUntilTaken("80 80 80 80 00 00 02", 0x02));
    ASSERT_TRUE(command("unplug kb"));
    pumpFor(300);
    EXPECT_EQ(session->adapterPath().get(), sim->path("adapter"));
    EXPECT_EQ(session->joyData().get()[8], 0x02);

    // Unplug: path and state cleared, one more notice, then quiet.
    ASSERT_TRUE(command("unplug adapter"));
    ASSERT_TRUE(
        pumpUntil([&] { return session->adapterPath().get().empty() && !session->adapterSeen().load(); }));
    EXPECT_EQ(session->joyData().get(), JoyState{});
    pumpFor(100);
    const int quiet = owner->updates;
    pumpFor(700);
    EXPECT_EQ(owner->updates, quiet);

    // Replug: found again and read back, live state resumes.
    const int before = owner->arrivals;
    ASSERT_TRUE(command("plug adapter adapter"));
    ASSERT_TRUE(pumpUntil([&] { return owner->arrivals > before && session->adapterSeen().load(); }));
    EXPECT_EQ(session->adapterPath().get(), sim->path("adapter"));
    ASSERT_TRUE(padUntilTaken("80 80 80 80 00 00 08", 0x08));
}

TEST_F(SimLink, StopEndsAReaderWaitingForAReport) {
    startListener();
    ASSERT_TRUE(
        pumpUntil([&] { return session->adapterSeen().load() && !session->adapterPath().get().empty(); }));
    pumpFor(100);
    // The reader waits in a read without a time limit: only the stop ends it. How long stopping
    // takes is left to bench/; the bound here only ends a hung run.
    EXPECT_TRUE(listener->stopReader(test::kHangLimit));
    EXPECT_FALSE(listener->readerRunning());
}

#else
TEST(SimLink, NeedsTheSimulator) {
    GTEST_SKIP() << "velorin-sim is not part of this build";
}
#endif

} // namespace
