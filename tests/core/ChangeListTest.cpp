// What apply will change, against what the adapter is known to hold: cases written out by hand,
// then every case checked against apply's own rule (records equal once prepared for writing).
#include "core/ChangeList.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace velorin;
using enum PadButton;

namespace {

constexpr ConsoleId PS3 = ConsoleId::PS3, PS4 = ConsoleId::PS4, SW = ConsoleId::SWITCH, XB = ConsoleId::XBOX;

struct Poke {
    ConsoleId console;
    int byte;
    uint8_t value;
};

// Byte i of the block is 0x10 + i: PS4's record starts at 27, SWITCH's at 54, XBOX's at 81.
WorkModeBlock pokedBlock(const std::vector<Poke>& pokes) {
    std::array<uint8_t, kBlockSize> bytes{};
    std::iota(bytes.begin(), bytes.end(), uint8_t{0x10});
    WorkModeBlock block;
    block.replaceAll(bytes);
    for (const Poke& p : pokes)
        block.record(p.console)[static_cast<std::size_t>(p.byte)] = p.value;
    return block;
}

workModeData recordOf(const WorkModeBlock& block, ConsoleId console) {
    workModeData r{};
    std::copy(block.record(console).begin(), block.record(console).end(), r.begin());
    return r;
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
    // L2 is byte 22, A byte 19, CAPTURE byte 26 (SWITCH only).
    // clang-format off
    const Case cases[] = {
        {"the same records", {}, {}, {}, {}},
        {"one button", {{PS4, 22, 0x04}}, {}, {}, {{PS4, false, {{L2, 0x10 + 27 + 22, 0x04}}}}},
        {"buttons in button order, consoles in block order",
         {{XB, 19, 0xA0}, {PS3, 19, 0x00}, {PS3, 22, 0x2C}}, {}, {},
         {{PS3, false, {{L2, 0x10 + 22, 0x2C}, {A, 0x10 + 19, 0x00}}}, {XB, false, {{A, 0x10 + 81 + 19, 0xA0}}}}},
        {"what the adapter holds differs, not the view", {}, {{SW, 26, 0x05}}, {},
         {{SW, false, {{CAPTURE, 0x05, 0x10 + 54 + 26}}}}},
        {"console byte, bytes 6-9 and the spare byte 26 of PS3 and XBOX do not count",
         {{PS3, 0, 9}, {PS3, 7, 9}, {PS3, 26, 9}, {XB, 26, 9}}, {{XB, 0, 3}, {XB, 6, 0}, {PS4, 9, 0}}, {}, {}},
        {"a console never read is named, whatever its buttons", {{SW, 22, 0x04}}, {}, {PS4, SW},
         {{PS4, true, {}}, {SW, true, {}}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        const WorkModeBlock shown = pokedBlock(c.shown);
        const WorkModeBlock held = pokedBlock(c.held);
        KnownRecords known;
        for (const ConsoleId console : kBlockOrder) {
            if (std::find(c.neverRead.begin(), c.neverRead.end(), console) == c.neverRead.end())
                known[static_cast<std::size_t>(consoleInfo(console).blockIndex)] = recordOf(held, console);
        }
        const std::vector<ConsoleChanges> changes = changesToApply(shown, known);
        EXPECT_EQ(changes, c.expected) << c.what;

        // Apply's rule: a console read is listed exactly when its records differ once prepared.
        for (const ConsoleId console : kBlockOrder) {
            workModeData a = recordOf(shown, console);
            workModeData b = recordOf(held, console);
            prepareForWrite(console, a);
            prepareForWrite(console, b);
            const bool listed =
                std::any_of(changes.begin(), changes.end(), [console](const ConsoleChanges& cc) {
                    return cc.console == console && !cc.neverRead;
                });
            const bool read = std::find(c.neverRead.begin(), c.neverRead.end(), console) == c.neverRead.end();
            EXPECT_EQ(listed, read && a != b) << c.what << ": " << consoleInfo(console).name;
        }
    }
}
