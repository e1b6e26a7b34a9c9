// Build tool: turns default-assignment.tsv into the 108-byte default.kvf delivered beside the program.
#include "core/Console.h"
#include "core/WorkMode.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

using namespace velorin;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: velorin-mkdefault TABLE.tsv OUT.kvf\n";
        return 2;
    }
    std::ifstream table(argv[1]);
    if (!table) {
        std::cerr << "cannot read " << argv[1] << "\n";
        return 1;
    }
    WorkModeBlock block;
    std::string line;
    int lineNo = 0;
    while (std::getline(table, line)) {
        ++lineNo;
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string name, code;
        if (!(fields >> name >> code)) {
            std::cerr << argv[1] << ":" << lineNo << ": expected BUTTON CODE\n";
            return 1;
        }
        const auto button = padButtonFromName(name);
        std::size_t used = 0;
        unsigned long value = 256;
        try {
            value = std::stoul(code, &used, 16);
        } catch (const std::exception&) {
        }
        if (!button || used != code.size() || value > 0xFF) {
            std::cerr << argv[1] << ":" << lineNo << ": bad button or code\n";
            return 1;
        }
        for (ConsoleId console : kBlockOrder) {
            const auto& buttons = consoleInfo(console).buttons;
            if (std::ranges::find(buttons, *button) != buttons.end())
                block.setButton(console, *button, static_cast<KeyCode>(value));
        }
    }
    for (ConsoleId console : kBlockOrder)
        prepareForWrite(console, block.record(console));
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(block.raw().data()),
              static_cast<std::streamsize>(block.raw().size()));
    return out.good() ? 0 : 1;
}
