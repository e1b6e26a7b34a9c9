// What apply will change, against what the adapter is known to hold: cases written out by hand,
// then every case checked against apply's own rule (records equal once prepared for writing).
#include "core/ChangeList.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace velorin;
using enum PadButton;

namespace {

struct Poke {
    ConsoleId console;
    int byte;
    uint8_t value;
};

WorkModeBlock baseBlock() {
    std::array<uint8_t, kBlockSize> bytes{};
    std::iota(bytes.begin(), bytes.end(), uint8_t{0x10});
    WorkModeBlock block;
    block.replaceAll(bytes);
    return block;
}

workModeData recordOf(const WorkModeBlock& block, ConsoleId console) {
    workModeData r{};
    const ConstRecordSpan span = block.record(console);
    std::copy(span.begin(), span.end(), r.begin());
    return r;
}

std::size_t at(ConsoleId console) {
    return static_cast<std::size_t>(consoleInfo(console).blockIndex);
}

} // namespace

TEST(ChangeList, ListsEachButtonThatDiffersAndNamesConsolesNeverRead) {
    struct Case {
        const char* what;
        std::vector<Poke> shown;          // changes to the block the user sees
        std::vector<Poke> held;           // changes to what the adapter holds
        std::vector<ConsoleId> neverRead; // consoles whose records are not known
        std::vector<ConsoleChanges> expected;
    };
    const Case cases[] = {
        {"the same records", {}, {}, {}, {}},
        // L2 is byte 22, A byte 19, SHARE byte 26 (PS4 only).
        {"one button",
         {{ConsoleId::PS4, 22, 0x04}},
         {},
         {},
         {{ConsoleId::PS4, false, {{L2, 0x10 + 27 + 22, 0x04}}}}},
        {"buttons in button order, consoles in block order",
         {{ConsoleId::XBOX, 19, 0xA0}, {ConsoleId::PS3, 19, 0x00}, {ConsoleId::PS3, 22, 0x2C}},
         {},
         {},
         {{ConsoleId::PS3, false, {{L2, 0x10 + 22, 0x2C}, {A, 0x10 + 19, 0x00}}},
          {ConsoleId::XBOX, false, {{A, 0x10 + 81 + 19, 0xA0}}}}},
        {"what the adapter holds differs, not the view",
         {},
         {{ConsoleId::SWITCH, 26, 0x05}},
         {},
         {{ConsoleId::SWITCH, false, {{CAPTURE, 0x05, 0x10 + 54 + 26}}}}},
        {"console byte, bytes 6-9 and the spare byte 26 of PS3 and XBOX do not count",
         {{ConsoleId::PS3, 0, 9}, {ConsoleId::PS3, 7, 9}, {ConsoleId::PS3, 26, 9}, {ConsoleId::XBOX, 26, 9}},
         {{ConsoleId::XBOX, 0, 3}, {ConsoleId::XBOX, 6, 0}, {ConsoleId::PS4, 9, 0}},
         {},
         {}},
        {"a console never read is named, whatever its buttons",
         {{ConsoleId::SWITCH, 22, 0x04}},
         {},
         {ConsoleId::PS4, ConsoleId::SWITCH},
         {{ConsoleId::PS4, true, {}}, {ConsoleId::SWITCH, true, {}}}},
    };
    for (const Case& c : cases) {
        WorkModeBlock shown = baseBlock();
        WorkModeBlock held = baseBlock();
        for (const Poke& p : c.shown)
            shown.record(p.console)[static_cast<std::size_t>(p.byte)] = p.value;
        for (const Poke& p : c.held)
            held.record(p.console)[static_cast<std::size_t>(p.byte)] = p.value;
        KnownRecords known;
        for (const ConsoleId console : kBlockOrder)
            known[at(console)] = recordOf(held, console);
        for (const ConsoleId console : c.neverRead)
            known[at(console)].reset();

        const std::vector<ConsoleChanges> changes = changesToApply(shown, known);
        EXPECT_EQ(changes, c.expected) << c.what;

        // Apply's rule: a known console is listed exactly when its records differ once prepared.
        for (const ConsoleId console : kBlockOrder) {
            if (!known[at(console)])
                continue;
            workModeData a = recordOf(shown, console);
            workModeData b = *known[at(console)];
            prepareForWrite(console, a);
            prepareForWrite(console, b);
            bool listed = false;
            for (const ConsoleChanges& cc : changes)
                listed = listed || cc.console == console;
            EXPECT_EQ(listed, a != b) << c.what << ": " << consoleInfo(console).name;
        }
    }
}
