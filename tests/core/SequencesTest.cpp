// The three sequences driven through a scripted adapter: each step the sequence asks for is written
// down (with the report bytes it would send) and answered from the script. The expected steps are
// the adapter's frames as described (00, command, AA 55, arguments, zeros to 65 bytes) and the
// window's results, written out here without the core's help.
#include "core/Sequences.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

using namespace velorin;

namespace velorin {
// So that a failed comparison names the event and the step.
void PrintTo(const Fault& fault, std::ostream* os) {
    *os << eventName(fault.event) << " during " << actionName(fault.step);
}
} // namespace velorin

namespace {

// Hex of a 65-byte output report without its trailing zeros.
std::string hex(std::span<const uint8_t> bytes) {
    std::size_t n = bytes.size();
    while (n > 0 && bytes[n - 1] == 0)
        --n;
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        char b[4];
        std::snprintf(b, sizeof b, i ? " %02x" : "%02x", bytes[i]);
        s += b;
    }
    return s;
}

// The test's block: byte i of the 108 is 0x21 + i, so bytes 6-9 and 26 of every record are set.
WorkModeBlock patternBlock() {
    std::array<uint8_t, 108> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(0x21 + i);
    WorkModeBlock block;
    block.replaceAll(bytes);
    return block;
}

// The record at block offset `offset` as apply writes it: console id in byte 0, bytes 6-9 zero,
// byte 26 zero for PS3 and XBOX.
std::vector<uint8_t> preparedRecord(std::size_t offset, uint8_t id, bool clear26) {
    std::vector<uint8_t> r;
    for (std::size_t i = 0; i < 27; ++i)
        r.push_back(static_cast<uint8_t>(0x21 + offset + i));
    r[0] = id;
    for (std::size_t i = 6; i <= 9; ++i)
        r[i] = 0;
    if (clear26)
        r[26] = 0;
    return r;
}

std::string writeStep(std::size_t offset, uint8_t id, bool clear26) {
    std::vector<uint8_t> frame{0x00, 0x30, 0xAA, 0x55};
    const auto record = preparedRecord(offset, id, clear26);
    frame.insert(frame.end(), record.begin(), record.end());
    return "send opened " + hex(frame);
}

// An input report as the adapter sends it (report ID 0, then the data bytes).
InputReport input(std::vector<uint8_t> data) {
    InputReport r{};
    std::copy(data.begin(), data.end(), r.begin() + 1);
    return r;
}

// The adapter's reply to a record request: the 27 record bytes, byte 0 the console id.
InputReport reply(uint8_t id) {
    std::vector<uint8_t> data(27, static_cast<uint8_t>(0x70 + id));
    data[0] = id;
    return input(data);
}

// A live pad state, A1 C4 with the sticks centred and A pressed.
InputReport padState() {
    return input({0xA1, 0xC4, 0x80, 0x80, 0x80, 0x80, 0, 0, 0x01});
}

// Refused, NotAnswered and SendGone answer a Send with how it failed; Gone is the adapter leaving.
// Done answers a step that asked for something else; NewDeadline ends a wait never started.
enum class A {
    Opened,
    NoAdapter,
    Delivered,
    Refused,
    NotAnswered,
    SendGone,
    Gone,
    Report,
    Deadline,
    OldDeadline,
    NewDeadline,
    Done
};
struct Answer {
    A kind;
    InputReport report{};
};
Answer report(const InputReport& r) {
    return {A::Report, r};
}

