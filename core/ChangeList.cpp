#include "core/ChangeList.h"

namespace velorin {

std::vector<ConsoleChanges>
changesToApply(const WorkModeBlock& shown,
               std::span<const std::optional<workModeData>, kConsoleCount> known) {
    std::vector<ConsoleChanges> out;
    for (const ConsoleId console : kBlockOrder) {
        const auto& held = known[static_cast<std::size_t>(consoleInfo(console).blockIndex)];
        if (!held) {
            out.push_back({console, true, {}});
            continue;
        }
        // The bytes of the console's buttons are exactly the bytes prepareForWrite leaves alone, so
        // two records are equal as apply writes them when every button is.
        const ConstRecordSpan after = shown.record(console);
        ConsoleChanges changes{console, false, {}};
        for (const PadButton button : consoleInfo(console).buttons) {
            const auto at = static_cast<std::size_t>(recordByte(button));
            if ((*held)[at] != after[at])
                changes.buttons.push_back({button, (*held)[at], after[at]});
        }
        if (!changes.buttons.empty())
            out.push_back(std::move(changes));
    }
    return out;
}

} // namespace velorin
