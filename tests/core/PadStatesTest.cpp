// Pad-state scripts as docs/velorin-sim.md describes them: one state per line, hex bytes that follow
// the A1 C4 marker (data bytes 2..), `#` comments; missing bytes are neutral (the four stick bytes
// 80, the rest 0). A state is the 32 data bytes of an input report (the adapter has no report ID).
#include "core/sim/PadStates.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace velorin::sim;

namespace {

using Bytes = std::vector<uint8_t>;

// A1 C4, then `head` from data byte 2 on, neutral after it.
Bytes state(const Bytes& head = {}) {
    Bytes s(32, 0);
    s[0] = 0xA1;
    s[1] = 0xC4;
    for (std::size_t i = 2; i < 6; ++i)
        s[i] = 0x80;
    for (std::size_t i = 0; i < head.size(); ++i)
        s[2 + i] = head[i];
    return s;
}

TEST(SimScript, ParsesStatesAndNamesTheFirstBadLine) {
    struct Case {
        const char* what;
        std::string text;
        std::vector<Bytes> states; // when it parses
        ScriptErrorKind kind = ScriptErrorKind::None;
        const char* detail = ""; // the start of the error's detail
    };
    const std::string thirty(60, 'f');
    const Case cases[] = {
        {"empty", "", {}},
        {"comments and blank lines only", "# a script\n\n#\n", {}},
        {"one neutral line", "\n80\n", {state({0x80})}},
        {"sticks and buttons",
         "00 ff 80 80 00 00 01\n10:20",
         {state({0, 0xFF, 0x80, 0x80, 0, 0, 1}), state({0x10, 0x20})}},
        {"upper and lower case", "aB Cd", {state({0xAB, 0xCD})}},
        {"thirty bytes", thirty, {state(Bytes(30, 0xFF))}},
        {"thirty-one bytes",
         "# one too many\n" + thirty + "00",
         {},
         ScriptErrorKind::BadLine,
         "bad script line 2: "},
        {"odd digit count", "01\n012\n", {}, ScriptErrorKind::BadLine, "bad script line 2: 012"},
        {"not hex", "zz", {}, ScriptErrorKind::BadLine, "bad script line 1: zz"},
        {"a comment not at the start", "01 # button", {}, ScriptErrorKind::BadLine, "bad script line 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto script = parseScript(c.text);
        ASSERT_EQ(script.ok(), c.kind == ScriptErrorKind::None);
        if (!script) {
            EXPECT_EQ(script.kind(), c.kind);
            EXPECT_EQ(script.error().detail.rfind(c.detail, 0), 0u) << script.error().detail;
            continue;
        }
        EXPECT_EQ(*script, c.states);
    }
}

} // namespace