// Runs `seq` against the script; returns the steps it asked for, one line each.
template <typename Sequence> std::vector<std::string> run(Sequence& seq, const std::vector<Answer>& script) {
    std::vector<std::string> steps;
    std::size_t next = 0;
    for (int guard = 0; !seq.finished() && guard < 100; ++guard) {
        const Step& s = seq.step();
        switch (s.action) {
        case Action::Open:
            steps.push_back("open");
            break;
        case Action::Send:
            steps.push_back(std::string("send ") + (s.via == Via::Own ? "own " : "opened ") + hex(s.report));
            break;
        case Action::Receive:
            steps.push_back("wait " + std::to_string(s.deadline) + " " + std::to_string(s.deadlineMs) + "ms");
            break;
        case Action::Close:
            steps.push_back("close");
            seq.done();
            continue;
        case Action::Show:
            steps.push_back("show " + std::string(consoleInfo(s.console).name));
            seq.done();
            continue;
        case Action::RepeatModeSelect:
            steps.push_back("repeat mode select");
            seq.done();
            continue;
        case Action::Finished:
            continue;
        }
        if (next == script.size()) {
            steps.push_back("(script ended)");
            break;
        }
        const Answer& a = script[next++];
        switch (a.kind) {
        case A::Opened:
            seq.opened(true);
            break;
        case A::NoAdapter:
            seq.opened(false);
            break;
        case A::Delivered:
            seq.sent(true);
            break;
        case A::Refused:
            seq.sent(false);
            break;
        case A::NotAnswered:
            seq.sent(LinkError::NoAnswer);
            break;
        case A::SendGone:
            seq.sent(LinkError::Gone);
            break;
        case A::Gone:
            seq.gone();
            break;
        case A::Report:
            seq.received(a.report);
            break;
        case A::Deadline:
            seq.deadlinePassed(s.deadline);
            break;
        case A::OldDeadline:
            seq.deadlinePassed(s.deadline - 1);
            break;
        case A::NewDeadline:
            seq.deadlinePassed(s.deadline + 1);
            break;
        case A::Done:
            seq.done();
            break;
        }
    }
    if (next != script.size())
        steps.push_back("(" + std::to_string(script.size() - next) + " answers unused)");
    return steps;
}

const std::string kOpen = "open";
const std::string kClose = "close";
// Read requests (command 31, console id in byte 4) and mode selects (32, 01, console in byte 5).
const std::string kAskPs3 = "send own 00 31 aa 55 01";
const std::string kAskPs4 = "send own 00 31 aa 55 02";
const std::string kAskSwitch = "send own 00 31 aa 55 04";
const std::string kAskXbox = "send own 00 31 aa 55 03";

std::string wait(int n) {
    return "wait " + std::to_string(n) + " 100ms";
}

struct ReadBackCase {
    const char* what;
    std::vector<Answer> script;
    std::vector<std::string> steps;
    std::size_t replaced;
    ReadBackEnd end;
    LinkError error; // how the request or reply that ended it failed
    // Events that fit no step: what the adapter does never counts, only a driver's mistake.
    uint32_t faults = 0;
    std::optional<Fault> lastFault = std::nullopt;
};

