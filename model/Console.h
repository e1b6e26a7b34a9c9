// The four consoles and the assignable pad buttons.
#pragma once

#include <array>
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

struct ConsoleInfo {
    ConsoleId id;
    int blockIndex;             // position of the record in the block (PS3 0, PS4 1, SWITCH 2, XBOX 3)
    std::string_view name;      // "PS3", "PS4", "SWITCH", "XBOX"
    std::string_view pageTitle; // "ps3page", ...
    std::string_view word;      // "ps3", "ps4", "switch", "xbox": the console part of element names
    std::span<const PadButton> buttons; // 21 or 22, in button order
};

const ConsoleInfo& consoleInfo(ConsoleId id);
// The console at a block position (0..3).
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

// "btn_ps3_key_L2" and "img_ps3_key_L2".
std::string boxName(ConsoleId console, PadButton button);
std::string lampName(ConsoleId console, PadButton button);

} // namespace velorin
