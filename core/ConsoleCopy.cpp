#include "core/ConsoleCopy.h"

#include <algorithm>

namespace velorin {

namespace {

// The 22nd position: SHARE on PS4, CAPTURE on SWITCH, both in byte 26.
bool hasExtraButton(ConsoleId console) {
    return consoleHasButton(console, PadButton::SHARE) || consoleHasButton(console, PadButton::CAPTURE);
}

bool isExtraButton(PadButton button) {
    return button == PadButton::SHARE || button == PadButton::CAPTURE;
}

} // namespace

bool consoleHasButton(ConsoleId console, PadButton button) {
    const std::span<const PadButton> buttons = consoleInfo(console).buttons;
    return std::find(buttons.begin(), buttons.end(), button) != buttons.end();
}

WorkModeBlock copyConsole(const WorkModeBlock& block, ConsoleId from, ConsoleId to) {
    WorkModeBlock result = block;
    // consoleInfo() falls back to PS3 for an unknown id; such an id must not copy anything.
    if (from == to || !consoleFromByte(static_cast<uint8_t>(from)) ||
        !consoleFromByte(static_cast<uint8_t>(to)))
        return result;
    const ConstRecordSpan source = block.record(from);
    const RecordSpan target = result.record(to);
    for (const PadButton button : consoleInfo(to).buttons) {
        const bool shared = isExtraButton(button) ? hasExtraButton(from) : consoleHasButton(from, button);
        if (shared) {
            const auto byte = static_cast<std::size_t>(recordByte(button));
            target[byte] = source[byte];
        }
    }
    return result;
}

} // namespace velorin
