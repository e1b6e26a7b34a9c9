#include "core/Clashes.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace velorin {

bool namesKey(KeyCode code) {
    return isMouseCode(code) || !keyBoxText(code).empty();
}

ClashReport findClashes(const WorkModeBlock& block) {
    ClashReport report;
    for (const ConsoleId console : kBlockOrder) {
        const auto buttons = consoleInfo(console).buttons;
        // Every code once, at its first button: the buttons that share it follow.
        std::array<bool, 256> seen{};
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            const KeyCode code = block.button(console, buttons[i]);
            if (code != KEY_NONE && !namesKey(code))
                report.unnamed.push_back({console, buttons[i], code});
            if (code == KEY_NONE || seen[code])
                continue;
            seen[code] = true;
            Clash clash{console, code, {buttons[i]}};
            for (std::size_t k = i + 1; k < buttons.size(); ++k) {
                if (block.button(console, buttons[k]) == code)
                    clash.buttons.push_back(buttons[k]);
            }
            if (clash.buttons.size() > 1)
                report.clashes.push_back(std::move(clash));
        }
    }
    return report;
}

std::vector<PadButton> clashingButtons(const ClashReport& report, ConsoleId console, PadButton button) {
    for (const Clash& clash : report.clashes) {
        if (clash.console != console ||
            std::find(clash.buttons.begin(), clash.buttons.end(), button) == clash.buttons.end())
            continue;
        std::vector<PadButton> others;
        std::copy_if(clash.buttons.begin(), clash.buttons.end(), std::back_inserter(others),
                     [button](PadButton b) { return b != button; });
        return others;
    }
    return {};
}

} // namespace velorin
