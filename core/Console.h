// The four consoles and the assignable pad buttons: the one table every front end takes its
// console facts from (ids, block order, names, words, page titles, button sets, the texts the
// window shows and logs for each console), and the table of the pad buttons.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velorin {

// One byte naming a console. Also byte 0 of a record and the adapter's console mode.
enum class ConsoleId : uint8_t { PS3 = 1, PS4 = 2, XBOX = 3, SWITCH = 4 };

// Records, pages, handlers, files and reports always list the consoles in this order, which is
// not the numeric order of the ids.
inline constexpr std::array<ConsoleId, 4> kBlockOrder{ConsoleId::PS3, ConsoleId::PS4, ConsoleId::SWITCH,
                                                      ConsoleId::XBOX};
inline constexpr std::size_t kConsoleCount = kBlockOrder.size();

// The assignable pad buttons in the program's button order. SHARE (PS4) and CAPTURE (SWITCH)
// share the 22nd position.
enum class PadButton : uint8_t {
    L2,
    L1,
    SELECT,
    ARROW_UP,
    ARROW_DOWN,
    ARROW_L,
    ARROW_R,
    lyhih_UP,
    lyhih_DOWN,
    lxhih_L,
    lxhih_R,
    LSTICK_KEY,
    R2,
    R1,
    START,
    A,
    B,
    X,
    Y,
    RSTICK_KEY,
    HOME,
    SHARE,
    CAPTURE,
};
inline constexpr int kPadButtonCount = 23;

// A console's row of the table. The texts are the window's own (the translation documents take
// them as sources); velorinctl and the logs use them as they are.
struct ConsoleInfo {
    ConsoleId id;
    int blockIndex;             // position of the record in the block (PS3 0, PS4 1, SWITCH 2, XBOX 3)
    std::string_view name;      // "PS3", "PS4", "SWITCH", "XBOX"
    std::string_view pageTitle; // "ps3page", ...
    std::string_view word;      // "ps3", "ps4", "switch", "xbox": the console part of element names
    std::span<const PadButton> buttons; // 21 or 22, in button order
    std::string_view tabButton;         // "btn_ps3": the console's button in the main window
    std::string_view applyErrorText;    // "Write ps3 workModeData error": apply's text for a refused write
    std::string_view keystatusError;    // "m_PS3Handler.ShowKeystatus exception": logged when its lamps fail
    int keystatusErrorLine;             // the line that log entry names
};

// The table, in block order.
std::span<const ConsoleInfo, kConsoleCount> consoles();
const ConsoleInfo& consoleInfo(ConsoleId id);
// The console at a block position (0..3); PS3 for any other position.
ConsoleId consoleAtBlockIndex(int index);
// A console id from a byte, when the byte names one.
std::optional<ConsoleId> consoleFromByte(uint8_t value);
// A console from its word or name, ignoring case ("ps3", "Switch", "XBOX").
std::optional<ConsoleId> consoleFromName(std::string_view name);

// "L2", "lyhih_UP", "CAPTURE": the button's spelling in element names.
std::string_view padButtonName(PadButton button);
std::optional<PadButton> padButtonFromName(std::string_view name); // exact, case-sensitive
// The byte of the button in a record; the same for every console.
int recordByte(PadButton button);
// Whether one of the console's buttons is assigned in record byte `byte`.
bool consoleAssignsByte(ConsoleId console, int byte);

// The name a person types and reads on the command line: the element name where it is already
// plain (L2, SELECT, A, HOME, SHARE), else UP/DOWN/LEFT/RIGHT for the pad's arrows, LSTICK_UP ...
// LSTICK_RIGHT for the left stick's directions and L3/R3 for the stick clicks. A documented
// contract of velorinctl: the spellings stay.
std::string_view padButtonCommandName(PadButton button);
// A button from its command-line name or its element name ("UP" or "ARROW_UP"), ignoring case and
// surrounding blanks.
std::optional<PadButton> padButtonFromCommandName(std::string_view text);

// What lights a button's status lamp: a bit of a joyData byte, or a stick axis below or above its
// centre 0x80.
enum class LampTest : uint8_t { Bit, Below, Above };
struct LampRule {
    uint8_t index; // joyData index
    uint8_t mask;  // for Bit
    LampTest test;
};
LampRule lampRule(PadButton button);

// "btn_ps3_key_L2" and "img_ps3_key_L2".
std::string boxName(ConsoleId console, PadButton button);
std::string lampName(ConsoleId console, PadButton button);

} // namespace velorin
