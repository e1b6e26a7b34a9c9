// The editing session's rules as scripted sessions: what the user does, what the adapter says, and
// what the session must then show. Each row is one session from the start; its checks say, at that
// point, which keys the boxes show and which consoles count as changed, differing from the
// adapter, or unread. The adapter's records and the file are byte patterns of the test's own, so
// every expected code is written out here, not computed by the session's rules.
#include "core/EditSession.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

using namespace velorin;

namespace {

constexpr ConsoleId PS3 = ConsoleId::PS3;
constexpr ConsoleId PS4 = ConsoleId::PS4;
constexpr ConsoleId SWITCH = ConsoleId::SWITCH;
constexpr ConsoleId XBOX = ConsoleId::XBOX;

// A block whose byte i of every record (i >= 1) is `first + i`, byte 0 the console id, as an adapter
// or a file holds it.
WorkModeBlock pattern(uint8_t first) {
    WorkModeBlock b;
    for (const ConsoleId c : kBlockOrder) {
        b.record(c)[0] = uint8_t(c);
        for (std::size_t i = 1; i < kRecordSize; ++i)
            b.record(c)[i] = uint8_t(first + i);
    }
    return b;
}
const WorkModeBlock kAdapterA = pattern(0x04); // L2 (byte 22): 0x1A "W"
const WorkModeBlock kAdapterB = pattern(0x3A); // another adapter, or the same one changed elsewhere
const WorkModeBlock kFile = pattern(0x10);

// The adapter's records after `written` records of `block` in block order were written to it.
WorkModeBlock afterWriting(WorkModeBlock adapter, const WorkModeBlock& block, std::size_t written) {
    for (std::size_t i = 0; i < written; ++i)
        adapter.replaceRecord(kBlockOrder[i], block.record(kBlockOrder[i]));
    return adapter;
}

// The script's events.
struct Assign {
    ConsoleId console;
    PadButton button;
    uint8_t code;
};
struct Load {
    WorkModeBlock block;
};
struct Copy {
    ConsoleId from, to;
};
struct Arrive {};
// A read-back of the first `count` records of `adapter` in block order.
struct Read {
    WorkModeBlock adapter;
    std::size_t count = 4;
    std::vector<ConsoleId> kept{}; // the consoles whose changes the read-back must keep
};
// An apply whose first `count` writes were taken; with a verify that read back `verified` records
// of what the adapter then holds (the written ones, unless `refused` names one it dropped).
struct Apply {
    std::size_t count = 4;
    int verified = -1; // -1: no verify
    std::optional<ConsoleId> refused{};
    std::vector<ConsoleId> mismatched{};
};
struct Undo {
    bool possible = true;
};
struct Redo {};
struct Take {};
struct Saved {};
// The consoles the title area and the page's banner name as kept by the last read-back.
struct Kept {
    std::vector<ConsoleId> consoles;
};
// What the session shows at this point.
struct Check {
    std::vector<std::tuple<ConsoleId, PadButton, uint8_t>> codes{};
    std::vector<ConsoleId> changed{};
    std::vector<ConsoleId> differing{};
    std::vector<ConsoleId> unread{};
    std::vector<ConsoleId> unreadNorChosen{};
    int undoSteps = -1; // -1: not checked
    int unsaved = -1;
};
using Event = std::variant<Assign, Load, Copy, Arrive, Read, Apply, Undo, Redo, Take, Saved, Kept, Check>;

struct Row {
    const char* name;
    std::vector<Event> script;
};

std::vector<ConsoleId> all() {
    return {kBlockOrder.begin(), kBlockOrder.end()};
}

std::string names(const std::vector<ConsoleId>& consoles) {
    std::string s = "{";
    for (const ConsoleId c : consoles)
        s += std::string(consoleInfo(c).name) + " ";
    return s + "}";
}

const Row kRows[] = {
    {"the consoles a read-back kept are named until they stop differing, then no more until the next "
     "read-back",
     {Arrive{},
      Read{kAdapterA},
      Kept{{}},
      Assign{PS3, PadButton::L2, 0x2C},
      Assign{XBOX, PadButton::A, 0xA1},
      Kept{{}},
      Arrive{},
      Read{kAdapterA, 4, {PS3, XBOX}},
      Kept{{PS3, XBOX}},
      Undo{},
      Kept{{PS3}},
      Redo{},
      Check{{{XBOX, PadButton::A, 0xA1}}, {PS3, XBOX}, {PS3, XBOX}},
      Kept{{PS3}},
      Arrive{},
      Kept{{}},
      Read{kAdapterA, 4, {PS3, XBOX}},
      Kept{{PS3, XBOX}},
      Read{kAdapterA, 2, {PS3}},
      Kept{{PS3}}}},
    {"the first read-back with nothing edited shows the adapter's records",
     {Arrive{}, Read{kAdapterA},
      Check{{{PS3, PadButton::L2, 0x1A}, {XBOX, PadButton::A, 0x04 + 19}}, {}, {}, {}, {}, 0, 0}}},
    {"an edit survives a replug, and an arrival of any other HID interface",
     {Arrive{}, Read{kAdapterA}, Assign{XBOX, PadButton::A, 0xA1},
      Check{{{XBOX, PadButton::A, 0xA1}}, {XBOX}, {XBOX}, {}, {}, 1}, Arrive{},
      Check{{{XBOX, PadButton::A, 0xA1}}, {XBOX}, {}, all(), {PS3, PS4, SWITCH, XBOX}},
      Read{kAdapterA, 4, {XBOX}},
      Check{{{XBOX, PadButton::A, 0xA1}, {XBOX, PadButton::B, 0x04 + 21}}, {XBOX}, {XBOX}, {}, {}, 1},
      Arrive{}, Read{kAdapterA, 4, {XBOX}}, Check{{{XBOX, PadButton::A, 0xA1}}, {XBOX}, {XBOX}}, Kept{{XBOX}},
      Apply{}, Check{{{XBOX, PadButton::A, 0xA1}}, {}, {}, {}, {}, 1}, Kept{{}}}},
    {"a file loaded before connecting is kept whole and is what apply writes",
     {Load{kFile}, Check{{{PS3, PadButton::L2, 0x10 + 22}}, all(), {}, all(), {}}, Arrive{},
      Read{kAdapterA, 4, all()},
      Check{{{PS3, PadButton::L2, 0x10 + 22}, {SWITCH, PadButton::CAPTURE, 0x10 + 26}},
            all(),
            all(),
            {},
            {},
            1},
      Apply{}, Check{{{PS4, PadButton::SELECT, 0x10 + 13}}, {}, {}, {}, {}, 1}}},
    {"an edit undone is no change, and the next read-back shows the adapter's record",
     {Arrive{}, Read{kAdapterA}, Assign{PS3, PadButton::L2, 0x2C}, Undo{},
      Check{{{PS3, PadButton::L2, 0x1A}}, {}}, Arrive{}, Read{kAdapterB},
      Check{{{PS3, PadButton::L2, 0x3A + 22}}, {}, {}, {}, {}, 1}}},
    {"an edit made before any read-back keeps the adapter's other buttons; a partial read-back "
     "leaves the records it did not read",
     {Assign{PS4, PadButton::L1, 0xA2}, Arrive{}, Read{kAdapterA, 2, {PS4}},
      Check{{{PS3, PadButton::L2, 0x1A},
             {PS4, PadButton::L1, 0xA2},
             {PS4, PadButton::L2, 0x1A},
             {SWITCH, PadButton::L2, 0x00},
             {XBOX, PadButton::A, 0x00}},
            {PS4},
            {PS4},
            {SWITCH, XBOX},
            {SWITCH, XBOX}}}},
    {"another adapter's records fill every button the user did not change",
     {Arrive{}, Read{kAdapterA}, Assign{PS3, PadButton::L2, 0x2C}, Arrive{}, Read{kAdapterB, 4, {PS3}},
      Check{{{PS3, PadButton::L2, 0x2C}, {PS3, PadButton::L1, 0x3A + 24}, {PS4, PadButton::L2, 0x3A + 22}},
            {PS3},
            {PS3}}}},
    {"the adapter's records instead of the user's are one undo step",
     {Arrive{}, Read{kAdapterA}, Assign{XBOX, PadButton::A, 0xA1}, Assign{PS3, PadButton::R1, 0xA0}, Arrive{},
      Read{kAdapterA, 4, {PS3, XBOX}}, Kept{{PS3, XBOX}}, Take{},
      Check{{{XBOX, PadButton::A, 0x04 + 19}, {PS3, PadButton::R1, 0x04 + 25}}, {}, {}, {}, {}, 3}, Kept{{}},
      Undo{}, Check{{{XBOX, PadButton::A, 0xA1}, {PS3, PadButton::R1, 0xA0}}, {PS3, XBOX}, {PS3, XBOX}},
      Kept{{}}, Redo{}, Check{{{XBOX, PadButton::A, 0x04 + 19}}, {}}}},
    {"a copy onto a console is kept whole by a read-back",
     {Arrive{}, Read{kAdapterA}, Assign{PS3, PadButton::L2, 0x2C}, Copy{PS3, XBOX},
      Check{{{XBOX, PadButton::L2, 0x2C}}, {PS3, XBOX}, {PS3, XBOX}}, Arrive{},
      Read{kAdapterB, 4, {PS3, XBOX}},
      // XBOX stays the copy as a whole (its other buttons the first adapter's, not the second's);
      // PS3 keeps only the button the user changed.
      Check{{{XBOX, PadButton::L2, 0x2C},
             {XBOX, PadButton::A, 0x04 + 19},
             {PS3, PadButton::L2, 0x2C},
             {PS3, PadButton::A, 0x3A + 19}},
            {PS3, XBOX},
            {PS3, XBOX}}}},
    {"after an unplug during apply, the records written are the adapter's and the others stay the "
     "user's across the replug",
     {Arrive{}, Read{kAdapterA}, Assign{PS3, PadButton::L2, 0x2C}, Assign{XBOX, PadButton::A, 0xA1}, Apply{2},
      Check{{}, {XBOX}, {XBOX}, {}, {}}, Arrive{}, Check{{}, {XBOX}, {}, all(), all()},
      Read{afterWriting(
               kAdapterA,
               [] {
                   WorkModeBlock b = kAdapterA;
                   b.setButton(PS3, PadButton::L2, 0x2C);
                   return b;
               }(),
               2),
           4,
           {XBOX}},
      Check{{{PS3, PadButton::L2, 0x2C}, {XBOX, PadButton::A, 0xA1}}, {XBOX}, {XBOX}, {}, {}}}},
    {"a verify that reads back another record names it, and the user's change stays",
     {Arrive{}, Read{kAdapterA}, Assign{SWITCH, PadButton::HOME, 0x29}, Apply{4, 4, SWITCH, {SWITCH}},
      Check{{{SWITCH, PadButton::HOME, 0x29}}, {SWITCH}, {SWITCH}, {}, {}}}},
    {"records a verify did not reach are unknown, and their changes still count",
     {Arrive{}, Read{kAdapterA}, Assign{PS3, PadButton::L2, 0x2C}, Assign{XBOX, PadButton::A, 0xA1},
      Apply{4, 2}, Check{{{XBOX, PadButton::A, 0xA1}}, {XBOX}, {}, {SWITCH, XBOX}, {SWITCH, XBOX}}}},
    {"no adapter: nothing is known, edits are changes from the first records",
     {Assign{PS3, PadButton::L2, 0x2C}, Apply{0},
      Check{{{PS3, PadButton::L2, 0x2C}}, {PS3}, {}, all(), all(), 1}}},
    {"leaving loses only what is neither applied nor saved",
     {Arrive{}, Read{kAdapterA}, Assign{PS3, PadButton::L2, 0x2C}, Check{{}, {PS3}, {PS3}, {}, {}, -1, 1},
      Saved{}, Check{{}, {PS3}, {PS3}, {}, {}, -1, 0}, Assign{PS3, PadButton::L1, 0x2D},
      Check{{}, {PS3}, {PS3}, {}, {}, -1, 1}, Apply{}, Check{{}, {}, {}, {}, {}, -1, 0}}},
    {"an undo brings back what a read-back replaced, as the user's change; until the user's first "
     "action the history starts at each read-back",
     {Arrive{}, Read{kAdapterA}, Arrive{}, Read{kAdapterB},
      Check{{{PS3, PadButton::L2, 0x3A + 22}}, {}, {}, {}, {}, 0}, Assign{PS4, PadButton::L1, 0xA2}, Arrive{},
      Read{kAdapterA, 4, {PS4}},
      Check{{{PS3, PadButton::L2, 0x1A}, {PS4, PadButton::L1, 0xA2}}, {PS4}, {PS4}, {}, {}, 2}, Undo{},
      Check{{{PS3, PadButton::L2, 0x3A + 22}, {PS4, PadButton::L1, 0xA2}}, all(), all(), {}, {}, 1}, Undo{},
      Undo{false}}},
};

class Runner {
public:
    void run(const Event& event) { std::visit(*this, event); }

