#include "CommandLine.h"

#include "core/sim/PadStates.h"

#include <cstdio>
#include <cstdlib>

namespace velorin::sim {

CommandLine::CommandLine(const char* program, const char* usage, int argc, char** argv, int first)
    : program_(program), usage_(usage), argc_(argc), argv_(argv), at_(first - 1) {}

bool CommandLine::next(FirmwareOptions& firmware) {
    while (at_ + 1 < argc_) {
        option_ = argv_[++at_];
        if (option_ == "--help" || option_ == "-h") {
            std::fputs(usage_, stdout);
            std::exit(0);
        }
        if (!takeFirmwareOption(firmware))
            return true;
    }
    return false;
}

std::string CommandLine::value() {
    if (at_ + 1 >= argc_)
        fail(option_ + " needs a value");
    return argv_[++at_];
}

bool CommandLine::takeFirmwareOption(FirmwareOptions& options) {
    const auto rate = [this](const std::string& text) {
        const auto r = parseRate(text);
        if (!r)
            fail("bad rate " + text);
        return *r;
    };
    if (option_ == "--flash") {
        options.flash = value();
    } else if (option_ == "--seed") {
        options.seed = value();
    } else if (option_ == "--script") {
        options.script = value();
    } else if (option_ == "--rate") {
        options.rate = rate(value());
    } else if (option_ == "--demo") {
        options.demo = true;
        if (at_ + 1 < argc_ && argv_[at_ + 1][0] != '-') // an optional rate
            options.rate = rate(value());
    } else if (option_ == "--ignore-interrupt-out") {
        options.ignoreInterruptOut = true;
    } else {
        return false;
    }
    return true;
}

void CommandLine::unknownOption() const {
    std::fprintf(stderr, "%s: unknown option %s\n", program_, option_.c_str());
    std::fputs(usage_, stderr);
    std::exit(2);
}

void CommandLine::exitWith(int status, const std::string& message) const {
    std::fprintf(stderr, "%s: %s\n", program_, message.c_str());
    std::exit(status);
}

} // namespace velorin::sim