TEST(Sequences, ReadBackThroughAScriptedAdapter) {
    const Answer open{A::Opened}, sent{A::Delivered};
    const ReadBackCase cases[] = {
        {"all four replies",
         {open, sent, report(reply(1)), sent, report(reply(2)), sent, report(reply(4)), sent,
          report(reply(3))},
         {kOpen, kAskPs3, wait(1), "show PS3", kAskPs4, wait(2), "show PS4", kAskSwitch, wait(3),
          "show SWITCH", kAskXbox, wait(4), "show XBOX", kClose},
         4,
         ReadBackEnd::Complete,
         LinkError::None},
        {"no reply after SWITCH",
         {open, sent, report(reply(1)), sent, report(reply(2)), sent, {A::Deadline}},
         {kOpen, kAskPs3, wait(1), "show PS3", kAskPs4, wait(2), "show PS4", kAskSwitch, wait(3), kClose},
         2,
         ReadBackEnd::NoReply,
         LinkError::NoAnswer},
        {"a refused request",
         {open, sent, report(reply(1)), {A::Refused}},
         {kOpen, kAskPs3, wait(1), "show PS3", kAskPs4, kClose},
         1,
         ReadBackEnd::RequestFailed,
         LinkError::Refused},
        {"the adapter gone in the middle of a reply wait",
         {open, sent, report(reply(1)), sent, {A::Gone}},
         {kOpen, kAskPs3, wait(1), "show PS3", kAskPs4, wait(2), kClose},
         1,
         ReadBackEnd::NoReply,
         LinkError::Gone},
        {"the adapter gone while a request is sent",
         {open, sent, report(reply(1)), {A::Gone}},
         {kOpen, kAskPs3, wait(1), "show PS3", kAskPs4, kClose},
         1,
         ReadBackEnd::RequestFailed,
         LinkError::Gone},
        {"live pad states inside the reply wait",
         {open, sent, report(padState()), report(padState()), report(reply(1)), sent, {A::Deadline}},
         {kOpen, kAskPs3, wait(1), wait(1), wait(1), "show PS3", kAskPs4, wait(2), kClose},
         1,
         ReadBackEnd::NoReply,
         LinkError::NoAnswer},
        {"a stale reply naming another console",
         {open, sent, report(reply(1)), sent, report(reply(1)), report(reply(2)), sent, {A::Gone}},
         {kOpen, kAskPs3, wait(1), "show PS3", kAskPs4, wait(2), wait(2), "show PS4", kAskSwitch, wait(3),
          kClose},
         2,
         ReadBackEnd::NoReply,
         LinkError::Gone},
        {"a late reply for a console later in the order, inside the wait for PS3",
         {open, sent, report(reply(2)), report(reply(1)), sent, report(reply(2)), sent, report(reply(4)),
          sent, report(reply(3))},
         {kOpen, kAskPs3, wait(1), wait(1), "show PS3", kAskPs4, wait(2), "show PS4", kAskSwitch, wait(3),
          "show SWITCH", kAskXbox, wait(4), "show XBOX", kClose},
         4,
         ReadBackEnd::Complete,
         LinkError::None},
        {"an earlier wait's deadline does not end this one",
         {open, sent, report(reply(1)), sent, {A::OldDeadline}, report(reply(2)), sent, {A::Deadline}},
         {kOpen, kAskPs3, wait(1), "show PS3", kAskPs4, wait(2), wait(2), "show PS4", kAskSwitch, wait(3),
          kClose},
         2,
         ReadBackEnd::NoReply,
         LinkError::NoAnswer},
        {"a reply before its request is confirmed is kept for the wait",
         {open, report(reply(1)), sent, {A::Refused}},
         {kOpen, kAskPs3, kAskPs3, "show PS3", kAskPs4, kClose},
         1,
         ReadBackEnd::RequestFailed,
         LinkError::Refused},
        {"a request not answered",
         {open, sent, report(reply(1)), {A::NotAnswered}},
         {kOpen, kAskPs3, wait(1), "show PS3", kAskPs4, kClose},
         1,
         ReadBackEnd::RequestFailed,
         LinkError::NoAnswer},
        {"a request that finds the adapter gone",
         {open, {A::SendGone}},
         {kOpen, kAskPs3, kClose},
         0,
         ReadBackEnd::RequestFailed,
         LinkError::Gone},
        {"no adapter", {{A::NoAdapter}}, {kOpen}, 0, ReadBackEnd::NoAdapter, LinkError::Gone},
        {"a send confirmed again while its reply is awaited",
         {open, sent, sent, report(reply(1)), sent, {A::Deadline}},
         {kOpen, kAskPs3, wait(1), wait(1), "show PS3", kAskPs4, wait(2), kClose},
         1,
         ReadBackEnd::NoReply,
         LinkError::NoAnswer,
         1,
         Fault{Event::Sent, Action::Receive}},
        {"done and open where a send is asked for, the end of a wait never started",
         {open, {A::Done}, {A::Opened}, sent, {A::NewDeadline}, report(reply(1)), sent, {A::Deadline}},
         {kOpen, kAskPs3, kAskPs3, kAskPs3, wait(1), wait(1), "show PS3", kAskPs4, wait(2), kClose},
         1,
         ReadBackEnd::NoReply,
         LinkError::NoAnswer,
         3,
         Fault{Event::DeadlinePassed, Action::Receive}},
    };
    for (const ReadBackCase& c : cases) {
        SCOPED_TRACE(c.what);
        const WorkModeBlock before = patternBlock();
        ReadBack readBack(before);
        EXPECT_EQ(run(readBack, c.script), c.steps);
        ASSERT_TRUE(readBack.finished());
        EXPECT_EQ(readBack.end(), c.end);
        EXPECT_EQ(readBack.error(), c.error);
        EXPECT_EQ(readBack.replacedCount(), c.replaced);
        EXPECT_EQ(readBack.faults(), c.faults);
        EXPECT_EQ(readBack.lastFault(), c.lastFault);
        // The records read are the replies, byte 0 included; the others keep their bytes.
        const uint8_t ids[] = {1, 2, 4, 3};
        for (std::size_t r = 0; r < 4; ++r) {
            for (std::size_t i = 0; i < 27; ++i) {
                const uint8_t want = r < c.replaced ? (i == 0 ? ids[r] : static_cast<uint8_t>(0x70 + ids[r]))
                                                    : static_cast<uint8_t>(0x21 + r * 27 + i);
                ASSERT_EQ(readBack.block().raw()[r * 27 + i], want) << "record " << r << " byte " << i;
            }
        }
    }
    // An event-driven front end passes on every report at once: a stream of live pad states while
    // the request is on its way must not push the reply that follows them out of the queue.
    ReadBack flooded(patternBlock());
    flooded.opened(true);
    for (int i = 0; i < 100; ++i)
        flooded.received(padState());
    flooded.received(reply(1));
    flooded.sent(true);
    EXPECT_EQ(flooded.step().action, Action::Show);
    EXPECT_EQ(flooded.replacedCount(), 1u);
    EXPECT_EQ(flooded.faults(), 0u);
}