    void operator()(const Assign& e) { EXPECT_TRUE(s_.assign(e.console, e.button, KeyCode(e.code))); }
    void operator()(const Load& e) { s_.load(e.block); }
    void operator()(const Copy& e) { EXPECT_TRUE(s_.copy(e.from, e.to)); }
    void operator()(const Arrive&) { s_.adapterArrived(); }
    void operator()(const Read& e) {
        adapter_ = e.adapter;
        const std::vector<ConsoleId> read(kBlockOrder.begin(), kBlockOrder.begin() + long(e.count));
        EXPECT_EQ(names(s_.readBack(e.adapter, read)), names(e.kept));
    }
    void operator()(const Apply& e) {
        // What apply writes: each record with its console id, bytes 6-9 zero, byte 26 zero on PS3
        // and XBOX.
        WorkModeBlock written = s_.block();
        for (const ConsoleId c : kBlockOrder)
            prepareForWrite(c, written.record(c));
        WorkModeBlock adapter = afterWriting(adapter_, written, e.count);
        if (e.refused)
            adapter.replaceRecord(*e.refused, adapter_.record(*e.refused));
        std::vector<ConsoleId> mismatched;
        if (e.verified >= 0)
            mismatched =
                s_.applied(written, e.count, EditSession::Verification{adapter, std::size_t(e.verified)});
        else
            mismatched = s_.applied(written, e.count);
        EXPECT_EQ(names(mismatched), names(e.mismatched));
        adapter_ = adapter;
    }
    void operator()(const Undo& e) { EXPECT_EQ(s_.undo(), e.possible); }
    void operator()(const Redo&) { EXPECT_TRUE(s_.redo()); }
    void operator()(const Take&) { EXPECT_TRUE(s_.takeAdapterRecords()); }
    void operator()(const Saved&) { s_.saved(); }
    void operator()(const Kept& k) { EXPECT_EQ(names(s_.keptAtReadBack()), names(k.consoles)) << "kept"; }
    void operator()(const Check& c) {
        for (const auto& [console, button, code] : c.codes)
            EXPECT_EQ(int(s_.code(console, button)), int(code))
                << consoleInfo(console).name << " " << padButtonName(button);
        EXPECT_EQ(names(s_.changed()), names(c.changed)) << "changed";
        EXPECT_EQ(names(s_.differing()), names(c.differing)) << "differing";
        EXPECT_EQ(names(s_.unread()), names(c.unread)) << "unread";
        EXPECT_EQ(names(s_.unreadNorChosen()), names(c.unreadNorChosen)) << "unread nor chosen";
        if (c.undoSteps >= 0) {
            EXPECT_EQ(int(s_.undoSteps()), c.undoSteps) << "undo steps";
        }
        if (c.unsaved >= 0) {
            EXPECT_EQ(s_.unsaved(), c.unsaved == 1) << "unsaved";
        }
    }

private:
    EditSession s_;
    WorkModeBlock adapter_; // what the adapter holds, as far as the script says
};

} // namespace

TEST(EditSession, ScriptedSessions) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        Runner runner;
        int step = 0;
        for (const Event& event : row.script) {
            SCOPED_TRACE("event " + std::to_string(step++));
            runner.run(event);
        }
    }
}

TEST(EditSession, UndoKeepsTheLastThousandStepsAndAButtonAConsoleLacksChangesNothing) {
    EditSession s;
    EXPECT_FALSE(s.assign(PS3, PadButton::SHARE, 0x04)); // SHARE is PS4's
    EXPECT_FALSE(s.assign(PS3, PadButton::L2, 0x00));    // what it holds already: no step
    for (int i = 0; i < 1005; ++i)
        ASSERT_TRUE(s.assign(PS3, PadButton::L2, uint8_t(0x04 + i % 2)));
    EXPECT_EQ(s.undoSteps(), EditSession::kMaxSteps);
    int undone = 0;
    while (s.undo())
        ++undone;
    EXPECT_EQ(undone, 1000);
    EXPECT_EQ(s.code(PS3, PadButton::L2), 0x04 + 4 % 2); // the state after the fifth step
    EXPECT_FALSE(s.canUndo());
    EXPECT_TRUE(s.canRedo());
}
