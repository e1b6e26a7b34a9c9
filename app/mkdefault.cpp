// Build tool: turns default-assignment.tsv into the 108-byte default.kvf delivered beside the program.
#include "model/Console.h"
#include "model/KvfCodec.h"
#include "model/WorkMode.h"

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
    // The suite's one writer: a build on a full disk fails instead of delivering an empty file.
    const auto written = kvf::write(QString::fromLocal8Bit(argv[2]), block);
    if (!written) {
        std::cerr << argv[2] << ": cannot write: " << written.error().detail.toStdString() << '\n';
        return 1;
    }
    return 0;
}
