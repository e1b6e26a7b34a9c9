// The control lines of velorin-sim and velorin-gadget, against the answers docs/velorin-sim.md and
// docs/velorin-gadget.md give: each line answers one final line, says what it lists before it,
// and asks its program for exactly one thing. The programs here are fakes that write down what
// they were asked.
#include "core/sim/Control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace velorin::sim;

namespace {

using Lines = std::vector<std::string>;

std::string hex(const std::vector<uint8_t>& bytes, std::size_t count) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (std::size_t i = 0; i < count && i < bytes.size(); ++i) {
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

class FakeProgram : public Controlled {
public:
    Firmware& firmware() override { return firmware_; }
    RecordStore* recordsOf(const std::string& name) override {
        return name == "adapter" ? &records_ : nullptr;
    }
    std::string adapterName() const override { return "adapter"; }
    // The first four bytes of a pad state: the marker and the left stick.
    void sendPadState(std::vector<uint8_t> report) override { log.push_back("pad " + hex(report, 4)); }
    void startPadStream(std::optional<double> rate) override {
        log.push_back(rate ? "stream " + std::to_string(static_cast<int>(*rate)) : "stream");
    }
    void stopPadStream() override { log.push_back("stop"); }
    void setStall(int ms) override { log.push_back("stall " + std::to_string(ms)); }
    uint64_t padsSent() const override { return 7; }
    void quit() override { log.push_back("quit"); }

    Lines log;
    Firmware firmware_;
    RecordStore records_;
};

class FakeSimulator final : public FakeProgram, public SimulatorOps {
public:
    SimulatorOps* simulator() override { return this; }
    bool plug(Kind kind, const std::string& name, bool noAccess, std::string* error) override {
        if (name == "taken") {
            *error = "taken is plugged already";
            return false;
        }
        log.push_back(std::string("plug ") + kindName(kind) + " " + name + (noAccess ? " noaccess" : ""));
        return true;
    }
    bool unplug(const std::string& name) override { return name == "kb"; }
    bool sendInput(const std::string& name, std::span<const uint8_t> report) override {
        log.push_back("input " + name + " " + hex({report.begin(), report.end()}, report.size()));
        return name == "kb";
    }
    void setHold(uint8_t console, bool on) override {
        log.push_back("hold " + std::to_string(console) + (on ? " on" : " off"));
    }
    void setLead(uint8_t console, int count) override {
        log.push_back("lead " + std::to_string(console) + " " + std::to_string(count));
    }
    std::vector<std::pair<std::string, std::size_t>> interfaces() const override { return {{"adapter", 2}}; }
};

class FakeGadget final : public FakeProgram, public GadgetOps {
public:
    GadgetOps* gadget() override { return this; }
    bool plug(const std::vector<Kind>& kinds, std::string*) override {
        std::string line = "plug";
        for (const Kind k : kinds)
            line += std::string(" ") + kindName(k);
        log.push_back(line);
        return true;
    }
    bool plugged() const override { return plugged_; }
    void unplug() override { log.push_back("unplug"); }
    const std::vector<std::string>& received() const override { return received_; }
    void clearReceived() override { log.push_back("clear"); }
    uint64_t reportsSent() const override { return 5; }
    void reset() override { log.push_back("reset"); }

    bool plugged_ = true;
    Lines received_{"out adapter interrupt ok 0032aa55"};
};

enum class In { Both, Simulator, Gadget };

struct Case {
    In in;
    std::string line;
    std::string answer;
    Lines log = {};  // what the program was asked
    Lines said = {}; // the lines before the answer
};

TEST(ControlLines, AnswerOneLineAndAskTheProgramForWhatTheySay) {
    const std::string blank(52, '0');
    const Lines records = {"record adapter 0 01" + blank, "record adapter 1 02" + blank,
                           "record adapter 2 04" + blank, "record adapter 3 03" + blank};
    const std::string record27 = "04" + std::string(52, 'a');
    const Case cases[] = {
        {In::Both, "", ""},
        {In::Both, "   # a comment", ""},
        {In::Both, "ping", "pong"},
        {In::Both, "ping token\r", "pong token"},
        {In::Both, "ping " + std::string(50, 't'), "pong " + std::string(40, 't')},
        {In::Both, "toast now", "err unknown command toast"},
        {In::Both, "quit", "ok quit", {"quit"}},
        {In::Both, "pad", "ok pad", {"pad a1c48080"}},
        {In::Both, "pad 01 7f", "ok pad", {"pad a1c4017f"}},
        {In::Both, "pad " + std::string(62, '0'),
         "err usage: pad HEX (up to 30 bytes after the A1 C4 marker)"},
        {In::Both, "pad 0g", "err usage: pad HEX (up to 30 bytes after the A1 C4 marker)"},
        {In::Both, "refuse ps4", "err usage: refuse CONSOLE on|off"},
        {In::Both, "refuse 9 on", "err usage: refuse CONSOLE on|off"},
        {In::Both, "drop xbox maybe", "err usage: drop CONSOLE on|off"},
        {In::Both, "delay switch 60001", "err usage: delay CONSOLE MS (0..60000)"},
        {In::Both, "delay switch -1", "err usage: delay CONSOLE MS (0..60000)"},
        {In::Both, "stall 250", "ok stall", {"stall 250"}},
        {In::Both, "stall 1e3", "err usage: stall MS (0..60000)"},
        {In::Both, "demo", "ok demo", {"stream"}},
        {In::Both, "demo 5", "ok demo", {"stream 5"}},
        {In::Both, "demo off", "ok demo", {"stop"}},
        {In::Both, "demo 0", "err usage: demo [RATE|off] (0.1..1000 per second)"},
        {In::Both, "demo off now", "err usage: demo [RATE|off] (0.1..1000 per second)"},
        {In::Both, "dump", "ok dump", {}, records},
        {In::Both, "dump " + std::string(60, 'n'), "err no adapter " + std::string(40, 'n')},

        {In::Simulator, "plug keyboard kb", "ok plug kb", {"plug keyboard kb"}},
        {In::Simulator, "plug twolinks tl noaccess", "ok plug tl", {"plug twolinks tl noaccess"}},
        {In::Simulator, "plug page p open", "err usage: plug KIND NAME [noaccess]"},
        {In::Simulator, "plug toaster t", "err unknown kind toaster"},
        {In::Simulator, "plug adapter taken", "err taken is plugged already"},
        {In::Simulator, "unplug kb", "ok unplug kb"},
        {In::Simulator, "unplug gone", "err no interface gone"},
        {In::Simulator, "input kb 01 02", "ok input", {"input kb 0102"}},
        {In::Simulator, "input kb", "err usage: input NAME HEX"},
        {In::Simulator, "hold ps3 on", "ok hold", {"hold 1 on"}},
        {In::Simulator, "lead 2 64", "ok lead", {"lead 2 64"}},
        {In::Simulator, "lead 2 65", "err usage: lead CONSOLE N (0..64)"},
        {In::Simulator, "list", "ok list", {}, {"interface adapter 2"}},
        {In::Simulator, "stats", "ok stats", {}, {"stats pads 7"}},
        {In::Simulator, "burst 1", "err unknown command burst"},
        {In::Simulator, "received", "err unknown command received"},

        {In::Gadget, "plug", "ok plug adapter", {"plug adapter"}},
        {In::Gadget,
         "plug input64 page adapter",
         "ok plug input64 page adapter",
         {"plug input64 page adapter"}},
        {In::Gadget, "plug adapter adapter adapter adapter adapter",
         "err usage: plug [KIND...] (adapter input64 feature page twolinks keyboard mouse; default adapter)"},
        {In::Gadget, "plug adapter toaster", "err unknown kind toaster"},
        {In::Gadget, "unplug", "ok unplug", {"unplug"}},
        {In::Gadget, "unplug adapter", "err usage: unplug"},
        // State k: left stick X = 1 + k mod 254, Y = 1 + (k / 254) mod 254.
        {In::Gadget, "burst 2", "ok burst 2", {"pad a1c40101", "pad a1c40201"}},
        {In::Gadget, "burst 0", "err usage: burst N (1..10000 pad states back to back)"},
        {In::Gadget, "burst 10001", "err usage: burst N (1..10000 pad states back to back)"},
        {In::Gadget, "store " + record27, "ok store"},
        {In::Gadget, "store 09" + std::string(52, 'a'), "err no console with id 9"},
        {In::Gadget, "store 04aa", "err usage: store HEX (a 27-byte record; byte 0 names its slot)"},
        {In::Gadget, "received", "ok received", {}, {"out adapter interrupt ok 0032aa55"}},
        {In::Gadget, "clear", "ok clear", {"clear"}},
        {In::Gadget, "reset", "ok reset", {"reset"}},
        {In::Gadget, "stats", "ok stats", {}, {"stats pads 7 sent 5"}},
        {In::Gadget, "list", "err unknown command list"},
        {In::Gadget, "hold ps3 on", "err unknown command hold"},
    };
    for (const Case& c : cases) {
        FakeSimulator sim;
        FakeGadget gadget;
        for (FakeProgram* program : {static_cast<FakeProgram*>(&sim), static_cast<FakeProgram*>(&gadget)}) {
            if ((c.in == In::Simulator && program != &sim) || (c.in == In::Gadget && program != &gadget))
                continue;
            SCOPED_TRACE((program == &sim ? "velorin-sim: " : "velorin-gadget: ") + c.line);
            Lines said;
            EXPECT_EQ(runControlLine(*program, c.line, said), c.answer);
            EXPECT_EQ(program->log, c.log);
            EXPECT_EQ(said, c.said);
        }
    }
}

// The faults and a stored record reach the firmware the lines name.
TEST(ControlLines, SetTheFirmwaresFaultsAndStoreRecords) {
    FakeGadget gadget;
    Lines said;
    for (const char* line :
         {"refuse ps4 on", "drop SWITCH on", "delay 3 100", "refuse ps4 off", "refuse 1 on"})
        EXPECT_EQ(runControlLine(gadget, line, said).rfind("ok ", 0), 0u) << line;
    const auto& f = gadget.firmware().faults;
    EXPECT_FALSE(f[2].refuse); // PS4: on, then off
    EXPECT_TRUE(f[4].drop);    // SWITCH
    EXPECT_EQ(f[3].delayMs, 100);
    EXPECT_TRUE(f[1].refuse);
    EXPECT_FALSE(f[1].drop);

    EXPECT_EQ(runControlLine(gadget, "store 04 " + std::string(52, 'e'), said), "ok store");
    const auto stored = gadget.records_.record(4);
    ASSERT_TRUE(stored);
    EXPECT_EQ((*stored)[0], 4);
    EXPECT_EQ((*stored)[26], 0xEE);
}

// The line both programs print for each output report, as the two documents give it.
TEST(ControlLines, OutputReportLineNamesTheWayTheOutcomeAndTheBytes) {
    const std::vector<uint8_t> report = {0x00, 0x32, 0xAA, 0x55, 0x01, 0x04};
    const struct {
        Way way;
        Outcome outcome;
        const char* line;
    } rows[] = {
        {Way::SetReport, Outcome::Taken, "out adapter set_report ok 0032aa550104"},
        {Way::Interrupt, Outcome::Refused, "out adapter interrupt refused 0032aa550104"},
        {Way::Interrupt, Outcome::Ignored, "out adapter interrupt ignored 0032aa550104"},
    };
    for (const auto& r : rows) {
        Response response;
        response.way = r.way;
        response.outcome = r.outcome;
        EXPECT_EQ(outputReportLine("adapter", response, report), r.line);
    }
}

} // namespace