struct ApplyCase {
    const char* what;
    ConsoleId mode;
    std::vector<Answer> script;
    std::vector<std::string> steps;
    ApplyStatus status;
    std::optional<ConsoleId> failed;
    LinkError failure;
    std::string_view text;
    std::size_t prepared; // records prepared in the block, in block order
    bool modeSelectDelivered;
    uint32_t faults = 0;
    std::optional<Fault> lastFault = std::nullopt;
};

TEST(Sequences, ApplyThroughAScriptedAdapter) {
    const Answer open{A::Opened}, sent{A::Delivered};
    const std::string ps3 = writeStep(0, 1, true), ps4 = writeStep(27, 2, false),
                      sw = writeStep(54, 4, false), xbox = writeStep(81, 3, true);
    const ApplyCase cases[] = {
        {"four writes and the mode select",
         ConsoleId::SWITCH,
         {open, sent, sent, sent, sent, sent},
         {kOpen, ps3, ps4, sw, xbox, kClose, "repeat mode select", "send own 00 32 aa 55 01 04"},
         ApplyStatus::Success,
         std::nullopt,
         LinkError::None,
         "",
         4,
         true},
        {"the mode select names the console selected, and its refusal changes nothing",
         ConsoleId::XBOX,
         {open, sent, sent, sent, sent, {A::Refused}},
         {kOpen, ps3, ps4, sw, xbox, kClose, "repeat mode select", "send own 00 32 aa 55 01 03"},
         ApplyStatus::Success,
         std::nullopt,
         LinkError::None,
         "",
         4,
         false},
        {"a refused write",
         ConsoleId::PS3,
         {open, sent, sent, {A::Refused}},
         {kOpen, ps3, ps4, sw, kClose},
         ApplyStatus::WriteFailed,
         ConsoleId::SWITCH,
         LinkError::Refused,
         "Write switch workModeData error",
         3,
         false},
        {"the adapter gone in the middle",
         ConsoleId::PS3,
         {open, sent, {A::Gone}},
         {kOpen, ps3, ps4, kClose},
         ApplyStatus::WriteFailed,
         ConsoleId::PS4,
         LinkError::Gone,
         "Write ps4 workModeData error",
         2,
         false},
        {"a write not answered",
         ConsoleId::PS3,
         {open, {A::NotAnswered}},
         {kOpen, ps3, kClose},
         ApplyStatus::WriteFailed,
         ConsoleId::PS3,
         LinkError::NoAnswer,
         "Write ps3 workModeData error",
         1,
         false},
        {"reports from the adapter are no answer to a write",
         ConsoleId::PS3,
         {open, report(reply(1)), {A::Refused}},
         {kOpen, ps3, ps3, kClose},
         ApplyStatus::WriteFailed,
         ConsoleId::PS3,
         LinkError::Refused,
         "Write ps3 workModeData error",
         1,
         false},
        {"no adapter",
         ConsoleId::PS3,
         {{A::NoAdapter}},
         {kOpen},
         ApplyStatus::NoAdapter,
         std::nullopt,
         LinkError::None,
         "CreateFileHandle error",
         0,
         false},
        {"a deadline, an open and a done that apply never asked for",
         ConsoleId::PS3,
         {open, {A::Deadline}, {A::Opened}, sent, {A::Done}, sent, sent, sent, sent},
         {kOpen, ps3, ps3, ps3, ps4, ps4, sw, xbox, kClose, "repeat mode select",
          "send own 00 32 aa 55 01 01"},
         ApplyStatus::Success,
         std::nullopt,
         LinkError::None,
         "",
         4,
         true,
         3,
         Fault{Event::Done, Action::Send}},
    };
    for (const ApplyCase& c : cases) {
        SCOPED_TRACE(c.what);
        const WorkModeBlock before = patternBlock();
        Apply apply(before, c.mode);
        EXPECT_EQ(run(apply, c.script), c.steps);
        ASSERT_TRUE(apply.finished());
        EXPECT_EQ(apply.result().status, c.status);
        EXPECT_EQ(apply.result().failedConsole, c.failed);
        EXPECT_EQ(apply.result().failure, c.failure);
        EXPECT_EQ(applyErrorText(apply.result()), c.text);
        EXPECT_EQ(apply.modeSelectDelivered(), c.modeSelectDelivered);
        EXPECT_EQ(apply.faults(), c.faults);
        EXPECT_EQ(apply.lastFault(), c.lastFault);
        // The records up to the refused one are prepared in the block itself; the rest as they were.
        const struct {
            std::size_t offset;
            uint8_t id;
            bool clear26;
        } records[] = {{0, 1, true}, {27, 2, false}, {54, 4, false}, {81, 3, true}};
        for (std::size_t r = 0; r < 4; ++r) {
            const auto want = preparedRecord(records[r].offset, records[r].id, records[r].clear26);
            for (std::size_t i = 0; i < 27; ++i) {
                const uint8_t untouched = static_cast<uint8_t>(0x21 + records[r].offset + i);
                ASSERT_EQ(apply.block().raw()[records[r].offset + i], r < c.prepared ? want[i] : untouched)
                    << "record " << r << " byte " << i;
            }
        }
    }
}

TEST(Sequences, TheReadersFiveModeSelects) {
    const struct {
        const char* what;
        std::vector<Answer> script;
        int delivered;
        uint32_t faults;
        std::optional<Fault> lastFault;
    } cases[] = {
        {"all five sent after an early success",
         {{A::Delivered}, {A::Refused}, {A::Delivered}, {A::Refused}, {A::Refused}},
         2,
         0,
         std::nullopt},
        {"none delivered: the request stays",
         {{A::Refused}, {A::Gone}, {A::Refused}, {A::Refused}, {A::Refused}},
         0,
         0,
         std::nullopt},
        {"a pad state between two sends is traffic; a done or an open is not asked for",
         {{A::Delivered},
          report(padState()),
          {A::Done},
          {A::Opened},
          {A::Refused},
          {A::Refused},
          {A::Refused},
          {A::Refused}},
         1,
         2,
         Fault{Event::Opened, Action::Send}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ModeSelectRepeat repeat(ConsoleId::PS4);
        const std::string select = "send own 00 32 aa 55 01 02";
        EXPECT_EQ(run(repeat, c.script), (std::vector<std::string>(c.script.size(), select)));
        EXPECT_EQ(repeat.deliveredCount(), c.delivered);
        EXPECT_EQ(repeat.delivered(), c.delivered > 0);
        EXPECT_EQ(repeat.faults(), c.faults);
        EXPECT_EQ(repeat.lastFault(), c.lastFault);
    }
    // A selection between two sends: the later ones name the new console.
    ModeSelectRepeat repeat(ConsoleId::PS4);
    repeat.sent(true);
    repeat.setConsole(ConsoleId::SWITCH);
    EXPECT_EQ(hex(repeat.step().report), "00 32 aa 55 01 04");
    // After the five, the adapter going is nothing new, but a send is one nobody asked for.
    for (int i = 1; i < ModeSelectRepeat::kRepeats; ++i)
        repeat.sent(true);
    ASSERT_TRUE(repeat.finished());
    repeat.gone();
    EXPECT_EQ(repeat.faults(), 0u);
    repeat.sent(true);
    EXPECT_EQ(repeat.faults(), 1u);
    EXPECT_EQ(repeat.lastFault(), (Fault{Event::Sent, Action::Finished}));
    EXPECT_EQ(repeat.deliveredCount(), ModeSelectRepeat::kRepeats);
}

// What the adapter holds after an apply: the records before the failed write, in block order
// (PS3, PS4, SWITCH, XBOX), whatever ended it.
TEST(Apply, RecordsTakenAreThoseWrittenBeforeTheFailure) {
    const struct {
        ApplyResult result;
        std::size_t taken;
    } cases[] = {
        {{ApplyStatus::Success, std::nullopt, LinkError::None}, 4},
        {{ApplyStatus::NoAdapter, std::nullopt, LinkError::None}, 0},
        {{ApplyStatus::WriteFailed, ConsoleId::PS3, LinkError::Refused}, 0},
        {{ApplyStatus::WriteFailed, ConsoleId::PS4, LinkError::Gone}, 1},
        {{ApplyStatus::WriteFailed, ConsoleId::SWITCH, LinkError::NoAnswer}, 2},
        {{ApplyStatus::WriteFailed, ConsoleId::XBOX, LinkError::Refused}, 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(recordsTaken(c.result), c.taken)
            << int(c.result.status) << " " << int(c.result.failedConsole.value_or(ConsoleId(0)));
}

} // namespace
